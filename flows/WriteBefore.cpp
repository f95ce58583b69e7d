#include "WriteBefore.h"

#include "FlowFailure.h"
#include "TableComparison.h"

#include "device/RegisterAddress.h"
#include "device/RegisterLink.h"
#include "device/TableReadEngine.h"
#include "model/TableInfo.h"

#include <QStringList>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

struct TouchedRow
{
    unsigned registerRow = 0;
    QVector<int> columns; // to read, in the order the rows name them
};

// The columns to read of every register row the write touches, in row order.
std::vector<TouchedRow> touchedCells(const TableInfo& table, const DataRows& rows)
{
    const RegisterAddress address(table, rows);
    // Data rows with a marked cell, by register row; a file may name one register row twice.
    std::vector<std::pair<unsigned, int>> marked;
    for (int i = 0; i < rows.size(); ++i) {
        // A row without a register number is refused by the write itself.
        const unsigned registerRow = address.registerRow(i);
        if (registerRow == 0)
            continue;
        const DataRow& row = rows.at(i);
        for (int j = 0; j < row.size(); ++j) {
            if (row.at(j).changed && address.field(i, j)) {
                marked.emplace_back(registerRow, i);
                break;
            }
        }
    }
    std::stable_sort(marked.begin(), marked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    std::vector<TouchedRow> touched;
    for (const auto& [registerRow, i] : marked) {
        if (touched.empty() || touched.back().registerRow != registerRow)
            touched.push_back({registerRow, {}});
        QVector<int>& columns = touched.back().columns;
        const DataRow& row = rows.at(i);
        for (int j = 0; j < row.size(); ++j) {
            if (row.at(j).changed && address.field(i, j) && !columns.contains(j))
                columns.append(j);
        }
    }
    return touched;
}

FlowFailure readFailure(const RegisterLink& link, const TableInfo& table, unsigned registerRow, int result,
                        const QString& errorText)
{
    return FlowFailure(FlowFailure::DriverFailed,
                       QStringLiteral("Запись не начата: не удалось прочитать из ККТ ряд %1 таблицы %2 (%3): %4")
                           .arg(QString::number(registerRow), QString::number(table.id), table.name,
                                link.resultText(result, errorText)));
}

// The value of cell (register row, column) in rows at address; nullptr when they lack it.
const QByteArray* valueAt(const RegisterAddress& address, const DataRows& rows, unsigned registerRow, int column)
{
    const int i = address.dataRow(registerRow);
    if (i < 0 || column >= rows.at(i).size())
        return nullptr;
    return &rows.at(i).at(column).value;
}

} // namespace

DataRows WriteBefore::read(const RegisterLink& link, const TableInfo& table, const DataRows& rows)
{
    TableReadEngine engine(link);
    DataRows before;
    for (const auto& [registerRow, columns] : touchedCells(table, rows)) {
        DataRow row;
        QString errorText;
        const int result = engine.readRow(table, registerRow, columns, row, errorText);
        if (result == LIBTILLO_ERROR_ROW_BEYOND)
            throw FlowFailure(FlowFailure::Refused, missingRow(table, registerRow));
        if (result != 0)
            throw readFailure(link, table, registerRow, result, errorText);
        // Other tables than Db find a row by its place.
        if (table.type != Db) {
            while (before.size() < int(registerRow) - 1)
                before.append(DataRow());
        }
        before.append(row);
    }
    return before;
}

void WriteBefore::checkRows(const RegisterLink& link, const TableInfo& table, const DataRows& rows)
{
    const std::vector<TouchedRow> touched = touchedCells(table, rows);
    if (touched.empty())
        return;
    TableReadEngine engine(link);
    const auto held = [&](const TouchedRow& touchedRow) {
        DataRow row;
        QString errorText;
        const int result = engine.readRow(table, touchedRow.registerRow, touchedRow.columns, row, errorText);
        if (result == LIBTILLO_ERROR_ROW_BEYOND)
            return false;
        if (result != 0)
            throw readFailure(link, table, touchedRow.registerRow, result, errorText);
        return true;
    };
    // A table's rows are numbered from 1 without a gap: when it holds the
    // last row the write names, it holds every row before it too; otherwise
    // a search finds the first it lacks, as a read of every row would.
    if (held(touched.back()))
        return;
    const auto missing = std::partition_point(touched.begin(), touched.end() - 1, held);
    throw FlowFailure(FlowFailure::Refused, missingRow(table, missing->registerRow));
}

QString WriteBefore::missingRow(const TableInfo& table, unsigned registerRow)
{
    return QStringLiteral("в ККТ нет ряда %1 таблицы %2 (%3)")
        .arg(QString::number(registerRow), QString::number(table.id), table.name);
}

QVector<WriteBefore::ChangedCell> WriteBefore::changedSince(const TableInfo& table, const DataRows& rows,
                                                            const DataRows& readRows, const DataRows& before,
                                                            const ValueCheck& check)
{
    const RegisterAddress address(table, rows);
    const RegisterAddress readAddress(table, readRows);
    const RegisterAddress beforeAddress(table, before);
    QVector<ChangedCell> changed;
    for (const auto& [registerRow, columns] : touchedCells(table, rows)) {
        for (const int column : columns) {
            const QByteArray* read = valueAt(readAddress, readRows, registerRow, column);
            const QByteArray* now = valueAt(beforeAddress, before, registerRow, column);
            const FieldInfo* field = address.field(address.dataRow(registerRow), column);
            if (!read || !now || !field || TableComparison::sameValue(check, *field, *read, *now))
                continue;
            changed.append({registerRow, column + 1, field->m_name, *read, *now});
        }
    }
    return changed;
}

QString WriteBefore::describe(const TableInfo& table, const QVector<ChangedCell>& cells)
{
    QStringList lines;
    for (const ChangedCell& cell : cells) {
        QString place = QStringLiteral("Таблица %1 (%2), ряд %3, поле %4")
                            .arg(QString::number(table.id), table.name, QString::number(cell.row),
                                 QString::number(cell.field));
        if (!cell.fieldName.isEmpty())
            place += QStringLiteral(" (%1)").arg(cell.fieldName);
        // Values as a file of the table shows them: money in roubles.
        const int fieldIndex = table.type == TransposedList ? int(cell.row) - 1 : cell.field - 1;
        lines << QStringLiteral("%1: прочитано «%2», в ККТ сейчас «%3»")
                     .arg(place, TableComparison::fileForm(table, fieldIndex, cell.read),
                          TableComparison::fileForm(table, fieldIndex, cell.now));
    }
    return lines.join(QLatin1Char('\n'));
}
