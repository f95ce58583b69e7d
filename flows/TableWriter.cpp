#include "TableWriter.h"

#include "FlowFailure.h"

#include "device/KKT_Logic.h"

void TableWriter::write(const TableInfo& table, DataRows& rows, unsigned& cellCount, ProgressReporter& progress)
{
    KKT_Logic& logic = KKT_Logic::instance();
    QString errorText;
    const int result = logic.writeTableData(table, rows, cellCount, progress, errorText);
    if (result == 0)
        return;
    throw FlowFailure(result == -1 ? FlowFailure::Refused : FlowFailure::DriverFailed,
                      logic.resultText(result, errorText));
}
