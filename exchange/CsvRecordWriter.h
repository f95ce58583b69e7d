#pragma once

#include <QByteArray>
#include <QList>

// Turns values (already encoded bytes) into one CSV record line ended by "\n".
class CsvRecordWriter
{
public:
    explicit CsvRecordWriter(char separator) : m_separator(separator) {}

    // Every value enclosed in double quotes, quotes inside doubled.
    QByteArray quotedRecord(const QList<QByteArray>& values) const;

    // One bare value, enclosed only when it holds the separator, CR or LF.
    QByteArray bareRecord(const QByteArray& value) const;

private:
    static QByteArray quoted(const QByteArray& value);

    char m_separator;
};
