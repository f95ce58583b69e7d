#pragma once

#include <QByteArray>
#include <QVector>

// One stored cell: its text as UTF-8 bytes and whether it is to be written.
struct Cell
{
    QByteArray value;
    bool changed = false;

    Cell() = default;
    Cell(const QByteArray& v, bool c = false) : value(v), changed(c) {}
    bool operator==(const Cell& o) const { return value == o.value && changed == o.changed; }
};

// A data row ends with its label cell (the register row number) where the
// engines put one; see TableModel for the shapes.
using DataRow = QVector<Cell>;
using DataRows = QVector<DataRow>;
