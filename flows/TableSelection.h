#pragma once

#include "model/TableInfo.h"

#include <QList>

// Which tables of a model description a read takes: all of them, the
// commodity base (table 1) alone, or all but the commodity base.
class TableSelection
{
public:
    enum Kind { All, Commodities, AllExceptCommodities };

    static constexpr uint16_t CommodityTable = 1;

    // The chosen tables in the description's order. Commodities takes the
    // first table numbered 1 only, and none when the description has none.
    static QList<TableInfo> select(const QList<TableInfo>& tables, Kind kind);
};
