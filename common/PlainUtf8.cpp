#include "PlainUtf8.h"

#include <QtEndian>
#include <QtGlobal>

#include <cstring>

bool PlainUtf8::check(const char* begin, const char* end)
{
    const auto* p = reinterpret_cast<const uchar*>(begin);
    const auto* last = reinterpret_cast<const uchar*>(end);
    constexpr quint64 high = 0x8080808080808080ULL;
    const auto zeroByte = [](quint64 word) { return (word - 0x0101010101010101ULL) & ~word & high; };
    while (p < last) {
        // Eight bytes at a time while they are ASCII other than NUL.
        if (last - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, sizeof word);
            if (((word & high) | zeroByte(word)) == 0) {
                p += 8;
                continue;
            }
            // Four two-byte letters (a run of Cyrillic) at a time: each lead
            // byte 110xxxxx but not C0 or C1, each following byte 10xxxxxx.
            const quint64 pairs = qFromLittleEndian(word);
            const quint64 leadBits = pairs & 0x001E001E001E001EULL;
            const quint64 lanes = 0x0001000100010001ULL;
            if ((pairs & 0xC0E0C0E0C0E0C0E0ULL) == 0x80C080C080C080C0ULL
                && ((leadBits - lanes) & ~leadBits & 0x8000800080008000ULL) == 0) {
                p += 8;
                continue;
            }
        }
        const uchar c = *p;
        if (c >= 0x01 && c < 0x80) {
            ++p;
            continue;
        }
        // Two bytes (Cyrillic among them): never overlong, a surrogate or beyond U+10FFFF.
        if (c >= 0xC2 && c <= 0xDF) {
            if (last - p < 2 || (p[1] & 0xC0) != 0x80)
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
            if ((p[i] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and code points beyond U+10FFFF.
        const bool overlong = (follow == 2 && code < 0x800) || (follow == 3 && code < 0x10000);
        const bool surrogate = follow == 2 && code >= 0xD800 && code <= 0xDFFF;
        if (overlong || surrogate || code > 0x10FFFF)
            return false;
        p += follow + 1;
    }
    return true;
}
