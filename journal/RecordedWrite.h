#pragma once

#include "JournalRecord.h"

#include <QList>
#include <QStringList>

// One write of a register's journal: the records of one command run, one per
// committed table, in the order they were committed.
struct RecordedWrite
{
    QList<JournalRecord> tables;

    bool isEmpty() const { return tables.isEmpty(); }
    // The first record's identity of the write.
    const JournalRecord& first() const { return tables.first(); }
    QString id() const { return first().writeId; }
    int cellCount() const
    {
        int count = 0;
        for (const JournalRecord& record : tables)
            count += record.cells.size();
        return count;
    }
    QStringList tableNumbers() const
    {
        QStringList numbers;
        for (const JournalRecord& record : tables)
            numbers << QString::number(record.tableNumber);
        return numbers;
    }
};
