#pragma once

#include <QSortFilterProxyModel>
#include <QStringList>

// The rows of a table whose shown texts hold every word searched for, in any
// column or in the row's title, without regard to case. Without words it
// passes every row.
class TableFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit TableFilterModel(QObject* parent = nullptr);

    // Splits the text into words at blanks; an empty text passes every row.
    void setSearchText(const QString& text);
    QStringList words() const { return m_words; }

    // Filtering on, only the matching rows pass; off, every row passes and
    // rowMatches() still tells the matching ones apart.
    void setFiltering(bool on);
    bool isFiltering() const { return m_filtering; }

    // Whether a row of the source model holds every word.
    bool rowMatches(int sourceRow) const;
    // Rows of the source model that hold every word.
    int matchCount() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QStringList m_words;
    bool m_filtering = true;
};
