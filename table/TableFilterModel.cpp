#include "TableFilterModel.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {

// How long one step of gathering the index may keep the window from its events.
constexpr qint64 StepNanoseconds = 8'000'000;

} // namespace

TableFilterModel::TableFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent), m_stepTimer(new QTimer(this))
{
    m_stepTimer->setSingleShot(true);
    m_stepTimer->setInterval(0);
    connect(m_stepTimer, &QTimer::timeout, this, &TableFilterModel::indexStep);
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
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QVector<int>& roles) {
                // A change of colours or tooltips leaves the texts searched as they are.
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole))
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

void TableFilterModel::sizeIndex() const
{
    if (m_indexed)
        return;
    m_rowTexts = QVector<QString>(sourceModel() ? sourceModel()->rowCount() : 0);
    m_indexed = true;
    m_firstMissing = 0;
}

const QString& TableFilterModel::indexedRow(int sourceRow) const
{
    sizeIndex();
    QString& text = m_rowTexts[sourceRow];
    // An empty text still holds the line breaks between its columns: only a row not gathered is null.
    if (text.isNull())
        text = rowText(sourceRow);
    return text;
}

void TableFilterModel::forgetRows(int first, int last)
{
    if (!m_indexed)
        return;
    for (int r = qMax(0, first); r <= last && r < m_rowTexts.size(); ++r)
        m_rowTexts[r] = QString();
    m_firstMissing = qMin(m_firstMissing, qMax(0, first));
    scheduleStep();
}

void TableFilterModel::forgetIndex()
{
    m_rowTexts.clear();
    m_indexed = false;
    m_firstMissing = 0;
    scheduleStep();
}

void TableFilterModel::indexInSteps()
{
    m_stepping = true;
    scheduleStep();
}

void TableFilterModel::scheduleStep()
{
    if (m_stepping && sourceModel() && !isIndexComplete())
        m_stepTimer->start();
}

bool TableFilterModel::isIndexComplete() const
{
    return m_indexed && m_firstMissing >= m_rowTexts.size();
}

void TableFilterModel::indexStep()
{
    QElapsedTimer clock;
    clock.start();
    sizeIndex();
    // The clock is looked at every few rows: a row takes about a microsecond.
    while (m_firstMissing < m_rowTexts.size() && clock.nsecsElapsed() < StepNanoseconds) {
        for (const int end = qMin(m_firstMissing + 64, m_rowTexts.size()); m_firstMissing < end; ++m_firstMissing)
            indexedRow(m_firstMissing);
    }
    scheduleStep();
}

void TableFilterModel::completeIndex()
{
    if (!sourceModel())
        return;
    sizeIndex();
    for (; m_firstMissing < m_rowTexts.size(); ++m_firstMissing)
        indexedRow(m_firstMissing);
    m_stepTimer->stop();
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
