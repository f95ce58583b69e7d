#pragma once

#include <QByteArray>

// A stored value for one cell of a table model, by data row and column.
struct StoredCell
{
    int row = 0;
    int column = 0;
    QByteArray value;
};
