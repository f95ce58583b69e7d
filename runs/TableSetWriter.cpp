#include "TableSetWriter.h"

#include "flows/FlowFailure.h"

#include "device/ProgressReporter.h"
#include "journal/JournalSession.h"

#include <QStringList>

namespace {

QString tableName(const TableInfo& table)
{
    return QStringLiteral("%1 \"%2\"").arg(table.id).arg(table.name);
}

QString nameList(const QStringList& names)
{
    return names.isEmpty() ? QStringLiteral("нет") : names.join(QStringLiteral(", "));
}

} // namespace

TableSetWriter::TableSetWriter(const QList<TableInfo>& tables, JournalSession& journal, ProgressReporter& progress,
                               TableWriteRun::Send send)
    : m_tables(tables), m_journal(journal), m_progress(progress), m_send(send)
{
}

void TableSetWriter::write(TableWriteRun& run)
{
    const TableInfo& table = run.table();
    if (m_progress.cancelRequested())
        stop();
    const unsigned before = m_cellsWritten;
    try {
        run.write(m_journal, m_send, m_cellsWritten, m_progress);
    } catch (const FlowFailure& failure) {
        if (failure.kind() == FlowFailure::Cancelled)
            stop();
        throw;
    }
    if (m_cellsWritten > before)
        m_written.append(table.id);
}

QString TableSetWriter::stopMessage() const
{
    QStringList written;
    QStringList notWritten;
    for (const TableInfo& table : m_tables)
        (m_written.contains(table.id) ? written : notWritten) << tableName(table);
    return QStringLiteral("Операция записи прервана пользователем\nЗаписаны в ККТ таблицы: %1\nНе записаны таблицы: %2")
        .arg(nameList(written), nameList(notWritten));
}

void TableSetWriter::stop() const
{
    throw FlowFailure(FlowFailure::Cancelled, stopMessage());
}
