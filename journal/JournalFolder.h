#pragma once

#include "JournalRecord.h"
#include "RecordedWrite.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class ProgressReporter;

// The journals of the registers written to: one file per serial number,
// "<serial number>.jsonl", one record per line. Both programs append to it,
// each record under a lock file, flushed and synced before the lock goes.
// A record cut short (the disk filled, the machine stopped) never takes the
// next one with it: each append starts on a line of its own. A record appended
// before its table's commit is confirmed by a line appended after it; one
// never confirmed is listed as a table that may have been written.
class JournalFolder
{
public:
    // Where the records of one write are in its register's journal: enough to
    // list a journal larger than memory one write at a time.
    struct WritePlace
    {
        QString serialNumber; // whose journal
        QString id;
        QDateTime time; // of its first record
        QVector<qint64> offsets; // of its records' lines
        // What a listing shows, from the records' heads.
        QString program;
        QString version;
        QVector<unsigned> tableNumbers;
        int cellCount = 0;
        QVector<int> intents;     // of the records, 0 for those recorded after their commit
        QVector<bool> confirmed;  // of the records: false where a table may have been written
        // Whether its records come in time order, of this journal's register
        // and one program: then the first record's head is the write's, as
        // RecordedWrite::first() finds it once loaded.
        bool inOrder = true;
        // Where it came in the reading of the journals: of two writes of the
        // same time, the later one is listed first.
        int order = 0;

        QVector<unsigned> unconfirmedTables() const;
        // The tables as RecordedWrite::tableNumbers() gives them: the committed ones first.
        QVector<unsigned> listedTables() const;
    };
    // Calls back with each complete record and the offset of its line; false stops.
    using RecordVisitor = std::function<bool(const JournalRecord&, qint64)>;
    using ConfirmationVisitor = std::function<void(const JournalRecord::Confirmation&)>;

    // The per-user application data folder's "journal" folder unless a directory is given.
    explicit JournalFolder(const QString& directory = QString());

    static QString defaultDirectory();
    const QString& directory() const { return m_directory; }
    // The serial number's journal; a serial number that would make a hidden or
    // unusable file name is escaped ("%2E", "%2F"), so that every register's
    // journal is found again.
    QString filePath(const QString& serialNumber) const;

    // Appends the record to its register's journal. Returns an empty text on
    // success, otherwise what went wrong, naming the file; a failed append
    // leaves the journal as it was.
    QString append(const JournalRecord& record) const;
    // Appends the line confirming that an intent's table was committed, as append does.
    QString confirm(const JournalRecord& intent) const;

    // The serial numbers that have a journal, sorted.
    QStringList serialNumbers() const;
    // Reads one register's journal a record at a time, in file order, each
    // intent as not confirmed: `confirmed` hears the confirmations as they
    // come. Lines that are neither complete records nor confirmations are
    // skipped; `problems` (when given) receives one message for them, and why
    // a journal could not be read.
    void readRecords(const QString& serialNumber, const RecordVisitor& visit, QStringList* problems = nullptr,
                     const ConfirmationVisitor& confirmed = ConfirmationVisitor()) const;
    // The records of one register in file order, intents with their state.
    QList<JournalRecord> records(const QString& serialNumber) const;
    // The writes of one register, or of every register when the serial number
    // is empty, newest first. A write is one register's: the same id in two
    // journals is two writes.
    QList<RecordedWrite> writes(const QString& serialNumber = QString(), QStringList* problems = nullptr) const;
    // Where the writes are, in the order of writes(), without their cells:
    // each record's cells are checked as writes() checks them, and counted,
    // none kept, so that a journal is listed in the memory of its index.
    QList<WritePlace> writePlaces(const QString& serialNumber = QString(), QStringList* problems = nullptr) const;
    // The same from each record's head only, its cells counted but not read:
    // lists a journal of any size quickly. A record whose cells are damaged
    // shows when its write is loaded. `progress` (when given) hears the bytes
    // read, in KiB.
    QList<WritePlace> indexWrites(const QString& serialNumber = QString(), QStringList* problems = nullptr,
                                  ProgressReporter* progress = nullptr) const;
    // The write at a place; empty when its records can no longer be read.
    RecordedWrite load(const WritePlace& place) const;
    // The write of that id in that register's journal (in any when the serial
    // number is empty); empty when no journal holds it.
    RecordedWrite findWrite(const QString& writeId, const QString& serialNumber = QString()) const;

private:
    enum class LineRead { Record, Damaged, Stop };
    using LineVisitor = std::function<LineRead(const QByteArray&, qint64)>;
    // Calls back with each line of the journal that is not blank and its offset.
    void readLines(const QString& serialNumber, const LineVisitor& visit, QStringList* problems,
                   ProgressReporter* progress = nullptr) const;
    using HeadReader = bool (*)(const QByteArray&, JournalRecord&, int&);
    // The index of the journals, each record read by `readHead`.
    QList<WritePlace> placesOf(const QString& serialNumber, HeadReader readHead, QStringList* problems,
                               ProgressReporter* progress) const;

    QString appendLine(const QString& serialNumber, QByteArray line) const;

    QString m_directory;
};
