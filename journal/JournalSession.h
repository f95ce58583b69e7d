#pragma once

#include "JournalFolder.h"
#include "JournalRecord.h"

#include "device/Cell.h"
#include "device/RegisterIdentity.h"

#include <QString>
#include <QStringList>
#include <QVector>

class RegisterAddress;
class TableInfo;
class ValueCheck;

// The journal of one command run that writes to a register: every table the
// run commits becomes one record under the run's write id, appended and synced
// before the commit (an intent) and confirmed after it, so that a commit the
// program does not live to journal is still found. A journal that cannot be
// written does not undo the write: the reason is kept as a warning that the
// program shows after the write.
class JournalSession
{
public:
    JournalSession(const QString& program, const RegisterIdentity& identity, const JournalFolder& journal = JournalFolder());

    const QString& writeId() const { return m_writeId; }
    const JournalFolder& journal() const { return m_journal; }

    // The cells marked changed in rows, with their values in registerRows
    // (the same table as read from the register; a cell it lacks was empty),
    // but for those whose new value the register already stores.
    static QVector<JournalRecord::CellChange> changes(const TableInfo& table, const DataRows& rows,
                                                      const DataRows& registerRows, const ValueCheck& check);
    // The same over the addresses of both rows, built by the caller.
    static QVector<JournalRecord::CellChange> changes(const RegisterAddress& address, const DataRows& rows,
                                                      const RegisterAddress& registerAddress,
                                                      const DataRows& registerRows, const ValueCheck& check);

    // Appends one record of the committed cells; nothing for no cells.
    void record(const TableInfo& table, const QVector<JournalRecord::CellChange>& cells);

    // Before a table's commit: appends the intent of committing these cells;
    // nothing for no cells.
    void intend(const TableInfo& table, const QVector<JournalRecord::CellChange>& cells);
    // After the commit succeeded: confirms the intent, or, when it could not
    // be appended, records the committed cells as record() does.
    void confirm();
    // After a commit whose outcome is unknown: the intent stays unconfirmed.
    // False when it could not be appended, so that the journal lacks it.
    bool leaveUnconfirmed();

    // Why records could not be appended, one message each; empty when all were.
    const QStringList& warnings() const { return m_warnings; }
    // The warnings as one message for the user; empty when there are none.
    QString warningText() const;

private:
    static QString newWriteId();
    JournalRecord newRecord(const TableInfo& table, const QVector<JournalRecord::CellChange>& cells) const;
    void warnOf(const QString& problem);

    // The intent of the commit at hand; intent 0 when there is none.
    JournalRecord m_intent;
    QString m_intentProblem; // why it could not be appended
    int m_intents = 0;

    QString m_program;
    RegisterIdentity m_identity;
    JournalFolder m_journal;
    QString m_writeId;
    QStringList m_warnings;
};
