#include "TableReader.h"

#include "FlowFailure.h"

#include "device/ProgressReporter.h"
#include "device/RegisterLink.h"
#include "device/TableReadEngine.h"
#include "model/TableInfo.h"

DataRows TableReader::read(const RegisterLink& link, const TableInfo& table, unsigned& cellCount,
                           ProgressReporter* progress)
{
    const QString cancelled = QStringLiteral("Операция чтения прервана пользователем");
    // A request made between tables stops before the next one.
    if (progress && progress->cancelRequested())
        throw FlowFailure(FlowFailure::Cancelled, cancelled);
    DataRows rows;
    QString errorText;
    const int result = TableReadEngine(link).read(table, rows, cellCount, errorText, progress);
    if (result == TableReadEngine::Cancelled)
        throw FlowFailure(FlowFailure::Cancelled, cancelled);
    if (result != 0)
        throw FlowFailure(FlowFailure::DriverFailed, link.resultText(result, errorText));
    return rows;
}
