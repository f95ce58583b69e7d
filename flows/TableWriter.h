#pragma once

#include "device/Cell.h"
#include "device/TableWriteEngine.h"

#include <QVector>

class ProgressReporter;
class RegisterLink;
class TableInfo;

// Writes the changed cells of one table to the open register and commits
// them through the write engine; the marks of the written cells are cleared.
class TableWriter
{
public:
    // Adds the cells written to cellCount. Raises FlowFailure: Refused when a
    // changed cell cannot be written as it stands (nothing of it was sent),
    // DriverFailed when the register refused a cell or the commit, Cancelled
    // when the progress reporter was asked to stop (the table is not committed
    // and keeps its marks; closing the connection drops the cells sent).
    static void write(const RegisterLink& link, const TableInfo& table, DataRows& rows, unsigned& cellCount,
                      ProgressReporter& progress);

    // Sends exactly these cells and commits, raising as write does; the marks
    // are the caller's. beforeCommit is called right before the commit's request.
    static void send(const RegisterLink& link, const TableInfo& table, int rowCount,
                     const QVector<TableWriteEngine::EncodedCell>& cells, ProgressReporter& progress,
                     const std::function<void()>& beforeCommit = std::function<void()>());

private:
    static void raise(const RegisterLink& link, int result, const QString& errorText);
};
