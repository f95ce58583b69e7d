#pragma once

#include "flows/FlowFailure.h"
#include "flows/TableComparison.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QVector>

#include <functional>

class Console;
class TableInfo;

// What a command did, as one JSON object for programs that call vescor-cli
// with --json and should not read Russian text:
//
//   {"cells": [{"after": "22.00", "before": "20.00", "field": 1, "file": "a.csv",
//               "name": "Ставка", "row": 1, "table": 6}],
//    "changed": true, "command": "import", "error": null,
//    "tables": [{"cells": 1, "file": "a.csv", "name": "Налоговые ставки", "table": 6}]}
//
// "before" is the register's value where it was read, else null; "after" is
// the file's value. A failure sets "error": {"message", "file", "row", "field",
// "problems"}: the whole message, placed where its first part lies, and each
// part (a refused value, say) placed by itself; null where a part of a place
// is not known. Commands add keys of their own.
//
// The keys stand in the order of their names, on one line. The cells go to
// standard output as each table is added, so that the report holds one
// table's cells at a time; the keys after "cells" follow at finish(). A key of
// the command's own is set before the first table, or sorts after "cells".
class JsonReport
{
public:
    JsonReport(const QString& command, Console& console);

    // A key of the command's own ("dry_run", "different", ...).
    void set(const QString& key, const QJsonValue& value);
    // Whether the register was (or, on a dry run, would be) changed.
    void setChanged(bool changed);
    // The cells of a file's table written, to be written or differing; a
    // table without cells is left out. withBefore: the register's values were read.
    void addTable(const QString& file, const TableInfo& table, const QVector<TableComparison::CellPair>& cells,
                  bool withBefore);
    // The same for cells made one at a time, cellAt(0) up to cellAt(count - 1),
    // so that a command need not keep a table's pairs until it is written.
    void addTable(const QString& file, const TableInfo& table, int count,
                  const std::function<TableComparison::CellPair(int)>& cellAt, bool withBefore);
    void setError(const QString& message, const QVector<FlowFailure::Place>& places);

    // Writes the rest of the report and its line end; once.
    void finish();

private:
    // The keys that sort before "cells" and the opening of the cells.
    void openCells();
    void writeOut();

    Console& m_console;
    QJsonObject m_root; // the keys not written yet
    QJsonArray m_tables;
    QByteArray m_pending; // written when it grows large, and after each table
    bool m_cellsOpen = false;
    bool m_finished = false;
};
