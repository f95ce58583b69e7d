#pragma once

#include <cstdint>

namespace tillo_emulator {

// The bytes an image gives as hex digits, two to a byte, with ' ', ':' or '-'
// between them ("00:1a:2b"): each byte handed to put, which returns false
// to stop (no room for it). False on any other character, on half a byte or
// when put stopped.
template <typename Put>
bool forEachHexByte(const char* begin, const char* end, Put put)
{
    int high = -1;
    for (const char* p = begin; p != end; ++p) {
        const char c = *p;
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c == ' ' || c == ':' || c == '-')
            continue;
        else
            return false;
        if (high < 0) {
            high = v;
        } else {
            if (!put(uint8_t(high << 4 | v)))
                return false;
            high = -1;
        }
    }
    return high < 0;
}

} // namespace tillo_emulator
