#pragma once

#include "model/TableInfo.h"

// Where a table's data cells stand in its view, the way RegisterAddress tells
// where they stand on the register: a Db table shows a data row per view row
// and a field per column; a List table its one data row down one column, a
// field per view row; a TransposedList table one data row (of one field) per
// view row. A table of any other type shows nothing.
class TableLayout
{
public:
    struct Cell
    {
        int row = 0;    // data row
        int column = 0; // cell of the data row
        int field = -1; // field description; -1: none
    };

    explicit TableLayout(TableType type) : m_type(type) {}

    int rowCount(int dataRows, int fields) const;
    int columnCount(int fields) const;
    // The data cell and field that view cell (row, column) shows.
    Cell cellAt(int viewRow, int viewColumn) const;
    // The view cell that shows data cell (row, column); false when none does.
    bool viewOf(int row, int column, int& viewRow, int& viewColumn) const;
    // Whether each view row is a data row (titled by its row), or else a field (titled by the field).
    bool rowsAreDataRows() const { return m_type == Db; }
    bool showsCells() const { return m_type == Db || m_type == List || m_type == TransposedList; }

private:
    TableType m_type;
};
