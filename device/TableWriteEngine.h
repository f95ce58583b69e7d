#pragma once

#include "Cell.h"
#include "RegisterLink.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>

class ProgressReporter;
class RegisterAddress;
class TableInfo;
class ValueCheck;

// Writes the changed cells of one table to the connected register and commits
// them. Keeps no state but its link; the connection belongs to the caller.
// A cell goes to the register row and field that RegisterAddress gives it.
// Only the changed cells are visited; before each one's request, pending
// events are processed and the progress shown when the reporter says it is
// due (ProgressReporter::due()), and the end is always shown.
//
// The register keeps written cells only once the table is committed, so the
// marks of a table's cells are cleared, and the cells counted, only after its
// commit succeeds. On any failure every cell of the table keeps its mark.
class TableWriteEngine
{
public:
    explicit TableWriteEngine(const RegisterLink& link);

    // 0: every changed cell written and committed.
    // 6: the register refused a cell or the commit; see RegisterLink::lastErrorText().
    // -1: a changed cell cannot be written as it stands (its value does not fit
    //     its field, the field is unknown, or the row has no register row number);
    //     nothing of it was sent and errorText says which cell and why.
    // Cancelled: the progress reporter was asked to stop; it is looked at
    //     before every changed cell and before the commit. The table is not
    //     committed: the cells sent are pending in the connection, which the
    //     caller closes to drop them.
    static constexpr int Cancelled = -2;

    int write(const TableInfo& table, DataRows& rows, unsigned& cellCount, ProgressReporter& progress,
              QString& errorText) const;

    // One cell as it goes to the register: its place in the data rows and on
    // the register, and the bytes sent.
    struct EncodedCell
    {
        int row = 0;    // data row
        int column = 0; // cell of the data row
        unsigned registerRow = 0;
        int field = 0; // from 1
        QByteArray bytes;
        QByteArray value; // the stored text the bytes encode, for the cell's log line
    };

    // Cell (i, j) of rows as it would be sent, into cell; otherwise the
    // message of a cell that cannot be written as it stands (write's -1).
    static QString encode(const TableInfo& table, const RegisterAddress& address, const ValueCheck& check,
                          const DataRows& rows, int i, int j, EncodedCell& cell);

    // Sends exactly the bytes of cells, in their order, then commits when
    // commit is set, calling beforeCommit (when given) right before the
    // commit's request, once nothing can stop it any more. rowCount: the data
    // rows the progress counts. Results as write's (0, 6, Cancelled); marks
    // and counts are the caller's.
    int send(const TableInfo& table, int rowCount, const QVector<EncodedCell>& cells, ProgressReporter& progress,
             bool commit = true, const std::function<void()>& beforeCommit = std::function<void()>()) const;

private:
    RegisterLink m_link;
};
