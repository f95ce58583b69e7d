#pragma once

#include "Cell.h"
#include "RegisterLink.h"
#include "ValuePool.h"

#include <QByteArray>
#include <QString>

class FieldInfo;
class ProgressReporter;
class TableInfo;

// Reads one table of an open register into data rows, cell by cell or, for
// tables marked fastRead, one whole row per request.
//
// Result: 0 when the table was read to its end; -1 when the register's end
// came part-way through a row, or when a table without row captions still
// had rows after the most a table can have (it was read only in part; a
// message is appended to errorText either way); any other
// value is the driver's error code of the failed read. Rows completed before a
// failure are kept, the unfinished one is dropped. Cancelled when the progress
// reporter was asked to stop: it is looked at after every cell (every row with
// fastRead); the rows completed by then are kept. cellCount grows by one per
// field cell (row labels do not count). Before each request, and after each
// row, pending events are processed and the progress shown when the reporter
// says it is due (ProgressReporter::due()).
//
// Decided where the row read gives less than the fields need:
//  - a fastRead row shorter than its fields' pieces: the missing bytes of a
//    piece count as zero bytes; a field never takes more than the longest
//    text a register field has, and a read never more than 4 MiB, whatever
//    the description or the library claims;
//  - a field whose device type is unknown takes no bytes of a fastRead row and
//    gets an empty cell, so the later cells keep their columns.
// A TransposedList table marked fastRead holds one field per register row, so
// the whole row is field r's piece alone.
class TableReadEngine
{
public:
    explicit TableReadEngine(const RegisterLink& link);

    // Progress, when given, gets the range of the rows to read where the
    // table's description gives their number, and a text with the table's
    // name and the rows read, then the rows read as its value: at the start,
    // when due, and at the end.
    int read(const TableInfo& table, DataRows& rows, unsigned& cellCount, QString& errorText,
             ProgressReporter* progress = nullptr);

    // Reads the cells at the given columns (0-based) of one register row:
    // the whole row in one request for a fastRead table, one request per
    // column otherwise. The row gets one cell per column of the table and its
    // label; cells not asked for stay empty. Result as read(); the register's
    // end is a failure here, with the driver's code.
    int readRow(const TableInfo& table, unsigned registerRow, const QVector<int>& columns, DataRow& row,
                QString& errorText);

    // The result of a read that the progress reporter asked to stop.
    static constexpr int Cancelled = -2;

private:
    // One raw read of (table, row, field) into m_raw; field 0 is the whole row.
    int readRaw(unsigned table, unsigned row, unsigned field);
    void fetchValue();
    // Pooled: a row's number often stands in one of its cells too (a code, a number).
    QByteArray rowLabel(int registerRow);
    void cutRow(const TableInfo& table, int row, const QByteArray& raw, DataRow& cells, unsigned& cellCount);
    QByteArray decodePiece(const FieldInfo& field, const QByteArray& piece, bool internalCodec);

    RegisterLink m_link;
    ValuePool m_pool;
    QByteArray m_raw;   // the value of the last request
    QByteArray m_piece; // one field's bytes of a whole row
};
