#pragma once

#include <QString>

#include <cstdint>

// The file that the export of all tables writes for one table: named by the
// register's serial number and the table number, in the chosen directory.
class ExportFileName
{
public:
    static QString path(const QString& directory, const QString& serialNumber, uint16_t tableNumber)
    {
        return QStringLiteral("%1/%2_%3.csv").arg(directory, safeFileNamePart(serialNumber), QString::number(tableNumber));
    }

    // The serial number comes from the register: a "/" or a control character in it
    // must not lead the file out of the chosen directory or make an unusable name.
    static QString safeFileNamePart(QString text)
    {
        for (QChar& c : text) {
            if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
                c = QLatin1Char('_');
        }
        return text;
    }
};
