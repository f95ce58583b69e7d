#pragma once

#include "device/Cell.h"
#include "device/RegisterAddress.h"
#include "device/RegisterLink.h"
#include "device/ValueCheck.h"
#include "model/TableInfo.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class JournalSession;
class ProgressReporter;

// One table's write, the same for every command that writes: what the
// register holds ("before") is read once, in the form the caller's policy
// asks for, it answers which cells were changed on the register since the
// caller read them, each cell to write is encoded once and exactly those
// bytes are sent, then the table is committed and the journal records the
// cells whose stored value changed. The rows are the caller's: the cells to
// write are the marked ones, and their marks are cleared once committed.
class TableWriteRun
{
public:
    // Where the "before" values come from.
    enum class Before
    {
        WrittenCells, // read now: only the cells about to be written, one request per register row where it can
        WholeTable,   // read now: every row of the table
        RowsRead,     // rows the caller read in the same run (useRead)
    };

    // Which marked cells are sent.
    enum class Send
    {
        Marked,    // every marked cell, as the window's write does
        Differing, // only those whose stored value the register does not already hold
    };

    struct ChangedCell
    {
        unsigned row = 0; // register row, from 1
        int field = 0;    // from 1
        QString fieldName;
        QByteArray read;  // what the caller read
        QByteArray now;   // what the register holds
    };

    // rows: the table's data rows with the cells to write marked; they must outlive the run.
    TableWriteRun(const RegisterLink& link, const TableInfo& table, DataRows& rows);

    // Reads what `what` asks (WrittenCells or WholeTable). Raises FlowFailure,
    // before anything is written: Refused (missingRow) when the register's
    // table ends before a row with a marked cell (for WholeTable with the
    // failure's place naming the data row, from 1); DriverFailed with the
    // driver's message; Cancelled when progress asks a whole read to stop.
    void read(Before what, ProgressReporter* progress = nullptr);
    // The register's rows of the table as the caller read them in this run.
    void useRead(const DataRows& registerRows);
    // Raises what read(WholeTable) raises when the whole table, as read or
    // handed to useRead, lacks a row with a marked cell.
    void refuseMissingRows() const;
    // Only whether the register's table holds every row with a marked cell, in
    // a few requests; raises what read raises for the first row it lacks.
    void checkRows() const;

    const TableInfo& table() const { return m_table; }
    // The "before" rows: the whole table, or for WrittenCells the rows of
    // the cells read, shaped so that RegisterAddress finds them.
    const DataRows& registerRows() const { return m_registerRows; }
    // Where the run's rows and the "before" rows live on the register.
    const RegisterAddress& address() const { return m_address; }
    const RegisterAddress& registerAddress() const { return m_registerAddress; }
    int markedCount() const { return marked().size(); }

    // The marked cells whose value in readRows differs from the register's
    // now; cells either lacks are not compared.
    QVector<ChangedCell> changedSince(const DataRows& readRows) const;

    // Clears the marks of the cells the register already holds as they are;
    // afterwards only the differing cells are written. Gives how many.
    int unmarkHeld();

    // Writes, commits (once, also when nothing was sent) and records the
    // table in journal: its cells are journaled before the commit is asked
    // for and confirmed after it. cellCount grows by the marked cells, those
    // the register held, and so were not sent, among them. Raises FlowFailure
    // as TableWriter does, Refused before anything is sent when a cell cannot
    // be written as it stands; on any failure the marks stay and nothing is
    // recorded as committed. A failed commit leaves its outcome unknown: the
    // message says so, and the journal keeps the cells unconfirmed.
    void write(JournalSession& journal, Send send, unsigned& cellCount, ProgressReporter& progress);

    // "в ККТ нет ряда 301 таблицы 1 (База товаров)": a write names a row beyond the register's table.
    static QString missingRow(const TableInfo& table, unsigned registerRow);
    // "Таблица 6 (Налоговые ставки), ряд 1, поле 1 (Ставка, %): прочитано «20.00», в ККТ сейчас «21.00»",
    // one line per cell, values as a file of the table shows them.
    static QString describe(const TableInfo& table, const QVector<ChangedCell>& cells);
    // What a failed commit adds to the driver's message; journaled: whether
    // the journal holds the table's cells unconfirmed.
    static QString unknownOutcome(const TableInfo& table, bool journaled);

private:
    // Small: a large import marks hundreds of thousands of cells.
    struct Marked
    {
        int row = 0;
        int column = 0;
        unsigned registerRow = 0; // 0: none, refused by the write
    };
    // The marked cells, in row and cell order, taken from the rows when first
    // asked for: a check of the rows alone (checkRows) needs none of them.
    const QVector<Marked>& marked() const;
    // The cell's field; nullptr beyond the description, refused by the write.
    const FieldInfo* field(const Marked& cell) const { return m_address.field(cell.row, cell.column); }

    // The marked cells that have an address, grouped by register row (in row order).
    struct RowGroup
    {
        unsigned registerRow = 0;
        QVector<int> columns; // in the order the data rows name them
    };
    QVector<RowGroup> rowGroups() const;
    bool readRow(const RowGroup& group, DataRow& row) const;
    void setBefore(DataRows rows);
    // The register's value of a marked cell; nullptr when the "before" rows lack it.
    const QByteArray* before(const Marked& cell) const;
    bool held(const Marked& cell) const;

    RegisterLink m_link;
    const TableInfo m_table;
    DataRows& m_rows;
    const RegisterAddress m_address;
    const ValueCheck m_check;
    mutable QVector<Marked> m_marked; // marked()
    mutable bool m_markedTaken = false;
    DataRows m_registerRows;
    RegisterAddress m_registerAddress;
};
