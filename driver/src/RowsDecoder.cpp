#include "RowsDecoder.h"

#include "RegisterImage.h"

#include <algorithm>
#include <array>
#include <cctype>
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

    bool peek(char c)
    {
        blanks();
        return m_at != m_end && *m_at == c;
    }

    bool word(const char* text)
    {
        blanks();
        const size_t n = std::strlen(text);
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
        while (m_at != m_end && *m_at != '"') {
            if (*m_at == '\\' || static_cast<unsigned char>(*m_at) < 0x20)
                return false;
            ++m_at;
        }
        if (m_at == m_end)
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
        while (m_at != m_end && (*m_at == ' ' || *m_at == '\t' || *m_at == '\r' || *m_at == '\n'))
            ++m_at;
    }

    const char* m_at;
    const char* m_end;
};

bool isHexText(const char* begin, const char* end)
{
    for (const char* p = begin; p != end; ++p) {
        if (!std::isxdigit(static_cast<unsigned char>(*p)) && *p != ' ' && *p != ':' && *p != '-')
            return false;
    }
    return true;
}

// Up to 19 decimal digits, as Cursor::digits takes them.
uint64_t decimal(const char* begin, const char* end)
{
    uint64_t value = 0;
    for (const char* p = begin; p != end; ++p)
        value = value * 10 + uint64_t(*p - '0');
    return value;
}

// One cell into `bytes`; false for anything not of the usual forms or not fitting.
bool cell(Cursor& c, const RegisterTable::Field& field, std::vector<uint8_t>& bytes)
{
    const char* begin = nullptr;
    const char* end = nullptr;
    if (c.word("null")) {
        bytes.clear();
        return true;
    }
    if (c.peek('"'))
        return c.string(begin, end) && isHexText(begin, end) &&
               RegisterImage::fromHex(std::string(begin, end), bytes) && bytes.size() <= field.width;
    if (!c.take('{') || !c.string(begin, end) || !c.take(':'))
        return false;
    const std::string_view key(begin, size_t(end - begin));
    bool ok = false;
    if (key == "text") {
        ok = c.string(begin, end);
        if (ok)
            RegisterImage::textBytes(std::string_view(begin, size_t(end - begin)), field, bytes);
    } else if (key == "uint") {
        ok = c.digits(begin, end) && RegisterImage::uintBytes(decimal(begin, end), field, bytes);
    } else if (key == "bcd") {
        ok = (c.peek('"') ? c.string(begin, end) : c.digits(begin, end)) && begin != end &&
             std::all_of(begin, end, [](char d) { return d >= '0' && d <= '9'; }) &&
             RegisterImage::bcdBytes(std::string_view(begin, size_t(end - begin)), field, bytes);
    }
    return ok && bytes.size() <= field.width && c.take('}');
}

// The cells of one row after its '[' into `row`, up to and with its ']'.
bool rowCells(Cursor& c, const RegisterTable& table, uint8_t* row, std::vector<uint8_t>& cellBytes)
{
    if (c.take(']'))
        return true;
    size_t field = 0;
    do {
        if (field == table.fields.size() || !cell(c, table.fields[field], cellBytes))
            return false;
        std::copy(cellBytes.begin(), cellBytes.end(), row + table.fields[field].offset);
        ++field;
    } while (c.take(','));
    return c.take(']');
}

// Past the JSON string that starts at `at` (its opening quote); null when it is not closed.
const char* pastString(const char* at, const char* end)
{
    for (const char* p = at + 1; p < end;) {
        const auto* quote = static_cast<const char*>(std::memchr(p, '"', size_t(end - p)));
        if (!quote)
            return nullptr;
        size_t backslashes = 0;
        for (const char* b = quote; b > at + 1 && b[-1] == '\\'; --b)
            ++backslashes;
        if (backslashes % 2 == 0)
            return quote + 1;
        p = quote + 1;
    }
    return nullptr;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

bool RowsDecoder::decode(const char* begin, const char* end, RegisterTable& table)
{
    Cursor c(begin, end);
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> cellBytes;
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
            if (!rowCells(c, table, row, cellBytes))
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

bool RowsDecoder::findRows(const char* begin, const char* end, std::vector<std::pair<size_t, size_t>>& rows)
{
    rows.clear();
    const char* p = begin;
    while (p < end && isBlank(*p))
        ++p;
    if (p == end || *p != '[')
        return false;
    ++p;
    int depth = 1;       // of brackets and braces
    bool inRow = false;  // between a row's '[' and its ']'
    const char* rowStart = nullptr;
    // Inside a row only strings, brackets and braces matter.
    static const auto matters = [] {
        std::array<bool, 256> table{};
        for (const unsigned char c : {'"', '[', ']', '{', '}'})
            table[c] = true;
        return table;
    }();
    while (p < end && depth > 0) {
        if (depth > 1) {
            while (p < end && !matters[static_cast<unsigned char>(*p)])
                ++p;
            if (p == end)
                break;
        }
        const char ch = *p;
        if (ch == '"') {
            if (depth == 1)
                return false; // a row that is not an array
            p = pastString(p, end);
            if (!p)
                return false;
            continue;
        }
        if (ch == '[' || ch == '{') {
            if (depth == 1) {
                if (ch != '[')
                    return false;
                inRow = true;
                rowStart = p;
            }
            ++depth;
        } else if (ch == ']' || ch == '}') {
            --depth;
            if (depth == 1 && inRow) {
                rows.emplace_back(size_t(rowStart - begin), size_t(p + 1 - begin));
                inRow = false;
            }
        } else if (depth == 1 && ch != ',' && !isBlank(ch)) {
            return false;
        }
        ++p;
    }
    if (depth != 0)
        return false;
    while (p < end && isBlank(*p))
        ++p;
    return p == end;
}

bool RowsDecoder::decodeRow(const char* begin, const char* end, const RegisterTable& table, uint8_t* row)
{
    Cursor c(begin, end);
    std::vector<uint8_t> cellBytes;
    std::fill(row, row + table.rowWidth, uint8_t(0));
    return c.take('[') && rowCells(c, table, row, cellBytes) && c.atEnd();
}

} // namespace tillo_emulator
