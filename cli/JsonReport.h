#pragma once

#include "flows/FlowFailure.h"
#include "flows/TableComparison.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QVector>

class TableInfo;

// What a command did, as one JSON object for programs that call vescor-cli
// with --json and should not read Russian text:
//
//   {"command": "import", "changed": true,
//    "tables": [{"file": "a.csv", "table": 6, "name": "Налоговые ставки", "cells": 1}],
//    "cells": [{"file": "a.csv", "table": 6, "row": 1, "field": 1, "name": "Ставка",
//               "before": "20.00", "after": "22.00"}],
//    "error": null}
//
// "before" is the register's value where it was read, else null; "after" is
// the file's value. A failure sets "error": {"message", "file", "row", "field",
// "problems"}: the whole message, placed where its first part lies, and each
// part (a refused value, say) placed by itself; null where a part of a place
// is not known. Commands add keys of their own.
class JsonReport
{
public:
    explicit JsonReport(const QString& command);

    // A key of the command's own ("dry_run", "different", ...).
    void set(const QString& key, const QJsonValue& value);
    // Whether the register was (or, on a dry run, would be) changed.
    void setChanged(bool changed);
    // The cells of a file's table written, to be written or differing; a
    // table without cells is left out. withBefore: the register's values were read.
    void addTable(const QString& file, const TableInfo& table, const QVector<TableComparison::CellPair>& cells,
                  bool withBefore);
    void setError(const QString& message, const QVector<FlowFailure::Place>& places);

    // Compact UTF-8 JSON, without a line end.
    QByteArray toJson() const;

private:
    void addCell(const QString& file, const TableInfo& table, const TableComparison::CellPair& cell, bool withBefore);

    QJsonObject m_root;
    QJsonArray m_tables;
    QJsonArray m_cells;
};
