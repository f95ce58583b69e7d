#include "PrintableText.h"

#include <cstring>

QString PrintableText::of(const QString& text)
{
    QString result;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\n') && c != QLatin1Char('\t'))
            result += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            result += c;
    }
    return result;
}

bool PrintableText::isPrintable(const char* begin, const char* end)
{
    const auto* p = reinterpret_cast<const uchar*>(begin);
    const auto* last = reinterpret_cast<const uchar*>(end);
    const auto continues = [](uchar c) { return (c & 0xC0) == 0x80; };
    while (p < last) {
        // Eight bytes at a time while they are printable ASCII (0x20 to 0x7E).
        while (last - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, sizeof word);
            const quint64 ones = 0x0101010101010101ULL;
            const quint64 high = 0x8080808080808080ULL;
            const quint64 below = (word - 0x20 * ones) & ~word & high;
            const quint64 del = word ^ (0x7F * ones);
            const quint64 isDel = (del - ones) & ~del & high;
            if ((word & high) | below | isDel)
                break;
            p += 8;
        }
        if (p == last)
            break;
        const uchar c = *p;
        if (c >= 0x20 && c < 0x7F) {
            ++p;
            continue;
        }
        if (c < 0x80) {
            if (c != '\n' && c != '\t')
                return false;
            ++p;
            continue;
        }
        // A character of UTF-8 as PlainUtf8 takes it (never overlong, a
        // surrogate or beyond U+10FFFF), checked and passed whole.
        if (c >= 0xC2 && c <= 0xDF) {
            // U+0080..U+009F are controls too.
            if (last - p < 2 || !continues(p[1]) || (c == 0xC2 && p[1] <= 0x9F))
                return false;
            p += 2;
            continue;
        }
        int follow = 0;
        uint code = 0;
        if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (last - p <= follow)
            return false;
        for (int i = 1; i <= follow; ++i) {
            if (!continues(p[i]))
                return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        const bool overlong = (follow == 2 && code < 0x800) || (follow == 3 && code < 0x10000);
        const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
        // U+FEFF is left to the conversion.
        if (overlong || surrogate || code > 0x10FFFF || code == 0xFEFF)
            return false;
        p += follow + 1;
    }
    return true;
}
