#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One line of the cell listings of diff and import --dry-run: the values in
// double quotes, separated by ";", as the CSV files of the program are.
class CsvLine
{
public:
    static QString of(const QStringList& values);
    // The same for UTF-8 values, as UTF-8 bytes without the line end.
    static QByteArray ofUtf8(const QList<QByteArray>& values);
};
