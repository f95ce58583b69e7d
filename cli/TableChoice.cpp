#include "TableChoice.h"

#include "CliFailure.h"

#include "flows/TableSelection.h"

#include <QStringList>

#include <algorithm>

TableChoice::TableChoice(const QString& text)
{
    if (text == QLatin1String("all")) {
        m_kind = TableSelection::All;
        return;
    }
    if (text == QLatin1String("commodities")) {
        m_kind = TableSelection::Commodities;
        return;
    }
    if (text == QLatin1String("others")) {
        m_kind = TableSelection::AllExceptCommodities;
        return;
    }
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& part : parts) {
        bool ok = false;
        const uint number = part.trimmed().toUInt(&ok, 10);
        if (!ok || number > 0xFFFF)
            throw CliFailure(UsageError,
                             QStringLiteral("Неверный список таблиц: \"%1\" (all, commodities, others или номера "
                                            "через запятую)")
                                 .arg(text));
        if (!m_numbers.contains(uint16_t(number)))
            m_numbers.append(uint16_t(number));
    }
}

QList<TableInfo> TableChoice::select(const QList<TableInfo>& tables) const
{
    if (m_kind >= 0)
        return TableSelection::select(tables, TableSelection::Kind(m_kind));

    for (const uint16_t number : m_numbers) {
        const bool known = std::any_of(tables.begin(), tables.end(),
                                       [number](const TableInfo& table) { return table.id == number; });
        if (!known)
            throw CliFailure(Refused, QStringLiteral("В описании модели нет таблицы %1").arg(number));
    }
    // A number that two tables carry chooses the first of them.
    QList<TableInfo> selection;
    QList<uint16_t> chosen;
    for (const TableInfo& table : tables) {
        if (m_numbers.contains(table.id) && !chosen.contains(table.id)) {
            selection.append(table);
            chosen.append(table.id);
        }
    }
    return selection;
}
