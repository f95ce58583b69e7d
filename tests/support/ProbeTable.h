#pragma once

#include "device/Cell.h"
#include "model/TableInfo.h"

#include <QByteArray>
#include <QList>

// Table 9, "Проба", of any layout with whole-number fields "Поле 1" ..,
// and rows of zeros for it: the table the addressing tests lay out.
class ProbeTable
{
public:
    static TableInfo info(TableType type, int fields);
    // `count` rows of `cells` value cells each, each ended by its label when
    // labels are given.
    static DataRows rows(int count, int cells, const QList<QByteArray>& labels = {});
};
