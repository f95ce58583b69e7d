#include "CellReplace.h"

#include "CellBatch.h"
#include "TableModel.h"

CellReplace::CellReplace(const QString& found, const QString& replacement, bool wholeValue, bool includeHidden)
    : m_found(found)
    , m_replacement(replacement)
    , m_wholeValue(wholeValue)
    , m_includeHidden(includeHidden)
{
}

std::optional<QString> CellReplace::replaced(const QString& shown) const
{
    if (m_wholeValue) {
        if (shown.compare(m_found, Qt::CaseInsensitive) != 0)
            return std::nullopt;
        return m_replacement;
    }
    // An empty text is found everywhere and nowhere: it replaces nothing.
    if (m_found.isEmpty() || !shown.contains(m_found, Qt::CaseInsensitive))
        return std::nullopt;
    QString text = shown;
    return text.replace(m_found, m_replacement, Qt::CaseInsensitive);
}

CellReplace::Found CellReplace::addTo(CellBatch& batch, const TableModel& model, const QList<int>& columns,
                                      const HiddenRow& hidden) const
{
    Found found;
    const int rows = model.rowCount();
    for (int row = 0; row < rows; ++row) {
        const bool hiddenRow = hidden && hidden(row);
        for (const int column : columns) {
            if (column < 0 || column >= model.columnCount())
                continue;
            const QModelIndex index = model.index(row, column);
            const std::optional<QString> text = replaced(index.data(Qt::EditRole).toString());
            if (!text)
                continue;
            if (hiddenRow && !m_includeHidden) {
                ++found.hiddenLeft;
                continue;
            }
            ++found.matches;
            const int changes = batch.changeCount();
            batch.add(index, *text);
            if (hiddenRow)
                found.hiddenChanged += batch.changeCount() - changes;
        }
    }
    return found;
}
