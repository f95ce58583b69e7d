#include "CsvRecordWriter.h"

#include <csv.h>

#include <cstring>

namespace {

// Values up to this long are copied byte by byte.
const size_t ShortValue = 16;

} // namespace

QByteArray CsvRecordWriter::quoted(const QByteArray& value)
{
    // Worst case: every byte a quote (doubled) plus the two delimiters.
    QByteArray out(value.size() * 2 + 2, '\0');
    const size_t written = csv_write2(out.data(), size_t(out.size()), value.constData(), size_t(value.size()), '"');
    out.truncate(int(written));
    return out;
}

void CsvRecordWriter::Buffer::grow(size_t n)
{
    m_bytes.resize(qMax(m_bytes.size() * 2, m_used + n + 4096));
}

void CsvRecordWriter::appendBare(Buffer& out, const QByteArray& value) const
{
    const QByteArray record = bareRecord(value);
    std::copy(record.cbegin(), record.cend(), out.room(size_t(record.size())));
    out.commit(size_t(record.size()));
}

void CsvRecordWriter::appendQuoted(Buffer& out, const char* value, size_t size, bool first) const
{
    // Worst case: every byte a quote (doubled) plus the separator and the two delimiters.
    char* const start = out.room(size * 2 + 3);
    char* at = start;
    if (!first)
        *at++ = m_separator;
    at = writeQuoted(at, value, size);
    out.commit(size_t(at - start));
}

char* CsvRecordWriter::writeQuoted(char* at, const char* value, size_t size)
{
    *at++ = '"';
    if (size <= ShortValue) { // most values: a byte loop costs less than the calls
        for (size_t i = 0; i < size; ++i) {
            *at++ = value[i];
            if (value[i] == '"')
                *at++ = '"';
        }
    } else if (!std::memchr(value, '"', size)) { // the usual long value: copied whole
        std::memcpy(at, value, size);
        at += size;
    } else {
        for (size_t i = 0; i < size; ++i) {
            *at++ = value[i];
            if (value[i] == '"')
                *at++ = '"';
        }
    }
    *at++ = '"';
    return at;
}

void CsvRecordWriter::endRecord(Buffer& out) const
{
    *out.room(1) = '\n';
    out.commit(1);
}

QByteArray CsvRecordWriter::quotedRecord(const QList<QByteArray>& values) const
{
    QByteArray line;
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            line += m_separator;
        line += quoted(values.at(i));
    }
    line += '\n';
    return line;
}

QByteArray CsvRecordWriter::bareRecord(const QByteArray& value) const
{
    const bool needsQuotes = value.contains(m_separator) || value.contains('\r') || value.contains('\n');
    return (needsQuotes ? quoted(value) : value) + '\n';
}
