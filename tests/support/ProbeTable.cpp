#include "ProbeTable.h"

TableInfo ProbeTable::info(TableType type, int fields)
{
    TableInfo t;
    t.id = 9;
    t.name = QStringLiteral("Проба");
    t.type = type;
    for (int i = 0; i < fields; ++i)
        t.fields.append(FieldInfo(QStringLiteral("Поле %1").arg(i + 1), QStringLiteral("bin1"), QStringLiteral("int")));
    return t;
}

DataRows ProbeTable::rows(int count, int cells, const QList<QByteArray>& labels)
{
    DataRows result;
    for (int i = 0; i < count; ++i) {
        DataRow row(cells, Cell("0"));
        if (!labels.isEmpty())
            row.append(Cell(labels.at(i)));
        result.append(row);
    }
    return result;
}
