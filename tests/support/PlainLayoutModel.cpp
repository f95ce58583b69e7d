#include "PlainLayoutModel.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

QString modelPath(unsigned code)
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/models/%1.json").arg(code);
}

} // namespace

bool PlainLayoutModel::write()
{
    QFile source(modelPath(57));
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QJsonObject root = QJsonDocument::fromJson(source.readAll()).object();
    QJsonArray tables = root.value(QStringLiteral("tables")).toArray();
    bool found = false;
    for (int i = 0; i < tables.size(); ++i) {
        QJsonObject t = tables[i].toObject();
        if (t.value(QStringLiteral("id")).toInt() != int(Table))
            continue;
        t.remove(QStringLiteral("type"));
        tables[i] = t;
        found = true;
    }
    if (!found)
        return false;
    root.insert(QStringLiteral("tables"), tables);
    QSaveFile target(modelPath(Code));
    return target.open(QIODevice::WriteOnly) && target.write(QJsonDocument(root).toJson()) > 0 && target.commit();
}

void PlainLayoutModel::remove()
{
    QFile::remove(modelPath(Code));
}

EmulatorImage PlainLayoutModel::image(int goods)
{
    EmulatorImage image = EmulatorImage::defaultImage();
    image.setRowCount(1, goods);
    image.json()["identity"]["modelCode"] = Code;
    return image;
}
