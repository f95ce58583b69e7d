#include "RowsCut.h"

#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tillo_emulator {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Where the JSON array or object that starts at `at` ends (past its closing
// bracket), its strings skipped; npos when it does not end or a comment
// stands outside its strings (a comment may hold anything).
class NestedEnd
{
public:
    // With `rows`, where each value directly inside it lies (from its opening
    // bracket to past its closing one) goes there, and `rowsBroken` is set when
    // one of them is an object.
    NestedEnd(const char* data, size_t size, RowsCut::Rows* rows = nullptr) : m_data(data), m_size(size), m_rows(rows)
    {
    }

    bool rowsBroken() const { return m_rowsBroken; }

    size_t from(size_t at)
    {
        size_t i = at;
#if defined(__SSE2__)
        // Sixty-four bytes at a time while they hold no backslash or slash:
        // the quotes give the bytes inside strings, and only the brackets
        // outside them are looked at one by one.
        for (; i + 64 <= m_size; i += 64) {
            const Masks m = masksOf(m_data + i);
            if (m.rare != 0 || m_escaped) {
                for (size_t k = i; k < i + 64; ++k) {
                    if (byte(k))
                        return k + 1;
                    if (m_failed)
                        return std::string_view::npos;
                }
                continue;
            }
            uint64_t inside = m.quote;
            for (int shift = 1; shift < 64; shift *= 2)
                inside ^= inside << shift;
            if (m_inString)
                inside = ~inside;
            uint64_t marks = (m.open | m.close) & ~inside;
            for (; marks != 0; marks &= marks - 1) {
                const int k = __builtin_ctzll(marks);
                if (m.open & (uint64_t(1) << k))
                    open(i + size_t(k));
                else if (close(i + size_t(k)))
                    return i + size_t(k) + 1;
            }
            m_inString = (inside >> 63) != 0;
        }
#endif
        for (; i < m_size; ++i) {
            if (byte(i))
                return i + 1;
            if (m_failed)
                return std::string_view::npos;
        }
        return std::string_view::npos;
    }

private:
    void open(size_t at)
    {
        if (++m_depth == 2 && m_rows) {
            m_rowsBroken = m_rowsBroken || m_data[at] != '[';
            m_rowOpen = at;
        }
    }

    // True when it closes the value.
    bool close(size_t at)
    {
        if (--m_depth == 0)
            return true;
        if (m_depth == 1 && m_rows)
            m_rows->emplace_back(m_rowOpen, at + 1);
        return false;
    }

    // The byte at `at`: true when it closes the value.
    bool byte(size_t at)
    {
        const char c = m_data[at];
        if (m_inString) {
            if (m_escaped)
                m_escaped = false;
            else if (c == '\\')
                m_escaped = true;
            else if (c == '"')
                m_inString = false;
            return false;
        }
        switch (c) {
        case '[':
        case '{':
            open(at);
            return false;
        case ']':
        case '}':
            return close(at);
        case '"':
            m_inString = true;
            return false;
        case '/':
            m_failed = true;
            return false;
        default:
            return false;
        }
    }

#if defined(__SSE2__)
    struct Masks
    {
        uint64_t quote = 0, rare = 0, open = 0, close = 0;
    };

    static Masks masksOf(const char* block)
    {
        Masks m;
        for (int part = 0; part < 4; ++part) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * part));
            // '[' and '{' (and ']' and '}') differ in the bit 0x20 alone.
            const __m128i folded = _mm_or_si128(b, _mm_set1_epi8(0x20));
            const auto mask = [](__m128i bytes, char c) {
                return uint64_t(uint16_t(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)))));
            };
            const int shift = 16 * part;
            m.quote |= mask(b, '"') << shift;
            m.rare |= (mask(b, '\\') | mask(b, '/')) << shift;
            m.open |= mask(folded, '{') << shift;
            m.close |= mask(folded, '}') << shift;
        }
        return m;
    }
#endif

    const char* m_data;
    size_t m_size;
    size_t m_depth = 0;
    bool m_inString = false;
    bool m_escaped = false;
    bool m_failed = false;
    RowsCut::Rows* m_rows;
    bool m_rowsBroken = false;
    size_t m_rowOpen = 0;
};

size_t nestedEnd(const char* data, size_t size, size_t at) { return NestedEnd(data, size).from(at); }

// Whether `text`, a JSON value whose values inside lie at `rows`, is an array
// of arrays: nothing but blanks and commas between its rows.
bool arrayOfRows(std::string_view text, const RowsCut::Rows& rows)
{
    if (text.size() < 2 || text.front() != '[' || text.back() != ']')
        return false;
    const auto gap = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            if (!isBlank(text[i]) && text[i] != ',')
                return false;
        }
        return true;
    };
    size_t from = 1;
    for (const auto& [begin, end] : rows) {
        if (!gap(from, begin))
            return false;
        from = end;
    }
    return gap(from, text.size() - 1);
}

// A cursor over JSON text that can skip whole values; every method returns
// false on what it does not expect.
class Scanner
{
public:
    explicit Scanner(std::string_view text) : m_text(text) {}

    size_t at() const { return m_at; }

    void skipBlanks()
    {
        while (m_at < m_text.size() && isBlank(m_text[m_at]))
            ++m_at;
    }

    bool take(char c)
    {
        skipBlanks();
        if (m_at >= m_text.size() || m_text[m_at] != c)
            return false;
        ++m_at;
        return true;
    }

    bool peek(char c)
    {
        skipBlanks();
        return m_at < m_text.size() && m_text[m_at] == c;
    }

    // A key without escapes.
    bool key(std::string& name)
    {
        if (!peek('"'))
            return false;
        const size_t start = m_at + 1;
        if (!skipString())
            return false;
        name.assign(m_text.substr(start, m_at - 1 - start));
        return name.find('\\') == std::string::npos && take(':');
    }

    bool skipValue()
    {
        skipBlanks();
        if (m_at >= m_text.size())
            return false;
        const char c = m_text[m_at];
        if (c == '"')
            return skipString();
        if (c == '[' || c == '{')
            return skipNested();
        const size_t start = m_at;
        while (m_at < m_text.size() && !std::strchr(",]} \t\r\n/", m_text[m_at]))
            ++m_at;
        return m_at > start && (m_at == m_text.size() || m_text[m_at] != '/');
    }

    // A value that is to be an array of rows: where its rows lie (from the
    // value's start) and whether it is one, as RowsCut::Piece gives them.
    bool skipRows(RowsCut::Rows& rows, bool& found)
    {
        rows.clear();
        found = false;
        skipBlanks();
        if (m_at >= m_text.size() || m_text[m_at] != '[')
            return skipValue();
        const size_t start = m_at;
        NestedEnd scan(m_text.data(), m_text.size(), &rows);
        const size_t end = scan.from(m_at);
        if (end == std::string_view::npos)
            return false;
        m_at = end;
        for (auto& [begin, rowEnd] : rows) {
            begin -= start;
            rowEnd -= start;
        }
        found = !scan.rowsBroken() && arrayOfRows(m_text.substr(start, end - start), rows);
        return true;
    }

private:
    bool skipString()
    {
        const char* const data = m_text.data();
        for (++m_at; m_at < m_text.size();) {
            const void* quote = std::memchr(data + m_at, '"', m_text.size() - m_at);
            if (!quote)
                return false;
            const size_t at = size_t(static_cast<const char*>(quote) - data);
            size_t backslashes = 0;
            while (at - backslashes > m_at && data[at - backslashes - 1] == '\\')
                ++backslashes;
            m_at = at + 1;
            if (backslashes % 2 == 0)
                return true; // not escaped
        }
        return false;
    }

    bool skipNested()
    {
        const size_t end = nestedEnd(m_text.data(), m_text.size(), m_at);
        if (end == std::string_view::npos)
            return false;
        m_at = end;
        return true;
    }

private:
    std::string_view m_text;
    size_t m_at = 0;
};

// Calls member(name) for each member of the object at the cursor, which leaves
// the cursor past the member's value.
template <typename Member>
bool eachMember(Scanner& s, Member member)
{
    if (!s.take('{'))
        return false;
    if (s.take('}'))
        return true;
    do {
        std::string name;
        if (!s.key(name) || !member(name))
            return false;
    } while (s.take(','));
    return s.take('}');
}

} // namespace

bool RowsCut::cut(std::string_view content, size_t smallestCut, std::string& rest, std::vector<Piece>& pieces)
{
    rest.clear();
    pieces.clear();
    Scanner s(content);
    bool tablesSeen = false;
    const bool whole = eachMember(s, [&](const std::string& name) {
        if (name != "tables")
            return s.skipValue();
        if (tablesSeen)
            return false;
        tablesSeen = true;
        if (!s.take('['))
            return s.skipValue();
        if (s.take(']'))
            return true;
        unsigned index = 0;
        do {
            if (!s.peek('{')) {
                if (!s.skipValue())
                    return false;
            } else {
                bool rowsSeen = false;
                const bool table = eachMember(s, [&](const std::string& key) {
                    if (key != "rows")
                        return s.skipValue();
                    if (rowsSeen)
                        return false;
                    rowsSeen = true;
                    s.skipBlanks();
                    const size_t start = s.at();
                    Rows rows;
                    bool found = false;
                    if (!s.skipRows(rows, found))
                        return false;
                    if (s.at() - start >= smallestCut)
                        pieces.push_back({index, start, s.at(), std::move(rows), found});
                    return true;
                });
                if (!table)
                    return false;
            }
            ++index;
        } while (s.take(','));
        return s.take(']');
    });
    if (!whole || pieces.empty()) {
        pieces.clear();
        return false;
    }
    size_t from = 0;
    for (const Piece& piece : pieces) {
        rest.append(content.substr(from, piece.begin - from));
        rest += "[]";
        from = piece.end;
    }
    rest.append(content.substr(from));
    return true;
}

} // namespace tillo_emulator
