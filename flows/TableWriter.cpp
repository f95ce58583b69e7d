#include "TableWriter.h"

#include "FlowFailure.h"

#include "device/RegisterLink.h"

void TableWriter::write(const RegisterLink& link, const TableInfo& table, DataRows& rows, unsigned& cellCount,
                        ProgressReporter& progress)
{
    QString errorText;
    const int result = TableWriteEngine(link).write(table, rows, cellCount, progress, errorText);
    raise(link, result, errorText);
}

void TableWriter::send(const RegisterLink& link, const TableInfo& table, int rowCount,
                       const QVector<TableWriteEngine::EncodedCell>& cells, ProgressReporter& progress,
                       const std::function<void()>& beforeCommit)
{
    raise(link, TableWriteEngine(link).send(table, rowCount, cells, progress, true, beforeCommit), QString());
}

void TableWriter::raise(const RegisterLink& link, int result, const QString& errorText)
{
    if (result == 0)
        return;
    if (result == TableWriteEngine::Cancelled)
        throw FlowFailure(FlowFailure::Cancelled, QStringLiteral("Операция записи прервана пользователем"));
    throw FlowFailure(result == -1 ? FlowFailure::Refused : FlowFailure::DriverFailed,
                      link.resultText(result, errorText));
}
