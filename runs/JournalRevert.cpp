#include "JournalRevert.h"

#include "TableWriteRun.h"

#include "journal/JournalSession.h"

#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "flows/TableComparison.h"
#include "flows/TableReader.h"

#include "device/RegisterAddress.h"
#include "device/ValueCheck.h"

#include <QStringList>

namespace {

const TableInfo* tableOf(const QList<TableInfo>& tables, unsigned number)
{
    for (const TableInfo& table : tables) {
        if (table.id == number)
            return &table;
    }
    return nullptr;
}

struct TablePlan
{
    const TableInfo* table = nullptr;
    int cells = 0; // to write back
    DataRows registerRows;
    DataRows rows; // the register's rows with the cells to write back marked
};

} // namespace

QString JournalRevert::place(const TableCell& cell)
{
    QString text = QStringLiteral("таблица %1, ряд %2, поле %3")
                       .arg(QString::number(cell.tableNumber), QString::number(cell.cell.row),
                            QString::number(cell.cell.field));
    if (!cell.cell.fieldName.isEmpty())
        text += QStringLiteral(" (%1)").arg(cell.cell.fieldName);
    return text;
}

JournalRevert::Result JournalRevert::run(const RecordedWrite& write, RegisterSession& session, JournalSession& journal,
                                     bool dryRun, ProgressReporter& progress)
{
    Result result;
    if (write.isEmpty())
        return result;
    const QString serial = session.identity().serialNumber;
    if (write.first().serialNumber != serial) {
        throw FlowFailure(FlowFailure::Refused,
                          QStringLiteral("Запись %1 сделана в ККТ с заводским номером %2, а подключена ККТ %3: "
                                         "вернуть её в эту ККТ нельзя")
                              .arg(write.id(), write.first().serialNumber, serial));
    }
    const QList<JournalRecord> records = write.records();
    for (const JournalRecord& record : records) {
        if (!tableOf(session.tables(), record.tableNumber)) {
            throw FlowFailure(FlowFailure::Refused,
                              QStringLiteral("В описании модели ККТ нет таблицы %1 (%2) из записи %3")
                                  .arg(QString::number(record.tableNumber), record.tableName, write.id()));
        }
    }

    // Everything is read and checked before the first cell is written.
    QVector<TablePlan> plans;
    QStringList refusals;
    const ValueCheck check(session.link().charsets());
    for (const JournalRecord& record : records) {
        TablePlan plan;
        plan.table = tableOf(session.tables(), record.tableNumber);
        unsigned cellsRead = 0;
        plan.registerRows = TableReader::read(session.link(), *plan.table, cellsRead);
        plan.rows = plan.registerRows;
        for (DataRow& row : plan.rows) {
            for (Cell& cell : row)
                cell.changed = false;
        }
        const RegisterAddress address(*plan.table, plan.rows);
        for (const JournalRecord::CellChange& change : record.cells) {
            TableCell tableCell{record.tableNumber, record.tableName, change, QByteArray(), false};
            const int i = address.dataRow(change.row);
            const int j = change.field - 1;
            // A Db row's label is its address, never a cell to write.
            const int fieldIndex = address.fieldIndex(i, j);
            if (i < 0 || j < 0 || j >= address.valueCells(i) || fieldIndex < 0) {
                result.changedSince.append(tableCell);
                continue;
            }
            Cell& cell = plan.rows[i][j];
            tableCell.inRegister = true;
            tableCell.registerValue = cell.value;
            const FieldInfo& field = plan.table->fields.at(fieldIndex);
            if (!TableComparison::sameValue(check, field, cell.value, change.after)) {
                // A commit that may not have happened left the value before.
                if (!record.confirmed && TableComparison::sameValue(check, field, cell.value, change.before))
                    result.heldBefore.append(tableCell);
                else
                    result.changedSince.append(tableCell);
                continue;
            }
            const QString refusal = check.reason(field, change.before);
            if (!refusal.isEmpty()) {
                refusals << QStringLiteral("%1: значение «%2» нельзя записать: %3")
                                .arg(place(tableCell), QString::fromUtf8(change.before), refusal);
                continue;
            }
            cell.value = change.before;
            cell.changed = true;
            ++plan.cells;
            result.planned.append(tableCell);
        }
        plans.append(plan);
    }
    // All or nothing: one value that cannot go back stops the whole revert.
    if (!refusals.isEmpty()) {
        throw FlowFailure(FlowFailure::Refused,
                          QStringLiteral("Запись %1 не возвращена, в ККТ ничего не записано:\n%2")
                              .arg(write.id(), refusals.join(QLatin1Char('\n'))));
    }

    for (TablePlan& plan : plans) {
        if (plan.cells == 0)
            continue;
        const unsigned before = result.cellsWritten;
        if (dryRun) {
            result.cellsWritten += unsigned(plan.cells);
        } else {
            // A cell whose value before the write the register stores again costs no request.
            TableWriteRun run(session.link(), *plan.table, plan.rows);
            run.useRead(plan.registerRows);
            run.write(journal, TableWriteRun::Send::Differing, result.cellsWritten, progress);
        }
        if (result.cellsWritten > before)
            ++result.tablesWritten;
    }
    return result;
}
