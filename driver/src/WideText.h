#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tillo_emulator {

// Conversions between UTF-8 and the wide-character texts of the C interface,
// and the fill-the-caller's-buffer rules of the getters.
class WideText
{
public:
    static std::u32string utf8ToCodePoints(std::string_view utf8);
    // The code point at `i` (below utf8.size()), `i` moved past it: a
    // sequence that is not UTF-8 gives U+FFFD.
    static char32_t nextCodePoint(std::string_view utf8, size_t& i);
    static std::string toUtf8(const wchar_t* text);
    static std::wstring fromUtf8(const std::string& utf8);

    // Copies as much of the text as fits (always NUL-terminated when size > 0)
    // and returns the wide characters the whole text needs, its NUL included.
    static int copyText(const std::wstring& text, wchar_t* buffer, int size);
    // Copies as many bytes as fit and returns the byte count of the value.
    static int copyBytes(const std::vector<uint8_t>& bytes, unsigned char* buffer, int size);
};

} // namespace tillo_emulator
