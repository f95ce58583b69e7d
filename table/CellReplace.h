#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class CellBatch;
class TableModel;

// Find and replace over a table's cells as the tab shows them: a part of the
// text, or the whole value, without regard to case. The new texts go into a
// batch, which checks each as an editor's value is checked.
class CellReplace
{
public:
    // With includeHidden the rows a search filter hides are replaced too;
    // without it they are left as they are.
    CellReplace(const QString& found, const QString& replacement, bool wholeValue, bool includeHidden = false);

    // What addTo() found: the cells it took, and those of hidden rows it took
    // and that change, or left alone.
    struct Found
    {
        int matches = 0;
        int hiddenChanged = 0;
        int hiddenLeft = 0;
    };
    // Whether a row of the table model is hidden from the user.
    using HiddenRow = std::function<bool(int row)>;

    // The text a cell that shows `shown` gets; none when it holds no match.
    std::optional<QString> replaced(const QString& shown) const;

    // Adds the new text of every matching cell of the columns (columns of the
    // table model) to the batch, hidden rows as the replace asks.
    Found addTo(CellBatch& batch, const TableModel& model, const QList<int>& columns,
                const HiddenRow& hidden = nullptr) const;

private:
    QString m_found;
    QString m_replacement;
    bool m_wholeValue;
    bool m_includeHidden;
};
