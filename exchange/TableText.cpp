#include "TableText.h"

#include "common/Errors.h"
#include "model/MoneyText.h"

QStringList TableText::fieldNames(const TableInfo& table)
{
    QStringList names;
    names.reserve(table.fields.size());
    for (const FieldInfo& field : table.fields)
        names << field.m_name;
    return names;
}

QByteArray TableText::storedBytes(const DataRows& rows, int row, int column)
{
    if (row < 0 || row >= rows.size())
        throw RunTimeError(QStringLiteral("Ошибка отображения. Кол-во строк не соответствует допустимому значению"));
    if (column < 0 || column >= rows.at(row).size())
        throw RunTimeError(QStringLiteral("Ошибка отображения. Кол-во полей не соответствует допустимому значению"));
    return rows.at(row).at(column).value;
}

QByteArray TableText::cellBytes(const TableInfo& table, const DataRows& rows, int row, int column)
{
    const QByteArray stored = storedBytes(rows, row, column);
    if (column < table.fields.size() && table.fields.at(column).m_guiType == FieldInfo::Money)
        return MoneyText::bytesFromKopecks(stored);
    return stored;
}

QString TableText::storedText(const DataRows& rows, int row, int column)
{
    return QString::fromUtf8(storedBytes(rows, row, column));
}

QString TableText::cellText(const TableInfo& table, const DataRows& rows, int row, int column)
{
    return QString::fromUtf8(cellBytes(table, rows, row, column));
}

QByteArray TableText::rowLabel(const DataRows& rows, int row)
{
    if (row < 0 || row >= rows.size())
        throw RunTimeError(QStringLiteral("Обращение к несуществующей строке"));
    const DataRow& cells = rows.at(row);
    return cells.isEmpty() ? QByteArray() : cells.last().value;
}
