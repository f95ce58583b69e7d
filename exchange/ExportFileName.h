#pragma once

#include <QHash>
#include <QString>

#include <cstdint>

// The files that the export of all tables writes: one per table, named by the
// register's serial number and the table number, in the chosen directory.
// Two tables of one number (a model description may have them) must not
// share a file: the second gets "<serial>_<number>_2.csv", the third "_3", ...
class ExportFileName
{
public:
    ExportFileName(const QString& directory, const QString& serialNumber)
        : m_directory(directory), m_serialNumber(serialNumber)
    {
    }

    // The file of the next table exported into the directory.
    QString next(uint16_t tableNumber)
    {
        const int earlier = m_given[tableNumber]++;
        QString file = path(m_directory, m_serialNumber, tableNumber);
        if (earlier > 0)
            file.insert(file.size() - 4, QStringLiteral("_%1").arg(earlier + 1));
        return file;
    }

    static QString path(const QString& directory, const QString& serialNumber, uint16_t tableNumber)
    {
        return directory + QLatin1Char('/') + name(serialNumber, tableNumber);
    }
    // The same file's name alone.
    static QString name(const QString& serialNumber, uint16_t tableNumber)
    {
        return QStringLiteral("%1_%2.csv").arg(safeFileNamePart(serialNumber), QString::number(tableNumber));
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

private:
    QString m_directory;
    QString m_serialNumber;
    QHash<uint16_t, int> m_given; // files given so far, by table number
};
