#include "TableReader.h"

#include "FlowFailure.h"

#include "device/KKT_Logic.h"
#include "model/TableInfo.h"

DataRows TableReader::read(const TableInfo& table, unsigned& cellCount, ProgressReporter* progress)
{
    KKT_Logic& logic = KKT_Logic::instance();
    DataRows rows;
    QString errorText;
    const int result = logic.readTableData(table, rows, cellCount, errorText, progress);
    if (result != 0)
        throw FlowFailure(FlowFailure::DriverFailed, logic.resultText(result, errorText));
    return rows;
}
