#pragma once

#include "Cell.h"
#include "model/TableInfo.h"

#include <QVector>

#include <utility>
#include <vector>

// Where the cells of one table's data rows live on the register: a Db row at
// the register row its label names, wherever it stands in the list; every
// other row at its place (data row i is register row i + 1). A cell's field is
// its column, except in a TransposedList table, which keeps one field per data
// row. Built once per table and rows; every answer is then O(1), but the data
// rows of a Db register row, O(log n). It keeps
// copies of what it needs, so the rows may change afterwards as long as no Db
// label does.
class RegisterAddress
{
public:
    RegisterAddress(const TableInfo& table, const DataRows& rows);

    // The register row (from 1) of data row i; 0 when it has none (a Db row
    // whose label is not a row number, or i out of range).
    unsigned registerRow(int i) const
    {
        if (i < 0 || i >= m_cellCounts.size())
            return 0;
        return m_db ? m_registerRows.at(i) : unsigned(i + 1);
    }
    // The data row that holds register row r; -1 when none does. Where two Db
    // rows name the same register row, the first of them.
    int dataRow(unsigned registerRow) const;
    // Every data row that holds register row r, in their order: more than one
    // where Db rows name the same register row; none when none does.
    QVector<int> dataRows(unsigned registerRow) const;
    // The highest register row held by a data row i for which pick(i) is
    // true; 0 when there is none. The rows are looked at from the highest
    // register row down, and no further than the first picked.
    template <typename Pick>
    unsigned highestRegisterRow(const Pick& pick) const
    {
        if (m_db) {
            for (auto at = m_dataRows.rbegin(); at != m_dataRows.rend(); ++at) {
                if (pick(at->second))
                    return at->first;
            }
            return 0;
        }
        for (int i = m_cellCounts.size() - 1; i >= 0; --i) {
            if (pick(i))
                return unsigned(i + 1);
        }
        return 0;
    }

    // The index of the field description of cell (i, j); -1 beyond the description.
    int fieldIndex(int i, int j) const
    {
        const int index = m_transposed ? i : j;
        return index >= 0 && index < m_fields.size() ? index : -1;
    }
    // The field description of cell (i, j); nullptr beyond the description.
    const FieldInfo* field(int i, int j) const
    {
        const int index = fieldIndex(i, j);
        return index < 0 ? nullptr : &m_fields.at(index);
    }

    // Whether cell (i, j) is a Db row's label: its address, never a value to write.
    bool isLabel(int i, int j) const;
    // The cells of data row i that hold values (a Db row's label is not one).
    int valueCells(int i) const
    {
        if (i < 0 || i >= m_cellCounts.size())
            return 0;
        return m_db ? qMax(0, m_cellCounts.at(i) - 1) : m_cellCounts.at(i);
    }

private:
    bool m_db;
    bool m_transposed;
    QVector<FieldInfo> m_fields;
    QVector<unsigned> m_registerRows; // Db only: by data row
    QVector<int> m_cellCounts;        // cells of each data row
    // Db only: (register row, data row) of every row with a register row, in that order
    std::vector<std::pair<unsigned, int>> m_dataRows;
};
