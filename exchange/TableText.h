#pragma once

#include "device/Cell.h"
#include "model/TableInfo.h"

#include <QString>
#include <QStringList>

// The texts of a table's cells as its tab and its CSV file show them. Raises
// RunTimeError when the rows do not hold the cell asked for.
class TableText
{
public:
    static QStringList fieldNames(const TableInfo& table);
    // The stored text of a cell, as it is.
    static QString storedText(const DataRows& rows, int row, int column);
    // The same, with money of a Db table as "12.34".
    static QString cellText(const TableInfo& table, const DataRows& rows, int row, int column);
    // The same as UTF-8 bytes, shared with the stored cell where they are the same.
    static QByteArray storedBytes(const DataRows& rows, int row, int column);
    static QByteArray cellBytes(const TableInfo& table, const DataRows& rows, int row, int column);
    // The label cell that ends a row; empty for a row without cells.
    static QByteArray rowLabel(const DataRows& rows, int row);
};
