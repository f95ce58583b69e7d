#include "TableFilterModel.h"

TableFilterModel::TableFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

void TableFilterModel::setSearchText(const QString& text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words == m_words)
        return;
    m_words = words;
    invalidateFilter();
}

void TableFilterModel::setFiltering(bool on)
{
    if (on == m_filtering)
        return;
    m_filtering = on;
    invalidateFilter();
}

bool TableFilterModel::rowMatches(int sourceRow) const
{
    if (m_words.isEmpty())
        return true;
    const QAbstractItemModel* source = sourceModel();
    if (!source)
        return false;
    QString text = source->headerData(sourceRow, Qt::Vertical, Qt::DisplayRole).toString();
    const int columns = source->columnCount();
    for (int c = 0; c < columns; ++c) {
        text += QLatin1Char('\n');
        text += source->index(sourceRow, c).data(Qt::DisplayRole).toString();
    }
    for (const QString& word : m_words) {
        if (!text.contains(word, Qt::CaseInsensitive))
            return false;
    }
    return true;
}

int TableFilterModel::matchCount() const
{
    if (m_filtering)
        return rowCount();
    const QAbstractItemModel* source = sourceModel();
    int count = 0;
    for (int r = 0; source && r < source->rowCount(); ++r)
        count += rowMatches(r) ? 1 : 0;
    return count;
}

bool TableFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    return !m_filtering || rowMatches(sourceRow);
}
