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

void JournalSession::record(const TableInfo& table, const QVector<JournalRecord::CellChange>& cells)
{
    if (cells.isEmpty())
        return;
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
    const QString problem = m_journal.append(record);
    if (!problem.isEmpty())
        m_warnings << problem;
}

QString JournalSession::warningText() const
{
    if (m_warnings.isEmpty())
        return QString();
    return QStringLiteral("Запись в ККТ выполнена, но журнал изменений не записан:\n") + m_warnings.join(QLatin1Char('\n'));
}
