#include "PrintableText.h"

#include "PlainUtf8.h"

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
    for (; p < last; ++p) {
        const uchar c = *p;
        if (c >= 0x20 && c < 0x7F)
            continue;
        if (c < 0x20 ? c != '\n' && c != '\t' : c == 0x7F)
            return false;
        // U+0080..U+009F are controls too; U+FEFF is left to the conversion.
        if (c == 0xC2 && p + 1 < last && p[1] >= 0x80 && p[1] <= 0x9F)
            return false;
        if (c == 0xEF && last - p >= 3 && p[1] == 0xBB && p[2] == 0xBF)
            return false;
    }
    return PlainUtf8::check(begin, end);
}
