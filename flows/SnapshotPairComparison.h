#pragma once

#include "device/Cell.h"
#include "device/RegisterCharsets.h"
#include "model/TableInfo.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class SnapshotReader;

// Two snapshot files compared cell by cell, as the register is compared with
// one: a reference register's snapshot with a shop's. Tables go through one at
// a time, so memory holds one table of each file and the differences found.
// Tables of the same number are compared; of two models, only those whose
// descriptions are alike in both. The first file's model description reads
// both files' tables.
class SnapshotPairComparison
{
public:
    struct Cell
    {
        unsigned registerRow = 0;
        int fieldNumber = 0; // from 1
        int fieldIndex = -1; // of the table's field descriptions; -1 beyond them
        int column = 0;      // cell in its row
        int firstRow = -1;   // data row of the first file's rows; -1 when that file lacks the cell
        int secondRow = -1;  // the same in the second file
        // UTF-8, as the files show them (money as 12.34 in Db tables).
        QByteArray firstText;
        QByteArray secondText;
    };

    struct TableDifferences
    {
        TableInfo table;
        QVector<Cell> cells;
    };

    struct Result
    {
        QVector<TableDifferences> tables; // every table compared, in the first file's order
        QStringList onlyInOne;            // tables that one file lacks, named with that file
        QStringList skipped;              // tables of another model described otherwise
        int differenceCount() const;
        bool same() const { return differenceCount() == 0 && onlyInOne.isEmpty(); }
    };

    // Hears of each table as it is compared: its rows in both files (no cell
    // marked changed) and the cells that differ.
    using TableCompared = std::function<void(const TableInfo& table, const DataRows& firstRows,
                                             const DataRows& secondRows, const TableDifferences& differences)>;

    // charsets: the register's, in which values are checked and compared.
    // Raises FlowFailure (Refused): for snapshots of two models unless
    // otherModel, for a model description that cannot be read and for a table
    // value the description refuses.
    static Result compare(SnapshotReader& first, SnapshotReader& second, const RegisterCharsets& charsets,
                          bool otherModel, const TableCompared& compared = {});
};
