#include "HtmlText.h"

#include "common/PrintableText.h"

QString HtmlText::of(const QString& text)
{
    const QString printable = PrintableText::of(text);
    QString result;
    result.reserve(printable.size() + printable.size() / 8);
    for (int i = 0; i < printable.size(); ++i) {
        const QChar c = printable.at(i);
        switch (c.unicode()) {
        case '&':
            result += QLatin1String("&amp;");
            break;
        case '<':
            result += QLatin1String("&lt;");
            break;
        case '>':
            result += QLatin1String("&gt;");
            break;
        case '"':
            result += QLatin1String("&quot;");
            break;
        case '\'':
            result += QLatin1String("&#39;");
            break;
        default:
            if (c.isHighSurrogate() && i + 1 < printable.size() && printable.at(i + 1).isLowSurrogate()) {
                result += c;
                result += printable.at(++i);
            } else if (c.isSurrogate() || c.unicode() >= 0xFFFE) {
                // A lone half of a pair, and U+FFFE and U+FFFF, are no characters of a document.
                result += QChar(0xFFFD);
            } else {
                result += c;
            }
        }
    }
    return result;
}
