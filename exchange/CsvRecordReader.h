#pragma once

#include "CsvRecord.h"

#include <QByteArray>

#include <functional>

// Splits CSV bytes into records of raw (still encoded) values, handed out as
// views into the bytes. Blank lines yield no record; CR, LF and CR LF all end
// a record outside quotes. A value is quoted when it begins with a quote;
// inside, a doubled quote stands for one, and the closing quote is followed
// by a separator, a line end or the end of the bytes. Nothing is trimmed.
class CsvRecordReader
{
public:
    // Takes one record; false stops the reading there.
    using RecordSink = std::function<bool(const CsvRecord&)>;

    explicit CsvRecordReader(char separator) : m_separator(separator) {}

    // Hands the records of bytes, from offset `from` on, to sink in order,
    // one at a time. False when the bytes are not well-formed CSV (a quote
    // inside a value not quoted, a closing quote followed by anything else
    // than a separator or a line end, or a quote left open) before the sink
    // stopped the reading; the records before the fault have been handed out.
    bool parse(const QByteArray& bytes, int from, const RecordSink& sink) const;

private:
    char m_separator;
};
