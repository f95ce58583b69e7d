#include "CsvRecordReader.h"

#include <QtEndian>
#include <QtGlobal>

#include <cstring>

namespace {

const char Quote = '"';

// The first quote at or after at, or end: eight bytes at a time, the way
// through a value being its one search.
const char* findQuote(const char* at, const char* end)
{
    const quint64 ones = 0x0101010101010101ULL;
    const quint64 quotes = ones * quint64(uchar(Quote));
    while (end - at >= 8) {
        quint64 word;
        std::memcpy(&word, at, sizeof word);
        word = qFromLittleEndian(word) ^ quotes; // a quote is a zero byte now
        // Exact for the lowest zero byte (a borrow only marks the bytes above one).
        const quint64 zeros = (word - ones) & ~word & (ones << 7);
        if (zeros != 0)
            return at + (qCountTrailingZeroBits(zeros) >> 3);
        at += 8;
    }
    while (at < end && *at != Quote)
        ++at;
    return at;
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

} // namespace

bool CsvRecordReader::parse(const QByteArray& bytes, int from, const RecordSink& sink) const
{
    const char* at = bytes.constData() + qBound(0, from, bytes.size());
    const char* const end = bytes.constData() + bytes.size();
    const char separator = m_separator;
    CsvRecord record;
    while (at < end) {
        if (isLineEnd(*at)) { // a blank line, or the LF of a CR LF
            ++at;
            continue;
        }
        record.clear();
        for (;;) { // at the start of a value
            if (at < end && *at == Quote) {
                const char* const inside = ++at;
                bool doubled = false;
                for (;;) {
                    at = findQuote(at, end);
                    if (at == end)
                        return false; // left open
                    ++at;
                    if (at < end && *at == Quote) {
                        doubled = true;
                        ++at;
                        continue;
                    }
                    break;
                }
                const int length = int(at - 1 - inside);
                if (doubled)
                    record.appendUndoubled(inside, length, Quote);
                else
                    record.appendView(inside, length);
                if (at < end && *at == separator) {
                    ++at;
                    continue;
                }
                if (at < end && !isLineEnd(*at))
                    return false; // something after the closing quote
                break;
            }
            const char* const begin = at;
            while (at < end && *at != separator && !isLineEnd(*at)) {
                if (*at == Quote)
                    return false; // a quote inside a value not quoted
                ++at;
            }
            record.appendView(begin, int(at - begin));
            if (at < end && *at == separator) {
                ++at;
                continue;
            }
            break;
        }
        if (!sink(record))
            return true;
    }
    return true;
}
