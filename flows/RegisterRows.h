#pragma once

#include "device/Cell.h"
#include "device/RowLabel.h"
#include "model/TableInfo.h"

// Where the data rows of a table live on the register, as the write engine
// addresses them: a Db row by its label, every other row by its place.
class RegisterRows
{
public:
    // The register row (from 1) of data row i; 0 when a Db row has no row number.
    static unsigned registerRowOf(const TableInfo& table, const DataRows& rows, int i)
    {
        if (i < 0 || i >= rows.size())
            return 0;
        return table.type == Db ? RowLabel::registerRow(rows.at(i)) : unsigned(i + 1);
    }

    // The data row that holds register row r; -1 when none does.
    static int dataRowOf(const TableInfo& table, const DataRows& rows, unsigned registerRow)
    {
        if (registerRow == 0)
            return -1;
        if (table.type != Db)
            return registerRow <= unsigned(rows.size()) ? int(registerRow - 1) : -1;
        for (int i = 0; i < rows.size(); ++i) {
            if (RowLabel::registerRow(rows.at(i)) == registerRow)
                return i;
        }
        return -1;
    }

    // The field description of cell (i, j); nullptr beyond the description.
    static const FieldInfo* fieldOf(const TableInfo& table, int i, int j)
    {
        const int index = table.type == TransposedList ? i : j;
        return index >= 0 && index < table.fields.size() ? &table.fields.at(index) : nullptr;
    }
};
