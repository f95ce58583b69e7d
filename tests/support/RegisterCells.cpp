#include "RegisterCells.h"

#include "EmulatorImage.h"

RegisterCells registerCells(const QString& path)
{
    const EmulatorImage image = EmulatorImage::fromFile(path);
    RegisterCells cells;
    for (const Json::Value& table : image.json()["tables"]) {
        const unsigned id = table["id"].asUInt();
        for (int r = 1; r <= image.rowCount(id); ++r) {
            for (int f = 1; f <= image.fieldCount(id); ++f)
                cells[{id, r, f}] = image.cell(id, r, f);
        }
    }
    return cells;
}

QList<CellKey> differences(const RegisterCells& before, const RegisterCells& after)
{
    QList<CellKey> keys;
    for (const auto& [key, bytes] : after) {
        const auto it = before.find(key);
        if (it == before.end() || it->second != bytes)
            keys << key;
    }
    for (const auto& [key, bytes] : before) {
        if (!after.count(key))
            keys << key;
    }
    return keys;
}
