#include "SnapshotPairComparison.h"

#include "FlowFailure.h"
#include "SnapshotTableRows.h"
#include "TableComparison.h"

#include "device/RegisterAddress.h"
#include "device/ValueCheck.h"
#include "snapshot/SnapshotReader.h"

#include <algorithm>
#include <utility>

namespace {

QList<TableInfo> descriptionOf(const SnapshotReader& snapshot)
{
    const SnapshotManifest& manifest = snapshot.manifest();
    QList<TableInfo> tables;
    QString errorText;
    const int result = TableInfo::readTablesInfo(uint32_t(manifest.identity.modelCode), tables, errorText,
                                                 [&manifest] { return manifest.configuration; });
    if (result != 0) {
        throw FlowFailure(FlowFailure::Refused,
                          QStringLiteral("Снимок %1: не прочитано описание модели %2 (%3).\n%4")
                              .arg(snapshot.path(), QString::number(manifest.identity.modelCode),
                                   manifest.identity.modelName, errorText));
    }
    return tables;
}

const TableInfo* tableOf(const QList<TableInfo>& tables, unsigned number)
{
    for (const TableInfo& table : tables) {
        if (table.id == number)
            return &table;
    }
    return nullptr;
}

// The rows as a file holds them, none of their cells to be written.
DataRows unmarked(DataRows rows)
{
    for (DataRow& row : rows) {
        for (Cell& cell : row)
            cell.changed = false;
    }
    return rows;
}

SnapshotPairComparison::Cell cellOf(const TableComparison::CellPair& pair, bool secondIsFile)
{
    SnapshotPairComparison::Cell cell;
    cell.registerRow = pair.registerRow;
    cell.fieldNumber = pair.fieldNumber;
    cell.fieldIndex = pair.fieldIndex;
    cell.column = pair.column;
    if (secondIsFile) {
        cell.secondRow = pair.row;
        cell.secondText = pair.fileText;
        cell.firstText = pair.registerText;
    } else {
        cell.firstRow = pair.row;
        cell.firstText = pair.fileText;
    }
    return cell;
}

} // namespace

int SnapshotPairComparison::Result::differenceCount() const
{
    int count = 0;
    for (const TableDifferences& table : tables)
        count += table.cells.size();
    return count;
}

SnapshotPairComparison::Result SnapshotPairComparison::compare(SnapshotReader& first, SnapshotReader& second,
                                                               const RegisterCharsets& charsets, bool otherModel,
                                                               const TableCompared& compared)
{
    const SnapshotManifest& a = first.manifest();
    const SnapshotManifest& b = second.manifest();
    const bool twoModels = a.identity.modelCode != b.identity.modelCode;
    if (twoModels && !otherModel) {
        throw FlowFailure(FlowFailure::Refused,
                          QStringLiteral("Снимки сделаны с ККТ разных моделей: %1 — модель %2 (%3), %4 — модель %5 "
                                         "(%6); таблицы разных моделей сравниваются только с --other-model")
                              .arg(first.path(), QString::number(a.identity.modelCode), a.identity.modelName,
                                   second.path(), QString::number(b.identity.modelCode), b.identity.modelName));
    }
    const QList<TableInfo> description = descriptionOf(first);
    const ValueCheck check(charsets);
    Result result;
    for (const SnapshotManifest::Table& entry : a.tables) {
        const SnapshotManifest::Table* other = b.table(entry.number);
        if (!other) {
            result.onlyInOne << QStringLiteral("%1: есть только в снимке %2").arg(SnapshotReader::tableName(entry), first.path());
            continue;
        }
        if (twoModels && (entry.description.isEmpty() || entry.description != other->description)) {
            result.skipped << QStringLiteral("%1: описание таблицы в моделях %2 и %3 разное")
                                  .arg(SnapshotReader::tableName(entry), QString::number(a.identity.modelCode),
                                       QString::number(b.identity.modelCode));
            continue;
        }
        const TableInfo* table = tableOf(description, entry.number);
        if (!table) {
            throw FlowFailure(FlowFailure::Refused, QStringLiteral("Снимок %1: в описании модели ККТ нет таблицы %2 (%3)")
                                                        .arg(first.path(), QString::number(entry.number), entry.name));
        }
        const DataRows firstRows = unmarked(SnapshotTableRows::load(first, entry, *table, charsets));
        const DataRows secondRows = unmarked(SnapshotTableRows::load(second, *other, *table, charsets));
        TableDifferences differences{*table, {}};
        // The second file's cells against the first's, then the cells that only the first one has.
        const RegisterAddress firstAddress(*table, firstRows);
        TableComparison::forEachCell(*table, secondRows, firstRows, check, [&](const TableComparison::CellPair& pair) {
            if (!pair.differs)
                return;
            Cell cell = cellOf(pair, true);
            if (pair.inRegister)
                cell.firstRow = firstAddress.dataRow(pair.registerRow);
            differences.cells.append(cell);
        });
        const int foundInSecond = differences.cells.size();
        TableComparison::forEachCell(*table, firstRows, secondRows, check, [&](const TableComparison::CellPair& pair) {
            if (!pair.inRegister)
                differences.cells.append(cellOf(pair, false));
        });
        if (differences.cells.size() > foundInSecond) {
            std::stable_sort(differences.cells.begin(), differences.cells.end(), [](const Cell& x, const Cell& y) {
                return std::make_pair(x.registerRow, x.fieldNumber) < std::make_pair(y.registerRow, y.fieldNumber);
            });
        }
        if (compared)
            compared(*table, firstRows, secondRows, differences);
        result.tables.append(differences);
    }
    for (const SnapshotManifest::Table& entry : b.tables) {
        if (!a.table(entry.number))
            result.onlyInOne << QStringLiteral("%1: есть только в снимке %2").arg(SnapshotReader::tableName(entry), second.path());
    }
    return result;
}
