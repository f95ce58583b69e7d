#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>

// A whole number as the stored cell texts write it: decimal digits only, no
// sign, blank or point. Reads it without copying the text.
class WholeNumber
{
public:
    // The number of the digits from begin to end, when it is at most `most`;
    // nothing for an empty text, any other character, or a larger number.
    static std::optional<uint64_t> read(const char* begin, const char* end, uint64_t most = UINT64_MAX)
    {
        if (begin == end)
            return std::nullopt;
        uint64_t value = 0;
        // Nineteen digits never overflow 64 bits: the limit is looked at once, at the end.
        if (end - begin <= 19) {
            for (const char* p = begin; p != end; ++p) {
                if (*p < '0' || *p > '9')
                    return std::nullopt;
                value = value * 10 + unsigned(*p - '0');
            }
            return value <= most ? std::optional<uint64_t>(value) : std::nullopt;
        }
        for (const char* p = begin; p != end; ++p) {
            if (*p < '0' || *p > '9')
                return std::nullopt;
            const unsigned digit = unsigned(*p - '0');
            if (digit > most || value > (most - digit) / 10)
                return std::nullopt;
            value = value * 10 + digit;
        }
        return value;
    }

    static std::optional<uint64_t> read(const QByteArray& text, uint64_t most = UINT64_MAX)
    {
        return read(text.constData(), text.constData() + text.size(), most);
    }

    // The same with blanks around the digits allowed (those QByteArray::trimmed() removes).
    static std::optional<uint64_t> readTrimmed(const QByteArray& text, uint64_t most = UINT64_MAX)
    {
        const char* begin = text.constData();
        const char* end = begin + text.size();
        trim(begin, end);
        return read(begin, end, most);
    }

    static void trim(const char*& begin, const char*& end)
    {
        while (begin != end && isBlank(*begin))
            ++begin;
        while (end != begin && isBlank(end[-1]))
            --end;
    }

private:
    static bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
};
