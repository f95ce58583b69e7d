#include "TableReader.h"

#include "FlowFailure.h"

#include "device/RegisterLink.h"
#include "device/TableReadEngine.h"
#include "model/TableInfo.h"

DataRows TableReader::read(const RegisterLink& link, const TableInfo& table, unsigned& cellCount,
                           ProgressReporter* progress)
{
    DataRows rows;
    QString errorText;
    const int result = TableReadEngine(link).read(table, rows, cellCount, errorText, progress);
    if (result != 0)
        throw FlowFailure(FlowFailure::DriverFailed, link.resultText(result, errorText));
    return rows;
}
