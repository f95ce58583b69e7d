#pragma once

#include <QSortFilterProxyModel>
#include <QStringList>
#include <QVector>

// The rows of a table whose shown texts hold every word searched for, in any
// column or in the row's title, without regard to case. Without words it
// passes every row.
//
// The shown texts of each row are gathered into an index the first time a
// search needs them and kept while the rows stay as they are: a change of
// cells gathers only the rows it changed again, so a word typed searches the
// index, not every cell's text. A new search maps the rows anew in one pass
// rather than row by row, which in a large table costs far more.
class TableFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit TableFilterModel(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override;

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
    // The row's title and shown texts, case-folded, one per line.
    QString rowText(int sourceRow) const;
    const QString& indexedRow(int sourceRow) const;
    void forgetRows(int first, int last);
    void forgetIndex();

    QStringList m_words;
    bool m_filtering = true;
    // One entry per source row; a null entry is gathered when next needed.
    mutable QVector<QString> m_rowTexts;
    mutable bool m_indexed = false;
};
