#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QVector>

class FieldInfo;
class TableInfo;

// One table of a write, as one line of a register's journal: who wrote what
// to which register and the cells with their values before and after. Values
// are the stored cell texts (money in kopecks), so that a revert writes back
// exactly what was there. A record is appended before its table's commit (an
// intent) and confirmed by a short line of its own once the commit succeeded;
// records of older programs were appended after the commit and need none.
struct JournalRecord
{
    // The line that confirms an intent's commit.
    struct Confirmation
    {
        QDateTime time; // UTC
        QString writeId;
        QString serialNumber;
        int intent = 0;
    };

    struct CellChange
    {
        unsigned row = 0;   // register row, from 1
        int field = 0;      // field number, from 1
        QString fieldName;
        QByteArray before;  // as read from the register
        QByteArray after;   // as written

        bool operator==(const CellChange& o) const
        {
            return row == o.row && field == o.field && fieldName == o.fieldName && before == o.before
                && after == o.after;
        }
    };

    QDateTime time; // UTC
    QString program;
    QString version;
    QString writeId; // one per command run; every table of the run carries it
    int modelCode = 0;
    QString modelName;
    QString serialNumber;
    QString firmware; // empty in records of older programs
    QString user;     // who ran the program; empty in records of older programs
    unsigned tableNumber = 0;
    QString tableName;
    QVector<CellChange> cells;
    // The table's commit in its write, from 1, for a record appended before
    // the commit; 0 for a record of a commit done.
    int intent = 0;
    // False for an intent whose commit was never confirmed: the table may
    // have been written. Set by the journal's readers.
    bool confirmed = true;
    // What listings say of a table whose commit was never confirmed.
    static QString unconfirmedNote() { return QStringLiteral("таблица могла быть записана"); }

    // The journal line, without its line end.
    QByteArray toJsonLine() const;
    // The line that confirms this intent's commit, without its line end.
    QByteArray confirmationLine(const QDateTime& time) const;
    // False when the line is no confirmation.
    static bool confirmationFromJsonLine(const QByteArray& line, Confirmation& confirmation);
    // Whether the confirmation is of this record.
    bool confirmedBy(const Confirmation& confirmation) const;
    // False when the line is not a complete record.
    static bool fromJsonLine(const QByteArray& line, JournalRecord& record);
    // The record without its cells, which are counted, not read: quick for a
    // record of any size. False when the line is not a complete record but
    // for its cells, which only fromJsonLine() checks.
    static bool headFromJsonLine(const QByteArray& line, JournalRecord& record, int& cellCount);
    // The same, false wherever fromJsonLine() is: the cells are checked as
    // they are counted, none of them kept.
    static bool checkedHeadFromJsonLine(const QByteArray& line, JournalRecord& record, int& cellCount);

    QJsonObject toJson() const;
    static QJsonObject cellToJson(const CellChange& cell);

    // The description of a cell's field in its table's description; nullptr when it has none.
    static const FieldInfo* fieldOf(const TableInfo& table, const CellChange& cell);
};
