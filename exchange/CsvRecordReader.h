#pragma once

#include "CsvRecord.h"

#include <QByteArray>

#include <functional>

// Splits CSV bytes into records of raw (still encoded) values. Blank lines
// yield no record; CR, LF and CR LF all end a record outside quotes.
class CsvRecordReader
{
public:
    // Takes one record; false stops the reading there.
    using RecordSink = std::function<bool(const CsvRecord&)>;

    explicit CsvRecordReader(char separator) : m_separator(separator) {}

    // Hands the records of bytes, from offset `from` on, to sink in order,
    // a piece of the bytes at a time, so that no more than one piece's
    // records are held at once. False when the bytes are not well-formed CSV
    // (a stray or unclosed quote) before the sink stopped the reading.
    bool parse(const QByteArray& bytes, int from, const RecordSink& sink) const;

private:
    char m_separator;
};
