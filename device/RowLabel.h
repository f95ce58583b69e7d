#pragma once

#include "Cell.h"

#include <QByteArray>

#include <limits>

// The label cell that ends a data row names the register row (from 1) that
// the row's cells live in.
class RowLabel
{
public:
    // The register row of a label; 0 when the label is not a row number
    // (empty, anything but decimal digits, or beyond an unsigned number).
    static unsigned registerRow(const QByteArray& label)
    {
        if (label.isEmpty())
            return 0;
        for (const char c : label) {
            if (c < '0' || c > '9')
                return 0;
        }
        bool ok = false;
        const qulonglong number = label.toULongLong(&ok, 10);
        if (!ok || number > std::numeric_limits<unsigned>::max())
            return 0;
        return unsigned(number);
    }

    static unsigned registerRow(const DataRow& row)
    {
        return row.isEmpty() ? 0 : registerRow(row.last().value);
    }
};
