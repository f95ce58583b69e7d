#pragma once

#include "journal/JournalRecord.h"
#include "model/TableInfo.h"

#include <QList>
#include <QMap>

// The fields of journal cells, so that their values show as the tabs show
// them (roubles, percentages, list names) whatever the window has read: from
// the description at hand, or else from the register model's own file.
class JournalFields
{
public:
    // The field of a cell of table `tableNumber` in a description; nullptr when it has none.
    static const FieldInfo* field(const QList<TableInfo>& tables, unsigned tableNumber,
                                  const JournalRecord::CellChange& cell);
    // A stored value as the tab shows it; as it is stored when the field is unknown.
    static QString shown(const FieldInfo* field, const QByteArray& value);

    // The description of a register model from its file, read once; empty when it cannot be read.
    const QList<TableInfo>& description(int modelCode);

private:
    QMap<int, QList<TableInfo>> m_descriptions;
};
