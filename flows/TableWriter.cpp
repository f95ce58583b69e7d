#include "TableWriter.h"

#include "FlowFailure.h"

#include "device/KKT_Logic.h"
#include "device/TableWriteEngine.h"

void TableWriter::write(const TableInfo& table, DataRows& rows, unsigned& cellCount, ProgressReporter& progress)
{
    KKT_Logic& logic = KKT_Logic::instance();
    QString errorText;
    const int result = logic.writeTableData(table, rows, cellCount, progress, errorText);
    if (result == 0)
        return;
    if (result == TableWriteEngine::Cancelled)
        throw FlowFailure(FlowFailure::Cancelled, QStringLiteral("Операция записи прервана пользователем"));
    throw FlowFailure(result == -1 ? FlowFailure::Refused : FlowFailure::DriverFailed,
                      logic.resultText(result, errorText));
}
