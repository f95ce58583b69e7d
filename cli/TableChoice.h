#pragma once

#include "model/TableInfo.h"

#include <QList>
#include <QString>
#include <QVector>

// The --tables option of export and snapshot: all, commodities, others (the three
// choices of the window's read menu) or a list of table numbers "3,5,7".
class TableChoice
{
public:
    // Raises CliFailure (usage error) when the text is none of these.
    explicit TableChoice(const QString& text);

    // The chosen tables in the description's order. Raises CliFailure
    // (refused) when a listed number is not a table of the description.
    QList<TableInfo> select(const QList<TableInfo>& tables) const;
    // Whether the text listed table numbers rather than naming a kind of tables.
    bool listsNumbers() const { return m_kind < 0; }

private:
    int m_kind = -1; // a TableSelection::Kind, or -1 for a list of numbers
    QVector<uint16_t> m_numbers;
};
