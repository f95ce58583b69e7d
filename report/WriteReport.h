#pragma once

#include "ReportDocument.h"

#include "device/RegisterIdentity.h"
#include "journal/RecordedWrite.h"
#include "model/TableInfo.h"

#include <QList>
#include <QString>

// "Отчёт о настройке ККТ": a register and the writes made to it, each with its
// time, program and user and, per table, the cells changed with their row,
// the field's caption and the values before and after as the tabs show them,
// with the count of cells per table, per write and in all; a table whose
// commit was never confirmed is shown as one that may have been written,
// outside the counts. Each write goes
// into the document as it is added: a report of any number of writes holds
// the cells of one write at a time.
class WriteReport
{
public:
    // tables: the description of the register's model, which turns stored
    // values into shown ones; a cell it does not describe shows its stored text.
    WriteReport(const RegisterIdentity& identity, const QList<TableInfo>& tables);

    void add(const RecordedWrite& write);

    int writeCount() const { return m_writes; }
    int tableCount() const { return m_tables; }
    int cellCount() const { return m_cells; }

    // The document with its totals; call once, after the last add().
    QString finish();

    // The register as a write's record names it.
    static RegisterIdentity identityOf(const JournalRecord& record);
    // The description of the record's model as the register's firmware then
    // selected it; empty when it cannot be read (the report then shows stored texts).
    static QList<TableInfo> descriptionOf(const JournalRecord& record);

private:
    const TableInfo* described(unsigned number) const;
    // A table of the write: its heading, cells and count ("...: %1").
    void addTable(const JournalRecord& record, const QString& title, const QString& total);

    ReportDocument m_document;
    QList<TableInfo> m_description;
    int m_writes = 0;
    int m_tables = 0;
    int m_cells = 0;
};
