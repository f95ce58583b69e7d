#include "PrintableText.h"

#include "PlainUtf8.h"

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
    bool ascii = true;
    for (; p < last; ++p) {
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
        if (c >= 0x20 && c < 0x7F)
            continue;
        ascii = ascii && c < 0x80;
        if (c < 0x20 ? c != '\n' && c != '\t' : c == 0x7F)
            return false;
        // U+0080..U+009F are controls too; U+FEFF is left to the conversion.
        if (c == 0xC2 && p + 1 < last && p[1] >= 0x80 && p[1] <= 0x9F)
            return false;
        if (c == 0xEF && last - p >= 3 && p[1] == 0xBB && p[2] == 0xBF)
            return false;
    }
    return ascii || PlainUtf8::check(begin, end);
}
