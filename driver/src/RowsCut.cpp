#include "RowsCut.h"

#include <cstring>
#include <utility>

namespace tillo_emulator {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

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
        size_t depth = 0;
        const char* const data = m_text.data();
        const size_t size = m_text.size();
        for (; m_at < size; ++m_at) {
            switch (data[m_at]) {
            case '[':
            case '{':
                ++depth;
                break;
            case ']':
            case '}':
                if (--depth == 0) {
                    ++m_at;
                    return true;
                }
                break;
            case '"':
                if (!skipString())
                    return false;
                --m_at;
                break;
            case '/': // a comment may hold anything
                return false;
            default:
                break;
            }
        }
        return false;
    }

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
                    if (!s.skipValue())
                        return false;
                    if (s.at() - start >= smallestCut)
                        pieces.push_back({index, start, s.at()});
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
