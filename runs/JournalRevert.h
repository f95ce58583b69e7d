#pragma once

#include "journal/JournalRecord.h"
#include "journal/RecordedWrite.h"

#include "model/TableInfo.h"

#include <QList>
#include <QString>
#include <QVector>

class ProgressReporter;
class RegisterSession;
class JournalSession;

// Puts the cells of a journal's write back to their values before it, one
// commit per table, as a new write of the journal. A cell that no longer
// holds the value the write left was changed since: it is left alone and
// reported. Of a table whose commit was never confirmed (it may have been
// written), a cell that holds its value before the write needs nothing; one
// that holds neither value was changed since.
class JournalRevert
{
public:
    struct TableCell
    {
        unsigned tableNumber = 0;
        QString tableName;
        JournalRecord::CellChange cell; // as the journal holds it
        QByteArray registerValue;       // what the register holds now (stored text)
        bool inRegister = true;
    };

    struct Result
    {
        unsigned cellsWritten = 0;
        unsigned tablesWritten = 0;
        QVector<TableCell> planned;      // the cells written back (or, on a dry run, to be written)
        QVector<TableCell> changedSince; // left alone
        QVector<TableCell> heldBefore;   // of tables that may have been written: already as before the write
    };

    // session: open, with the register's model description. Every table of the
    // write is read and checked before the first cell is written. Raises
    // FlowFailure: Refused when the write belongs to another register or names
    // a table its model description lacks, or when a value before the write
    // cannot be written back (nothing is written then, dry run or not),
    // otherwise as the reads and writes do.
    static Result run(const RecordedWrite& write, RegisterSession& session, JournalSession& journal, bool dryRun,
                      ProgressReporter& progress);

    // "таблица 6, ряд 1, поле 1 (Ставка)" of a cell, for the messages.
    static QString place(const TableCell& cell);
};
