#pragma once

#include "support/TestFiles.h"

#include "device/Cell.h"
#include "model/FieldInfo.h"
#include "model/TableInfo.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QStringList>
#include <QString>

#include <map>

// Table descriptions shared by the export and import tests.
namespace fixtures {

// Texts in the register's character set; money in a 12-digit field without model limits.
inline FieldInfo field(const QString& name, FieldInfo::GuiType gui, bool readOnly = false)
{
    FieldInfo f;
    f.m_name = name;
    f.m_guiType = gui;
    f.m_deviceType = gui == FieldInfo::Money ? FieldInfo::Bcd6 : FieldInfo::String866;
    f.m_readOnly = readOnly;
    if (gui == FieldInfo::Money)
        f.m_max = 9999999999.99;
    return f;
}

inline FieldInfo intField(const QString& name, double min, double max)
{
    FieldInfo f = field(name, FieldInfo::Int);
    f.m_deviceType = FieldInfo::Bin2;
    f.m_min = min;
    f.m_max = max;
    return f;
}

inline FieldInfo listField(const QString& name, std::map<uint32_t, QString> items)
{
    FieldInfo f = field(name, FieldInfo::List);
    f.m_deviceType = FieldInfo::Bin1;
    f.m_items = std::move(items);
    return f;
}

inline TableInfo table(uint16_t id, const QString& name, TableType type, QVector<FieldInfo> fields)
{
    TableInfo t;
    t.id = id;
    t.name = name;
    t.type = type;
    t.fields = std::move(fields);
    return t;
}

// Db: price, name, tax (list), count (int 1..10), a reserved and a read-only field.
inline TableInfo goods()
{
    TableInfo t = table(1, QStringLiteral("Товары"), Db,
                        {field(QStringLiteral("Цена"), FieldInfo::Money),
                         field(QStringLiteral("Название"), FieldInfo::String),
                         listField(QStringLiteral("Налог"), {{0, QStringLiteral("Без НДС")}, {1, QStringLiteral("НДС 20%")}, {3, QStringLiteral("НДС 10%")}}),
                         intField(QStringLiteral("Количество"), 1, 10),
                         field(QStringLiteral("Зарезервировано"), FieldInfo::String),
                         field(QStringLiteral("Служебное"), FieldInfo::String, true)});
    t.readOnlyRows = {3};
    return t;
}

// List: mode (list), a reserved field, a read-only int, a money field, a name.
inline TableInfo modes()
{
    return table(2, QStringLiteral("Режимы"), List,
                 {listField(QStringLiteral("Режим"), {{0, QStringLiteral("Выкл")}, {1, QStringLiteral("Вкл")}}),
                  field(QStringLiteral("Зарезервировано 1"), FieldInfo::String),
                  [] { FieldInfo f = intField(QStringLiteral("Пароль"), 0, 9999); f.m_readOnly = true; return f; }(),
                  field(QStringLiteral("Сумма"), FieldInfo::Money),
                  field(QStringLiteral("Имя"), FieldInfo::String)});
}

// TransposedList: two lines, a reserved line, a number 1..10.
inline TableInfo cliche()
{
    return table(5, QStringLiteral("Клише"), TransposedList,
                 {field(QStringLiteral("Строка 1"), FieldInfo::String),
                  field(QStringLiteral("Строка 2"), FieldInfo::String),
                  field(QStringLiteral("Зарезервировано"), FieldInfo::String),
                  intField(QStringLiteral("Номер"), 1, 10)});
}

inline TableInfo plain()
{
    return table(7, QStringLiteral("Пустая"), Plain, {field(QStringLiteral("Поле"), FieldInfo::String)});
}

inline TableInfo semicolonNamed()
{
    return table(9, QStringLiteral("Ставка; НДС"), Db, {field(QStringLiteral("Ставка"), FieldInfo::String)});
}

inline QList<TableInfo> allTables()
{
    return {goods(), modes(), cliche(), plain(), semicolonNamed()};
}

inline QList<TableInfo> tablesWithoutGoods()
{
    return {modes(), cliche(), plain(), semicolonNamed()};
}

inline DataRow row(std::initializer_list<Cell> cells)
{
    return DataRow(cells);
}

} // namespace fixtures


namespace fixtures {

// Rows as text for readable comparisons: cells "value", a changed one "value*".
inline QString describe(const DataRows& rows)
{
    QStringList lines;
    for (const DataRow& r : rows) {
        QStringList cells;
        for (const Cell& c : r)
            cells << QString::fromUtf8(c.value) + (c.changed ? QStringLiteral("*") : QString());
        lines << cells.join(QLatin1Char('|'));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace fixtures

Q_DECLARE_METATYPE(TableInfo)
Q_DECLARE_METATYPE(DataRows)
