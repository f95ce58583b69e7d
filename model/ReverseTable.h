#pragma once

#include <cstdint>
#include <vector>

// Maps each UTF-16 code unit to the lowest byte whose table entry equals it,
// or -1 when no byte does. Built once from a 256-entry byte-to-character table.
class ReverseTable
{
public:
    explicit ReverseTable(const char16_t (&table)[256])
        : m_bytes(65536, -1)
    {
        // Walking down leaves the lowest byte for characters that several bytes share.
        for (int byte = 255; byte >= 0; --byte)
            m_bytes[table[byte]] = int16_t(byte);
    }

    int byteFor(char16_t unit) const { return m_bytes[unit]; }

private:
    std::vector<int16_t> m_bytes;
};
