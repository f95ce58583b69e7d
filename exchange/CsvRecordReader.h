#pragma once

#include <QByteArray>
#include <QList>

using CsvRecord = QList<QByteArray>;

// Splits CSV bytes into records of raw (still encoded) values. Blank lines
// yield no record; CR, LF and CR LF all end a record outside quotes.
class CsvRecordReader
{
public:
    explicit CsvRecordReader(char separator) : m_separator(separator) {}

    // False when the bytes are not well-formed CSV (a stray or unclosed quote).
    bool parse(const QByteArray& bytes, QList<CsvRecord>& records) const;

private:
    char m_separator;
};
