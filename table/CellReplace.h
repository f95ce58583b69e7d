#pragma once

#include <QList>
#include <QString>

#include <optional>

class CellBatch;
class TableModel;

// Find and replace over a table's cells as the tab shows them: a part of the
// text, or the whole value, without regard to case. The new texts go into a
// batch, which checks each as an editor's value is checked.
class CellReplace
{
public:
    CellReplace(const QString& found, const QString& replacement, bool wholeValue);

    // The text a cell that shows `shown` gets; none when it holds no match.
    std::optional<QString> replaced(const QString& shown) const;

    // Adds the new text of every matching cell of the columns (columns of the
    // table model) to the batch; returns how many cells matched.
    int addTo(CellBatch& batch, const TableModel& model, const QList<int>& columns) const;

private:
    QString m_found;
    QString m_replacement;
    bool m_wholeValue;
};
