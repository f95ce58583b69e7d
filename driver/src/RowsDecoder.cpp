#include "RowsDecoder.h"

#include "HexBytes.h"
#include "RegisterCharsets.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace tillo_emulator {

namespace {

class Cursor
{
public:
    Cursor(const char* begin, const char* end) : m_at(begin), m_end(end) {}

    bool atEnd()
    {
        blanks();
        return m_at == m_end;
    }

    bool take(char c)
    {
        blanks();
        if (m_at == m_end || *m_at != c)
            return false;
        ++m_at;
        return true;
    }

    // The next character after blanks, or '\0' at the end.
    char next()
    {
        blanks();
        return m_at == m_end ? '\0' : *m_at;
    }

    // The four letters of "null" after next() found its 'n'.
    bool null()
    {
        if (m_end - m_at < 4 || std::memcmp(m_at, "null", 4) != 0)
            return false;
        m_at += 4;
        return true;
    }

    // Exactly these n characters, no blank before them.
    bool literal(const char* text, size_t n)
    {
        if (size_t(m_end - m_at) < n || std::memcmp(m_at, text, n) != 0)
            return false;
        m_at += n;
        return true;
    }

    // A string without escapes or control characters.
    bool string(const char*& begin, const char*& end)
    {
        if (!take('"'))
            return false;
        begin = m_at;
        while (m_at != m_end && !stopsString(*m_at))
            ++m_at;
        if (m_at == m_end || *m_at != '"')
            return false;
        end = m_at++;
        return true;
    }

    // Decimal digits without a sign, fraction or leading zero: what a number
    // of up to 19 digits is read as.
    bool digits(const char*& begin, const char*& end)
    {
        blanks();
        begin = m_at;
        while (m_at != m_end && *m_at >= '0' && *m_at <= '9')
            ++m_at;
        end = m_at;
        const size_t n = size_t(end - begin);
        return n > 0 && n <= 19 && !(n > 1 && *begin == '0') &&
               (m_at == m_end || (*m_at != '.' && *m_at != 'e' && *m_at != 'E'));
    }

private:
    void blanks()
    {
        if (m_at != m_end && static_cast<unsigned char>(*m_at) > ' ')
            return; // the usual case: no blank at all
        while (m_at != m_end && (*m_at == ' ' || *m_at == '\t' || *m_at == '\r' || *m_at == '\n'))
            ++m_at;
    }

    // A quote, a backslash or a control character.
    static bool stopsString(char c)
    {
        static const auto stops = [] {
            std::array<bool, 256> table{};
            for (int i = 0; i < 0x20; ++i)
                table[size_t(i)] = true;
            table[size_t('"')] = table[size_t('\\')] = true;
            return table;
        }();
        return stops[static_cast<unsigned char>(c)];
    }

    const char* m_at;
    const char* m_end;
};

// Hex bytes into at most `room` bytes at `out`; the number of bytes, or false.
bool hexBytes(const char* begin, const char* end, uint8_t* out, size_t room, size_t& count)
{
    count = 0;
    return forEachHexByte(begin, end, [&](uint8_t byte) {
        if (count == room)
            return false;
        out[count++] = byte;
        return true;
    });
}

// Up to 19 decimal digits, as Cursor::digits takes them.
uint64_t decimal(const char* begin, const char* end)
{
    uint64_t value = 0;
    for (const char* p = begin; p != end; ++p)
        value = value * 10 + uint64_t(*p - '0');
    return value;
}

bool isDigit(char d) { return d >= '0' && d <= '9'; }

// One cell into its field's bytes at `out`, which hold zeros: as
// RegisterImage's typed forms give them. False for anything not of the usual
// forms or not fitting.
bool cell(Cursor& c, const RegisterTable::Field& field, uint8_t* out)
{
    const char* begin = nullptr;
    const char* end = nullptr;
    const char first = c.next();
    if (first == 'n')
        return c.null();
    if (first == '"') {
        size_t count = 0;
        return c.string(begin, end) && hexBytes(begin, end, out, field.width, count);
    }
    if (!c.take('{'))
        return false;
    std::string_view key; // "text", "uint" or "bcd"
    // The key as an image usually writes it, without blanks; else as JSON allows.
    if (c.literal("\"bcd\":", 6))
        key = "bcd";
    else if (c.literal("\"uint\":", 7))
        key = "uint";
    else if (c.literal("\"text\":", 7))
        key = "text";
    else if (c.string(begin, end) && c.take(':'))
        key = std::string_view(begin, size_t(end - begin));
    else
        return false;
    bool ok = false;
    if (key == "text") {
        ok = c.string(begin, end);
        if (ok) {
            const std::string_view text(begin, size_t(end - begin));
            size_t count = 0;
            if (field.text) {
                count = RegisterCharsets::encodeInternal(text, out, field.width);
            } else {
                count = std::min(text.size(), field.width + 1);
                std::memcpy(out, text.data(), std::min(count, field.width));
            }
            ok = count <= field.width;
            if (ok)
                std::fill(out + count, out + field.width, field.fill);
        }
    } else if (key == "uint") {
        ok = c.digits(begin, end);
        if (ok) {
            uint64_t value = decimal(begin, end);
            for (size_t i = field.width; i-- > 0; value >>= 8)
                out[i] = uint8_t(value & 0xFF);
            ok = value == 0;
        }
    } else if (key == "bcd") {
        ok = (c.next() == '"' ? c.string(begin, end) : c.digits(begin, end)) && begin != end &&
             std::all_of(begin, end, isDigit) && size_t(end - begin) <= field.width * 2;
        if (ok) {
            size_t nibble = 0;
            for (const char* d = end; d-- != begin; ++nibble) {
                uint8_t& b = out[field.width - 1 - nibble / 2];
                b |= (nibble % 2) ? uint8_t((*d - '0') << 4) : uint8_t(*d - '0');
            }
        }
    }
    return ok && c.take('}');
}

// The cells of one row after its '[' into `row`, up to and with its ']'.
bool rowCells(Cursor& c, const RegisterTable& table, uint8_t* row)
{
    if (c.take(']'))
        return true;
    size_t field = 0;
    do {
        if (field == table.fields.size() || !cell(c, table.fields[field], row + table.fields[field].offset))
            return false;
        ++field;
    } while (c.take(','));
    return c.take(']');
}

} // namespace

bool RowsDecoder::decode(const char* begin, const char* end, RegisterTable& table)
{
    Cursor c(begin, end);
    std::vector<uint8_t> bytes;
    size_t rows = 0;
    // Room for as many rows as the text could hold at its tersest (three
    // characters a cell, as in ""): address space only, so that the rows are
    // written once and never moved.
    const size_t tersestRow = 3 * std::max<size_t>(table.fields.size(), 1);
    bytes.reserve(size_t(end - begin) / tersestRow * table.rowWidth);
    if (!c.take('['))
        return false;
    if (!c.take(']')) {
        do {
            if (!c.take('['))
                return false;
            bytes.resize(bytes.size() + table.rowWidth, 0);
            uint8_t* row = bytes.data() + rows * table.rowWidth;
            ++rows;
            if (!rowCells(c, table, row))
                return false;
        } while (c.take(','));
        if (!c.take(']'))
            return false;
    }
    if (!c.atEnd())
        return false;
    table.bytes = std::move(bytes);
    table.rowCount = rows;
    return true;
}

bool RowsDecoder::decodeRow(const char* begin, const char* end, const RegisterTable& table, uint8_t* row)
{
    Cursor c(begin, end);
    std::fill(row, row + table.rowWidth, uint8_t(0));
    return c.take('[') && rowCells(c, table, row) && c.atEnd();
}

} // namespace tillo_emulator
