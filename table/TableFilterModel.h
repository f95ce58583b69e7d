#pragma once

#include <QSortFilterProxyModel>
#include <QStringList>
#include <QVector>

class QTimer;

// The rows of a table whose shown texts hold every word searched for, in any
// column or in the row's title, without regard to case. Without words it
// passes every row.
//
// The shown texts of each row are gathered into an index and kept while the
// rows stay as they are: a change of the cells' texts gathers only the rows it
// changed again (a change of their colours alone, none), so a word typed
// searches the index, not every cell's text. The index is gathered a few rows
// at a time from the event loop once indexInSteps() is asked for, else the
// first time a search needs it. A new search maps the rows anew in one pass
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

    // From now on the rows not in the index are gathered in steps of a few
    // milliseconds each between the window's events, those changed later too.
    void indexInSteps();
    // Gathers every row not in the index yet, now.
    void completeIndex();
    bool isIndexComplete() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    // The row's title and shown texts, case-folded, one per line.
    QString rowText(int sourceRow) const;
    const QString& indexedRow(int sourceRow) const;
    void sizeIndex() const;
    void forgetRows(int first, int last);
    void forgetIndex();
    void indexStep();
    void scheduleStep();

    QStringList m_words;
    bool m_filtering = true;
    // One entry per source row; a null entry is gathered when next needed.
    mutable QVector<QString> m_rowTexts;
    mutable bool m_indexed = false;
    // Every row before it is in the index.
    mutable int m_firstMissing = 0;
    bool m_stepping = false;
    QTimer* m_stepTimer;
};
