#include "TableLayout.h"

int TableLayout::rowCount(int dataRows, int fields) const
{
    if (!showsCells())
        return 0;
    return m_type == Db ? dataRows : fields;
}

int TableLayout::columnCount(int fields) const
{
    if (!showsCells())
        return 0;
    return m_type == Db ? fields : 1;
}

TableLayout::Cell TableLayout::cellAt(int viewRow, int viewColumn) const
{
    switch (m_type) {
    case Db:
        return {viewRow, viewColumn, viewColumn};
    case List:
        return {0, viewRow, viewRow};
    case TransposedList:
        return {viewRow, viewColumn, viewRow};
    default:
        return {0, 0, -1};
    }
}

bool TableLayout::viewOf(int row, int column, int& viewRow, int& viewColumn) const
{
    switch (m_type) {
    case Db:
        viewRow = row;
        viewColumn = column;
        return true;
    case List:
        viewRow = column;
        viewColumn = 0;
        return row == 0;
    case TransposedList:
        viewRow = row;
        viewColumn = 0;
        return column == 0;
    default:
        return false;
    }
}
