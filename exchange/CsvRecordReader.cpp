#include "CsvRecordReader.h"

namespace {

const char Quote = '"';

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
                    // Values are short: a plain loop beats a call to memchr.
                    while (at < end && *at != Quote)
                        ++at;
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
