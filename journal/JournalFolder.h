#pragma once

#include "JournalRecord.h"
#include "RecordedWrite.h"

#include <QList>
#include <QString>
#include <QStringList>

// The journals of the registers written to: one file per serial number,
// "<serial number>.jsonl", one record per line. Both programs append to it,
// each record under a lock file, flushed and synced before the lock goes.
class JournalFolder
{
public:
    // The per-user application data folder's "journal" folder unless a directory is given.
    explicit JournalFolder(const QString& directory = QString());

    static QString defaultDirectory();
    const QString& directory() const { return m_directory; }
    QString filePath(const QString& serialNumber) const;

    // Appends the record to its register's journal. Returns an empty text on
    // success, otherwise what went wrong, naming the file.
    QString append(const JournalRecord& record) const;

    // The serial numbers that have a journal, sorted.
    QStringList serialNumbers() const;
    // The records of one register in file order; lines that are not complete
    // records (a line cut short when the machine stopped) are skipped.
    QList<JournalRecord> records(const QString& serialNumber) const;
    // The writes of one register, or of every register when the serial number
    // is empty, newest first.
    QList<RecordedWrite> writes(const QString& serialNumber = QString()) const;
    // The write of that id; empty when no journal holds it.
    RecordedWrite findWrite(const QString& writeId, const QString& serialNumber = QString()) const;

private:
    QString m_directory;
};
