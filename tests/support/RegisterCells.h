#pragma once

// The cells of an emulated register's image file, by address, so that images
// before and after a command compare cell by cell.

#include <QByteArray>
#include <QList>
#include <QString>

#include <map>
#include <tuple>

using CellKey = std::tuple<unsigned, int, int>; // table, register row, field
using RegisterCells = std::map<CellKey, QByteArray>;

// Every cell of every table of an image file.
RegisterCells registerCells(const QString& path);

// The cells in which two images differ.
QList<CellKey> differences(const RegisterCells& before, const RegisterCells& after);
