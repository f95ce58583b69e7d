#include "TableRows.h"

#include "TableInfo.h"

bool TableRows::described(const TableInfo& table)
{
    return table.type == TransposedList || !table.rowNames.isEmpty();
}

int TableRows::expected(const TableInfo& table)
{
    if (table.type == TransposedList)
        return table.fields.size();
    return table.rowNames.isEmpty() ? Max : table.rowNames.size();
}
