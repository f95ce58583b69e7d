#pragma once

#include "device/Cell.h"
#include "model/TableInfo.h"
#include "TableWriteRun.h"

#include <QList>
#include <QString>

class JournalSession;
class ProgressReporter;

// One write of several tables, one after another with a commit each, through
// the run's journal. The user may ask it to stop (through the progress
// reporter) before a table or between its cells: the table being written is
// then not committed, and the message names the tables written and the ones
// that were not.
class TableSetWriter
{
public:
    // tables: every table of the run that has changed cells, in the order they
    // are written; send: which cells of each run go to the register.
    TableSetWriter(const QList<TableInfo>& tables, JournalSession& journal, ProgressReporter& progress,
                   TableWriteRun::Send send = TableWriteRun::Send::Marked);

    // Writes the cells (as send asks) of the run's table and records it in the
    // journal once committed. Raises FlowFailure as TableWriteRun::write does;
    // Cancelled (with stopMessage()) when asked to stop before the table or inside it.
    void write(TableWriteRun& run);

    unsigned cellsWritten() const { return m_cellsWritten; }
    unsigned tablesWritten() const { return unsigned(m_written.size()); }
    // The numbers of the tables committed so far, in the order written.
    const QList<unsigned>& writtenTables() const { return m_written; }

    // "Операция записи прервана пользователем", then the tables committed and
    // the ones not, each as 4 "Клише".
    QString stopMessage() const;

private:
    [[noreturn]] void stop() const;

    QList<TableInfo> m_tables;
    JournalSession& m_journal;
    ProgressReporter& m_progress;
    TableWriteRun::Send m_send;
    QList<unsigned> m_written;
    unsigned m_cellsWritten = 0;
};
