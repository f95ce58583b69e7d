#pragma once

#include <QByteArray>
#include <QStringList>

class QTextCodec;

// The codec of the CSV files: the system locale's, unless that codec cannot
// hold the text (a Latin-1 locale and Cyrillic names), in which case UTF-8 is
// used so that nothing is lost, and such a file is recognised when read back.
class FileTextCodec
{
public:
    static QTextCodec* forWriting(const QStringList& texts);
    static QTextCodec* forReading(const QByteArray& bytes);
};
