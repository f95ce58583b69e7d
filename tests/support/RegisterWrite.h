#pragma once

#include <QByteArray>
#include <QList>

// Writes raw cells straight through the driver of the open handle of
// KKT_Logic and commits them: a register changed behind the program's back.
// The emulated register then stores its whole image in hex, so that images
// compare cell by cell (see RegisterCells).
struct RawCell
{
    unsigned table;
    int row;
    int field;
    QByteArray bytes;
};

// Opens, writes, commits, closes. Returns false when any call failed.
bool writeRawCells(const QList<RawCell>& cells);
