#pragma once

#include <QString>
#include <QStringList>

// One line of the listings of journal and revert: the values in double
// quotes, separated by ";", as the CSV files of the program are.
class CsvLine
{
public:
    static QString of(const QStringList& values);
};
