#include "JournalSession.h"

#include "common/Product.h"
#include "device/RegisterAddress.h"
#include "device/ValueCheck.h"
#include "flows/TableComparison.h"
#include "model/TableInfo.h"

#include <QDateTime>
#include <QRandomGenerator>

#include <pwd.h>
#include <unistd.h>

namespace {

// Who runs the program, for the records: the account's name, else its number.
QString loginName()
{
    if (const passwd* entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(::geteuid());
}

} // namespace

JournalSession::JournalSession(const QString& program, const RegisterIdentity& identity, const JournalFolder& journal)
    : m_program(program), m_identity(identity), m_journal(journal), m_writeId(newWriteId())
{
}

QString JournalSession::newWriteId()
{
    // Sorts by time and reads well on a command line; the random part keeps
    // apart the runs of the same second, on this register and on any other.
    return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-"))
        + QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, QLatin1Char('0'));
}

QVector<JournalRecord::CellChange> JournalSession::changes(const TableInfo& table, const DataRows& rows,
                                                           const DataRows& registerRows, const ValueCheck& check)
{
    return changes(RegisterAddress(table, rows), rows, RegisterAddress(table, registerRows), registerRows, check);
}

QVector<JournalRecord::CellChange> JournalSession::changes(const RegisterAddress& address, const DataRows& rows,
                                                           const RegisterAddress& registerAddress,
                                                           const DataRows& registerRows, const ValueCheck& check)
{
    QVector<JournalRecord::CellChange> result;
    for (int i = 0; i < rows.size(); ++i) {
        const DataRow& row = rows.at(i);
        for (int j = 0; j < row.size(); ++j) {
            if (!row.at(j).changed)
                continue;
            JournalRecord::CellChange change;
            change.row = address.registerRow(i);
            change.field = j + 1;
            if (const FieldInfo* field = address.field(i, j))
                change.fieldName = field->m_name;
            const int registerRow = registerAddress.dataRow(change.row);
            change.after = row.at(j).value;
            if (registerRow >= 0 && j < registerRows.at(registerRow).size()) {
                change.before = registerRows.at(registerRow).at(j).value;
                // Written again as the register already stores it: no change to record.
                const FieldInfo* field = address.field(i, j);
                if (field && TableComparison::sameValue(check, *field, change.before, change.after))
                    continue;
            }
            result.append(change);
        }
    }
    return result;
}

JournalRecord JournalSession::newRecord(const TableInfo& table, const QVector<JournalRecord::CellChange>& cells) const
{
    JournalRecord record;
    record.time = QDateTime::currentDateTimeUtc();
    record.program = m_program;
    record.version = product::version();
    record.writeId = m_writeId;
    record.modelCode = m_identity.modelCode;
    record.modelName = m_identity.modelName;
    record.serialNumber = m_identity.serialNumber;
    record.firmware = m_identity.firmware;
    record.user = loginName();
    record.tableNumber = table.id;
    record.tableName = table.name;
    record.cells = cells;
    return record;
}

void JournalSession::warnOf(const QString& problem)
{
    if (!problem.isEmpty())
        m_warnings << problem;
}

void JournalSession::record(const TableInfo& table, const QVector<JournalRecord::CellChange>& cells)
{
    if (!cells.isEmpty())
        warnOf(m_journal.append(newRecord(table, cells)));
}

void JournalSession::intend(const TableInfo& table, const QVector<JournalRecord::CellChange>& cells)
{
    m_intent = JournalRecord();
    m_intentProblem.clear();
    if (cells.isEmpty())
        return;
    m_intent = newRecord(table, cells);
    m_intent.intent = ++m_intents;
    m_intentProblem = m_journal.append(m_intent);
}

void JournalSession::confirm()
{
    if (m_intent.intent == 0)
        return;
    if (m_intentProblem.isEmpty()) {
        warnOf(m_journal.confirm(m_intent));
    } else {
        // Recorded now as a commit done; the first problem is told when this one fails too.
        JournalRecord committed = m_intent;
        committed.intent = 0;
        committed.time = QDateTime::currentDateTimeUtc();
        if (!m_journal.append(committed).isEmpty())
            warnOf(m_intentProblem);
    }
    m_intent = JournalRecord();
}

bool JournalSession::leaveUnconfirmed()
{
    const bool journaled = m_intent.intent == 0 || m_intentProblem.isEmpty();
    if (!journaled)
        warnOf(m_intentProblem);
    m_intent = JournalRecord();
    return journaled;
}

QString JournalSession::warningText() const
{
    if (m_warnings.isEmpty())
        return QString();
    return QStringLiteral("Запись в ККТ выполнена, но журнал изменений не записан:\n") + m_warnings.join(QLatin1Char('\n'));
}
