#include "TableSelection.h"

QList<TableInfo> TableSelection::select(const QList<TableInfo>& tables, Kind kind)
{
    QList<TableInfo> selection;
    for (const TableInfo& table : tables) {
        switch (kind) {
        case All:
            selection.append(table);
            break;
        case Commodities:
            if (table.id == CommodityTable && selection.isEmpty())
                selection.append(table);
            break;
        case AllExceptCommodities:
            if (table.id != CommodityTable)
                selection.append(table);
            break;
        }
    }
    return selection;
}
