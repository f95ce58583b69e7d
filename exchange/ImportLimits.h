#pragma once

#include <QList>
#include <QtGlobal>

class FieldInfo;
class TableInfo;

// How much a CSV file of a table can hold: the import refuses anything more
// before it reads it whole or keeps it.
//
// Data lines: a Db table has at most one line per register row (its row
// names, or the 65 536 rows a register table can have at most), a List or
// TransposedList table one line (the import reads the first and skips the rest).
// File size: the title and column lines, plus the table's data lines at their
// widest (every text field filled with three-byte characters, numbers of 24
// characters, each value quoted), for the largest table of the model
// description; never more than 256 MiB.
class ImportLimits
{
public:
    static constexpr int MostRegisterRows = 65536;
    static constexpr qint64 MostFileBytes = 256LL * 1024 * 1024;

    // The data lines a file of the table may hold; 0 for a Plain table, whose
    // data are not read.
    static int dataLines(const TableInfo& table);

    // The largest file that a table of these tables can need.
    static qint64 fileBytes(const QList<TableInfo>& tables);

private:
    static qint64 fileBytes(const TableInfo& table);
    static qint64 widestValue(const FieldInfo& field);
};
