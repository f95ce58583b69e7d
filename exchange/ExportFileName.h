#pragma once

#include "common/FileNamePart.h"

#include <QString>

#include <cstdint>

// The file that the export of all tables writes for one table: named by the
// register's serial number and the table number, in the chosen directory.
class ExportFileName
{
public:
    static QString path(const QString& directory, const QString& serialNumber, uint16_t tableNumber)
    {
        return QStringLiteral("%1/%2_%3.csv").arg(directory, FileNamePart::of(serialNumber), QString::number(tableNumber));
    }
};
