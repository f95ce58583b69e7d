#include "TableWriteRun.h"

#include "device/TableReadEngine.h"
#include "device/TableWriteEngine.h"
#include "flows/FlowFailure.h"
#include "flows/TableComparison.h"
#include "flows/TableReader.h"
#include "flows/TableWriter.h"
#include "journal/JournalSession.h"

#include <QStringList>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

FlowFailure readFailure(const RegisterLink& link, const TableInfo& table, unsigned registerRow, int result,
                        const QString& errorText)
{
    return FlowFailure(FlowFailure::DriverFailed,
                       QStringLiteral("Запись не начата: не удалось прочитать из ККТ ряд %1 таблицы %2 (%3): %4")
                           .arg(QString::number(registerRow), QString::number(table.id), table.name,
                                link.resultText(result, errorText)));
}

} // namespace

TableWriteRun::TableWriteRun(const RegisterLink& link, const TableInfo& table, DataRows& rows)
    : m_link(link), m_table(table), m_rows(rows), m_address(table, rows), m_check(link.charsets()),
      m_registerAddress(table, DataRows())
{
}

const QVector<TableWriteRun::Marked>& TableWriteRun::marked() const
{
    if (m_markedTaken)
        return m_marked;
    m_markedTaken = true;
    int marked = 0;
    for (const DataRow& row : qAsConst(m_rows)) {
        for (const Cell& cell : row)
            marked += cell.changed ? 1 : 0;
    }
    // A large table's cells, without room to spare (resize alone would make
    // room to grow), each written in place.
    m_marked.reserve(marked);
    m_marked.resize(marked);
    Marked* at = m_marked.data();
    for (int i = 0; i < m_rows.size(); ++i) {
        const DataRow& row = m_rows.at(i);
        const unsigned registerRow = m_address.registerRow(i);
        for (int j = 0; j < row.size(); ++j) {
            if (row.at(j).changed)
                *at++ = {i, j, registerRow};
        }
    }
    return m_marked;
}

QVector<TableWriteRun::RowGroup> TableWriteRun::rowGroups() const
{
    // A file may name one register row twice: its cells are read once.
    QVector<const Marked*> addressed;
    addressed.reserve(marked().size());
    for (const Marked& cell : marked()) {
        if (cell.registerRow != 0 && field(cell))
            addressed.append(&cell);
    }
    // The columns of a register row in the order its data rows name them.
    // A file usually lists its rows in the register's order already: then
    // there is nothing to sort.
    const auto before = [](const Marked* a, const Marked* b) {
        return a->registerRow != b->registerRow ? a->registerRow < b->registerRow : a->row < b->row;
    };
    if (!std::is_sorted(addressed.cbegin(), addressed.cend(), before))
        std::stable_sort(addressed.begin(), addressed.end(), before);
    QVector<RowGroup> groups;
    RowGroup* group = nullptr;
    for (const Marked* cell : qAsConst(addressed)) {
        if (!group || group->registerRow != cell->registerRow) {
            groups.append(RowGroup{cell->registerRow, QVector<int>()});
            group = &groups.last();
        }
        if (!group->columns.contains(cell->column))
            group->columns.append(cell->column);
    }
    return groups;
}

bool TableWriteRun::readRow(const RowGroup& group, DataRow& row) const
{
    QString errorText;
    const int result = TableReadEngine(m_link).readRow(m_table, group.registerRow, group.columns, row, errorText);
    if (result == LIBTILLO_ERROR_ROW_BEYOND)
        return false;
    if (result != 0)
        throw readFailure(m_link, m_table, group.registerRow, result, errorText);
    return true;
}

void TableWriteRun::read(Before what, ProgressReporter* progress)
{
    if (what == Before::WholeTable) {
        unsigned cellsRead = 0;
        setBefore(TableReader::read(m_link, m_table, cellsRead, progress));
        refuseMissingRows();
        return;
    }
    if (what == Before::RowsRead)
        return;
    DataRows before;
    for (const RowGroup& group : rowGroups()) {
        DataRow row;
        if (!readRow(group, row))
            throw FlowFailure(FlowFailure::Refused, missingRow(m_table, group.registerRow));
        // Other tables than Db find a row by its place.
        if (m_table.type != Db) {
            while (before.size() < int(group.registerRow) - 1)
                before.append(DataRow());
        }
        before.append(row);
    }
    setBefore(std::move(before));
}

void TableWriteRun::useRead(const DataRows& registerRows)
{
    setBefore(registerRows);
}

void TableWriteRun::refuseMissingRows() const
{
    for (const Marked& cell : marked()) {
        if (cell.registerRow != 0 && m_registerAddress.dataRow(cell.registerRow) < 0) {
            const QString message = missingRow(m_table, cell.registerRow);
            throw FlowFailure(FlowFailure::Refused, message,
                              {FlowFailure::Place{message, QString(), cell.row + 1, QString()}});
        }
    }
}

void TableWriteRun::setBefore(DataRows rows)
{
    m_registerRows = std::move(rows);
    m_registerAddress = RegisterAddress(m_table, m_registerRows);
}

void TableWriteRun::checkRows() const
{
    // Whether data row i has a cell the write sends.
    const auto marks = [&](int i) {
        const DataRow& row = m_rows.at(i);
        for (int j = 0; j < row.size(); ++j) {
            if (row.at(j).changed && m_address.field(i, j))
                return true;
        }
        return false;
    };
    // Whether the register holds a row, read with the columns its group in
    // rowGroups() has.
    const auto held = [&](unsigned registerRow) {
        RowGroup group{registerRow, QVector<int>()};
        for (const int i : m_address.dataRows(registerRow)) {
            const DataRow& row = m_rows.at(i);
            for (int j = 0; j < row.size(); ++j) {
                if (row.at(j).changed && m_address.field(i, j) && !group.columns.contains(j))
                    group.columns.append(j);
            }
        }
        DataRow row;
        return readRow(group, row);
    };
    // A table's rows are numbered from 1 without a gap: when it holds the
    // highest row the write names, it holds every row before it too. That
    // row is looked for from the top, so that a large table's rows are
    // mostly not looked at.
    const unsigned highest = m_address.highestRegisterRow(marks);
    if (highest == 0 || held(highest))
        return;
    // Otherwise a search finds the first it lacks, as a read of every row would.
    std::vector<unsigned> registerRows;
    for (int i = 0; i < m_rows.size(); ++i) {
        const unsigned registerRow = m_address.registerRow(i);
        if (registerRow != 0 && (registerRows.empty() || registerRows.back() != registerRow) && marks(i))
            registerRows.push_back(registerRow);
    }
    std::sort(registerRows.begin(), registerRows.end());
    registerRows.erase(std::unique(registerRows.begin(), registerRows.end()), registerRows.end());
    size_t lacking = registerRows.size() - 1; // the highest, not held
    size_t first = 0; // rows before it are held
    while (first < lacking) {
        const size_t middle = first + (lacking - first) / 2;
        if (held(registerRows[middle]))
            first = middle + 1;
        else
            lacking = middle;
    }
    throw FlowFailure(FlowFailure::Refused, missingRow(m_table, registerRows[lacking]));
}

const QByteArray* TableWriteRun::before(const Marked& cell) const
{
    const int i = m_registerAddress.dataRow(cell.registerRow);
    if (cell.registerRow == 0 || i < 0 || cell.column >= m_registerRows.at(i).size())
        return nullptr;
    return &m_registerRows.at(i).at(cell.column).value;
}

bool TableWriteRun::held(const Marked& cell) const
{
    const QByteArray* now = before(cell);
    const FieldInfo* const described = field(cell);
    return now && described
           && TableComparison::sameValue(m_check, *described, *now, m_rows.at(cell.row).at(cell.column).value);
}

QVector<TableWriteRun::ChangedCell> TableWriteRun::changedSince(const DataRows& readRows) const
{
    const RegisterAddress readAddress(m_table, readRows);
    QVector<ChangedCell> changed;
    for (const RowGroup& group : rowGroups()) {
        const int readRow = readAddress.dataRow(group.registerRow);
        const int nowRow = m_registerAddress.dataRow(group.registerRow);
        if (readRow < 0 || nowRow < 0)
            continue;
        for (const int column : group.columns) {
            const FieldInfo* field = m_address.field(m_address.dataRow(group.registerRow), column);
            if (column >= readRows.at(readRow).size() || column >= m_registerRows.at(nowRow).size() || !field)
                continue;
            const QByteArray& read = readRows.at(readRow).at(column).value;
            const QByteArray& now = m_registerRows.at(nowRow).at(column).value;
            if (TableComparison::sameValue(m_check, *field, read, now))
                continue;
            changed.append({group.registerRow, column + 1, field->m_name, read, now});
        }
    }
    return changed;
}

int TableWriteRun::unmarkHeld()
{
    QVector<Marked> differing;
    int unmarked = 0;
    for (const Marked& cell : marked()) {
        if (held(cell)) {
            m_rows[cell.row][cell.column].changed = false;
            ++unmarked;
        } else {
            differing.append(cell);
        }
    }
    m_marked = differing;
    return unmarked;
}

void TableWriteRun::write(JournalSession& journal, Send send, unsigned& cellCount, ProgressReporter& progress)
{
    // Each cell is encoded once, and all of them before the first is sent.
    QVector<TableWriteEngine::EncodedCell> cells;
    for (const Marked& cell : marked()) {
        if (send == Send::Differing && held(cell))
            continue;
        TableWriteEngine::EncodedCell encoded;
        const QString refusal = TableWriteEngine::encode(m_table, m_address, m_check, m_rows, cell.row, cell.column, encoded);
        if (!refusal.isEmpty())
            throw FlowFailure(FlowFailure::Refused, refusal);
        cells.append(std::move(encoded));
    }
    const QVector<JournalRecord::CellChange> changes =
        JournalSession::changes(m_address, m_rows, m_registerAddress, m_registerRows, m_check);
    // One commit a table, also when the register held every cell: as the engine does.
    // The journal holds the cells before the commit is asked for.
    bool committing = false;
    try {
        TableWriter::send(m_link, m_table, m_rows.size(), cells, progress, [&] {
            journal.intend(m_table, changes);
            committing = true;
        });
    } catch (const FlowFailure& failure) {
        // Without a change of a stored value, the table is as it was whatever the commit did.
        if (!committing || changes.isEmpty())
            throw;
        const bool journaled = journal.leaveUnconfirmed();
        throw FlowFailure(FlowFailure::DriverFailed,
                          failure.message() + QLatin1Char('\n') + unknownOutcome(m_table, journaled));
    }
    for (const Marked& cell : marked())
        m_rows[cell.row][cell.column].changed = false;
    cellCount += unsigned(m_marked.size());
    m_marked.clear();
    journal.confirm();
}

QString TableWriteRun::unknownOutcome(const TableInfo& table, bool journaled)
{
    const QString note = JournalRecord::unconfirmedNote();
    const QString outcome =
        QStringLiteral("Исход записи таблицы %1 (%2) неизвестен: %3.").arg(QString::number(table.id), table.name, note);
    return outcome + (journaled ? QStringLiteral(" В журнале изменений она отмечена: «%1».").arg(note)
                                : QStringLiteral(" В журнал изменений она не записана."));
}

QString TableWriteRun::missingRow(const TableInfo& table, unsigned registerRow)
{
    return QStringLiteral("в ККТ нет ряда %1 таблицы %2 (%3)")
        .arg(QString::number(registerRow), QString::number(table.id), table.name);
}

QString TableWriteRun::describe(const TableInfo& table, const QVector<ChangedCell>& cells)
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
