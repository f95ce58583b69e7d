#pragma once

#include <QByteArray>
#include <QString>

// Reads a whole file that has to be a regular file of at most a given size:
// a FIFO, a device or a folder in its place is refused at once, never waited
// on, and a larger file is refused unread.
class WholeFile
{
public:
    // False, with why saying why, when path cannot be read, is no regular
    // file or holds more than maxBytes (also when it grew while read).
    static bool read(const QString& path, qint64 maxBytes, QByteArray& bytes, QString& why);
};
