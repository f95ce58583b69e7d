#include "PrintableText.h"

#include <QtEndian>
#include <QtGlobal>

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

#ifdef __SSE2__
// How many of the 16 bytes from p on are whole characters of printable ASCII,
// line ends, tabs and two-byte letters from C3 on (Cyrillic among them): a
// lead byte whose follower lies past them is not counted.
int printableRun(const uchar* p)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const auto mask = [](__m128i lanes) { return unsigned(_mm_movemask_epi8(lanes)); };
    // Signed compares: the bytes from 0x80 on are below zero.
    const __m128i ascii = _mm_or_si128(_mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1F)),
                                                     _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x7F))),
                                       _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')),
                                                    _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t'))));
    const __m128i follows = _mm_cmplt_epi8(bytes, _mm_set1_epi8(char(0xC0)));
    const __m128i leads = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(char(0xC2))),
                                        _mm_cmplt_epi8(bytes, _mm_set1_epi8(char(0xE0))));
    const unsigned known = mask(_mm_or_si128(ascii, _mm_or_si128(follows, leads)));
    const unsigned leadBits = mask(leads);
    // A byte of none of the kinds, or a following byte where no lead byte is
    // just before it, or none where one is.
    const unsigned wrong = (~known | (mask(follows) ^ (leadBits << 1))) & 0xFFFFu;
    int whole = wrong == 0 ? 16 : int(qCountTrailingZeroBits(wrong));
    if (whole > 0 && ((leadBits >> (whole - 1)) & 1u) != 0)
        --whole;
    return whole;
}
#endif

} // namespace

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
    const quint64 ones = 0x0101010101010101ULL;
    const quint64 high = 0x8080808080808080ULL;
    while (p < last) {
#ifdef __SSE2__
        if (last - p >= 16) {
            if (const int run = printableRun(p)) {
                p += run;
                continue;
            }
        }
#endif
        if (last - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, sizeof word);
            word = qFromLittleEndian(word);
            // The bytes that are not printable ASCII (0x20 to 0x7E): the
            // lowest one marked is exact, a borrow only marks bytes above it.
            const quint64 below = (word - 0x20 * ones) & ~word & high;
            const quint64 del = word ^ (0x7F * ones);
            const quint64 isDel = (del - ones) & ~del & high;
            const quint64 other = (word & high) | below | isDel;
            if (other == 0) {
                p += 8;
                continue;
            }
            p += qCountTrailingZeroBits(other) >> 3;
            // Four two-byte letters at a time (a run of Cyrillic): each lead
            // byte 110xxxxx from C3 on (C2 leads the C1 controls, C0 and C1
            // are overlong), each following byte 10xxxxxx.
            while (last - p >= 8) {
                quint64 pairs;
                std::memcpy(&pairs, p, sizeof pairs);
                pairs = qFromLittleEndian(pairs);
                const quint64 leadBits = pairs & 0x001F001F001F001FULL;
                const quint64 fromC3 = (leadBits + 0x7FFD7FFD7FFD7FFDULL) & 0x8000800080008000ULL;
                if ((pairs & 0xC0E0C0E0C0E0C0E0ULL) != 0x80C080C080C080C0ULL || fromC3 != 0x8000800080008000ULL)
                    break;
                p += 8;
            }
            if (p == last)
                break;
        }
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
