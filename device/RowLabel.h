#pragma once

#include "Cell.h"
#include "model/WholeNumber.h"

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
        const std::optional<uint64_t> number = WholeNumber::read(label, std::numeric_limits<unsigned>::max());
        return number ? unsigned(*number) : 0;
    }

    static unsigned registerRow(const DataRow& row)
    {
        return row.isEmpty() ? 0 : registerRow(row.last().value);
    }
};
