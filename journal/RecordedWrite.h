#pragma once

#include "JournalRecord.h"

#include <QList>
#include <QStringList>

// One write of a register's journal: the records of one command run, one per
// table, in the order they were committed.
struct RecordedWrite
{
    QList<JournalRecord> tables;      // committed: confirmed, or recorded after their commit
    QList<JournalRecord> unconfirmed; // intents never confirmed: each table may have been written

    RecordedWrite() = default;
    explicit RecordedWrite(const QList<JournalRecord>& committed) : tables(committed) {}

    bool isEmpty() const { return tables.isEmpty() && unconfirmed.isEmpty(); }
    // The first record's identity of the write.
    const JournalRecord& first() const
    {
        if (tables.isEmpty() || (!unconfirmed.isEmpty() && unconfirmed.first().time < tables.first().time))
            return unconfirmed.first();
        return tables.first();
    }
    QString id() const { return first().writeId; }
    // Every record, the committed ones first.
    QList<JournalRecord> records() const { return tables + unconfirmed; }
    int cellCount() const
    {
        int count = 0;
        for (const JournalRecord& record : records())
            count += record.cells.size();
        return count;
    }
    QStringList tableNumbers() const { return numbers(records()); }
    QStringList unconfirmedTableNumbers() const { return numbers(unconfirmed); }

    // Takes a record read from the journal, by its state.
    void add(const JournalRecord& record) { (record.confirmed ? tables : unconfirmed).append(record); }

private:
    static QStringList numbers(const QList<JournalRecord>& records)
    {
        QStringList result;
        for (const JournalRecord& record : records)
            result << QString::number(record.tableNumber);
        return result;
    }
};
