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

// The register rows whose cells a write marks, in row order, and for each
// the columns to read. A file may name one register row twice.
class TouchedRows
{
public:
    TouchedRows(const TableInfo& table, const DataRows& rows)
        : m_rows(rows), m_address(table, rows)
    {
        for (int i = 0; i < rows.size(); ++i) {
            // A row without a register number is refused by the write itself.
            const unsigned registerRow = m_address.registerRow(i);
            if (registerRow != 0 && hasMarkedCell(i))
                m_marked.emplace_back(registerRow, i);
        }
        std::sort(m_marked.begin(), m_marked.end());
        for (size_t k = 0; k < m_marked.size(); ++k) {
            if (k == 0 || m_marked[k].first != m_marked[k - 1].first)
                m_starts.push_back(k);
        }
        m_starts.push_back(m_marked.size());
    }

    int size() const { return int(m_starts.size()) - 1; }
    unsigned registerRow(int k) const { return m_marked[m_starts[size_t(k)]].first; }

    // The columns to read of the k-th register row, in the order its data rows name them.
    QVector<int> columns(int k) const
    {
        QVector<int> columns;
        for (size_t m = m_starts[size_t(k)]; m < m_starts[size_t(k) + 1]; ++m) {
            const int i = m_marked[m].second;
            for (int j = 0; j < m_rows.at(i).size(); ++j) {
                if (isMarked(i, j) && !columns.contains(j))
                    columns.append(j);
            }
        }
        return columns;
    }

private:
    bool isMarked(int i, int j) const { return m_rows.at(i).at(j).changed && m_address.field(i, j); }

    bool hasMarkedCell(int i) const
    {
        for (int j = 0; j < m_rows.at(i).size(); ++j) {
            if (isMarked(i, j))
                return true;
        }
        return false;
    }

    const DataRows& m_rows;
    const RegisterAddress m_address;
    std::vector<std::pair<unsigned, int>> m_marked; // (register row, data row), in that order
    std::vector<size_t> m_starts;                   // of each register row in m_marked, and the end
};

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
    const TouchedRows touched(table, rows);
    for (int k = 0; k < touched.size(); ++k) {
        const unsigned registerRow = touched.registerRow(k);
        DataRow row;
        QString errorText;
        const int result = engine.readRow(table, registerRow, touched.columns(k), row, errorText);
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
    const TouchedRows touched(table, rows);
    if (touched.size() == 0)
        return;
    TableReadEngine engine(link);
    const auto held = [&](int k) {
        DataRow row;
        QString errorText;
        const int result = engine.readRow(table, touched.registerRow(k), touched.columns(k), row, errorText);
        if (result == LIBTILLO_ERROR_ROW_BEYOND)
            return false;
        if (result != 0)
            throw readFailure(link, table, touched.registerRow(k), result, errorText);
        return true;
    };
    // A table's rows are numbered from 1 without a gap: when it holds the
    // last row the write names, it holds every row before it too; otherwise
    // a search finds the first it lacks, as a read of every row would.
    int lacking = touched.size() - 1;
    if (held(lacking))
        return;
    int first = 0; // rows before it are held
    while (first < lacking) {
        const int middle = first + (lacking - first) / 2;
        if (held(middle))
            first = middle + 1;
        else
            lacking = middle;
    }
    throw FlowFailure(FlowFailure::Refused, missingRow(table, touched.registerRow(lacking)));
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
    const TouchedRows touched(table, rows);
    for (int k = 0; k < touched.size(); ++k) {
        const unsigned registerRow = touched.registerRow(k);
        for (const int column : touched.columns(k)) {
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
