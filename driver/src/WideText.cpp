#include "WideText.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace tillo_emulator {

namespace {

constexpr char32_t Replacement = 0xFFFD;

bool isValidCodePoint(char32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

void appendUtf8(std::string& out, char32_t cp)
{
    if (!isValidCodePoint(cp))
        cp = Replacement;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

char32_t WideText::nextCodePoint(std::string_view utf8, size_t& i)
{
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    const unsigned char c = s[i];
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (c < 0x80) {
        ++i;
        return c;
    } else if ((c & 0xE0) == 0xC0) {
        extra = 1, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3, cp = c & 0x07, min = 0x10000;
    } else {
        ++i;
        return Replacement;
    }
    size_t j = 1;
    for (; j <= size_t(extra); ++j) {
        if (i + j >= n || (s[i + j] & 0xC0) != 0x80)
            break;
        cp = (cp << 6) | (s[i + j] & 0x3F);
    }
    const bool truncated = j <= size_t(extra);
    i += j;
    return truncated || cp < min || !isValidCodePoint(cp) ? Replacement : cp;
}

std::u32string WideText::utf8ToCodePoints(std::string_view utf8)
{
    std::u32string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();)
        out += nextCodePoint(utf8, i);
    return out;
}

std::string WideText::toUtf8(const wchar_t* text)
{
    std::string out;
    if (!text)
        return out;
    for (; *text; ++text)
        appendUtf8(out, char32_t(*text));
    return out;
}

std::wstring WideText::fromUtf8(const std::string& utf8)
{
    std::wstring out;
    for (char32_t cp : utf8ToCodePoints(utf8))
        out += wchar_t(cp);
    return out;
}

int WideText::copyText(const std::wstring& text, wchar_t* buffer, int size)
{
    if (buffer && size > 0) {
        const size_t n = std::min(text.size(), size_t(size - 1));
        std::wmemcpy(buffer, text.data(), n);
        buffer[n] = L'\0';
    }
    return int(text.size()) + 1;
}

int WideText::copyBytes(const std::vector<uint8_t>& bytes, unsigned char* buffer, int size)
{
    if (buffer && size > 0 && !bytes.empty())
        std::memcpy(buffer, bytes.data(), std::min(bytes.size(), size_t(size)));
    return int(bytes.size());
}

} // namespace tillo_emulator
