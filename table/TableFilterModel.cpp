#include "TableFilterModel.h"

TableFilterModel::TableFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

void TableFilterModel::setSourceModel(QAbstractItemModel* source)
{
    if (QAbstractItemModel* previous = sourceModel())
        disconnect(previous, nullptr, this, nullptr);
    forgetIndex();
    if (!source) {
        QSortFilterProxyModel::setSourceModel(source);
        return;
    }
    // Connected before the proxy reacts to the change itself: it filters the
    // changed rows again at once, and must see their new texts.
    connect(source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                forgetRows(topLeft.row(), bottomRight.row());
            });
    connect(source, &QAbstractItemModel::headerDataChanged, this, &TableFilterModel::forgetIndex);
    connect(source, &QAbstractItemModel::rowsInserted, this, &TableFilterModel::forgetIndex);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &TableFilterModel::forgetIndex);
    connect(source, &QAbstractItemModel::rowsMoved, this, &TableFilterModel::forgetIndex);
    connect(source, &QAbstractItemModel::modelReset, this, &TableFilterModel::forgetIndex);
    connect(source, &QAbstractItemModel::layoutChanged, this, &TableFilterModel::forgetIndex);
    QSortFilterProxyModel::setSourceModel(source);
}

void TableFilterModel::setSearchText(const QString& text)
{
    const QStringList words = text.toCaseFolded().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words == m_words)
        return;
    m_words = words;
    invalidate();
}

void TableFilterModel::setFiltering(bool on)
{
    if (on == m_filtering)
        return;
    m_filtering = on;
    invalidate();
}

QString TableFilterModel::rowText(int sourceRow) const
{
    const QAbstractItemModel* source = sourceModel();
    QString text = source->headerData(sourceRow, Qt::Vertical, Qt::DisplayRole).toString();
    const int columns = source->columnCount();
    for (int c = 0; c < columns; ++c) {
        text += QLatin1Char('\n');
        text += source->index(sourceRow, c).data(Qt::DisplayRole).toString();
    }
    return text.toCaseFolded();
}

const QString& TableFilterModel::indexedRow(int sourceRow) const
{
    if (!m_indexed) {
        m_rowTexts = QVector<QString>(sourceModel()->rowCount());
        m_indexed = true;
    }
    QString& text = m_rowTexts[sourceRow];
    // An empty text still holds the line breaks between its columns: only a row not gathered is null.
    if (text.isNull())
        text = rowText(sourceRow);
    return text;
}

void TableFilterModel::forgetRows(int first, int last)
{
    for (int r = qMax(0, first); m_indexed && r <= last && r < m_rowTexts.size(); ++r)
        m_rowTexts[r] = QString();
}

void TableFilterModel::forgetIndex()
{
    m_rowTexts.clear();
    m_indexed = false;
}

bool TableFilterModel::rowMatches(int sourceRow) const
{
    if (m_words.isEmpty())
        return true;
    const QAbstractItemModel* source = sourceModel();
    if (!source || sourceRow < 0 || sourceRow >= source->rowCount())
        return false;
    const QString& text = indexedRow(sourceRow);
    for (const QString& word : m_words) {
        if (!text.contains(word, Qt::CaseSensitive))
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
