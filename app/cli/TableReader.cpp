#include "TableReader.h"

#include "CliFailure.h"

#include "device/KKT_Logic.h"
#include "model/TableInfo.h"

DataRows TableReader::read(const TableInfo& table, unsigned& cellCount)
{
    KKT_Logic& logic = KKT_Logic::instance();
    DataRows rows;
    QString errorText;
    const int result = logic.readTableData(table, rows, cellCount, errorText);
    if (result == -1)
        throw CliFailure(DriverFailure, errorText);
    if (result != 0)
        throw CliFailure(DriverFailure, logic.lastErrorText());
    return rows;
}
