#pragma once

#include "device/Cell.h"
#include "model/TableInfo.h"

#include <QStringList>

#include <initializer_list>
#include <limits>
#include <utility>

// Small builders for table descriptions and rows, independent of the model file loader.
namespace fixtures {

// Without a device type a text field is kept in the register's character set
// and every other field in four bytes, as the register keeps them.
inline FieldInfo field(const QString& name, FieldInfo::GuiType gui,
                       FieldInfo::DeviceType device = FieldInfo::DeviceUnknown)
{
    FieldInfo f;
    f.m_name = name;
    f.m_guiType = gui;
    f.m_deviceType = device != FieldInfo::DeviceUnknown ? device
        : gui == FieldInfo::String                       ? FieldInfo::String866
                                                         : FieldInfo::Bin4;
    if (gui == FieldInfo::Int) {
        f.m_min = 0;
        f.m_max = 2147483647;
    } else if (gui == FieldInfo::Money) {
        f.m_min = 0;
        f.m_max = std::numeric_limits<double>::max();
    }
    return f;
}

inline FieldInfo intField(const QString& name, double min, double max)
{
    FieldInfo f = field(name, FieldInfo::Int);
    f.m_min = min;
    f.m_max = max;
    return f;
}

inline FieldInfo moneyField(const QString& name, double min = 0, double max = std::numeric_limits<double>::max())
{
    FieldInfo f = field(name, FieldInfo::Money);
    f.m_min = min;
    f.m_max = max;
    return f;
}

inline FieldInfo maskedField(const QString& name, const QString& mask, FieldInfo::DeviceType device = FieldInfo::Bcd3)
{
    FieldInfo f = field(name, FieldInfo::StringMasked, device);
    f.m_mask = mask;
    return f;
}

inline FieldInfo listField(const QString& name, std::initializer_list<std::pair<uint32_t, QString>> items)
{
    FieldInfo f = field(name, FieldInfo::List, FieldInfo::Bin1);
    for (const auto& item : items)
        f.m_items.emplace(item.first, item.second);
    return f;
}

inline TableInfo table(TableType type, const QVector<FieldInfo>& fields, uint16_t id = 7,
                       const QString& name = QStringLiteral("Таблица"))
{
    TableInfo t;
    t.id = id;
    t.name = name;
    t.type = type;
    t.fields = fields;
    return t;
}

// A row as the read engine delivers it: the values, then the 1-based row label.
inline DataRow row(const QStringList& values, int label)
{
    DataRow cells;
    for (const QString& value : values)
        cells << Cell(value.toUtf8());
    cells << Cell(QByteArray::number(label));
    return cells;
}

// Rows of a Db table, labelled 1, 2, ...
inline DataRows dbRows(const QList<QStringList>& values)
{
    DataRows rows;
    for (int i = 0; i < values.size(); ++i)
        rows << row(values[i], i + 1);
    return rows;
}

// The single data row of a List table.
inline DataRows listRows(const QStringList& values)
{
    return DataRows{row(values, 1)};
}

// One data row per field of a TransposedList table.
inline DataRows transposedRows(const QStringList& values)
{
    DataRows rows;
    for (int i = 0; i < values.size(); ++i)
        rows << row(QStringList{values[i]}, i + 1);
    return rows;
}

} // namespace fixtures
