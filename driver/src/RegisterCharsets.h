#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tillo_emulator {

// The register's two single-byte Cyrillic character sets: the internal one in
// which it keeps text cells, and the external one (code page 866 with the
// register's own changes) in which text travels in whole-row reads and writes.
// Conversions go byte by byte through the two 256-entry tables; a character
// that the target set lacks becomes a space (0x20), except that a zero byte
// arriving in the external set stays zero (it pads a field whose fill code is 0).
class RegisterCharsets
{
public:
    static char16_t internalChar(uint8_t byte);
    static char16_t externalChar(uint8_t byte);

    static uint8_t internalToExternal(uint8_t byte);
    static uint8_t externalToInternal(uint8_t byte);
    // internalToExternal() of every byte, for converting many.
    static const uint8_t* internalToExternalTable();

    // Encodes UTF-8 text in the internal set (lowest byte for each character) into bytes.
    static void encodeInternal(std::string_view utf8, std::vector<uint8_t>& bytes);
    // The same into at most `room` bytes at `out`: the bytes written, or
    // room + 1 when the text has more characters than that.
    static size_t encodeInternal(std::string_view utf8, uint8_t* out, size_t room);

    // A text cell whose bytes begin with 0xFD holds a pair of numbers, FD a 00 b,
    // not text: it is stored as it arrives and given back as it is stored, in
    // cell and in row reads. 0xFD is a blank in both sets, which converts to
    // 0x20, so no converted text ever begins with it.
    static bool isNumberPair(const uint8_t* bytes, size_t size) { return size > 0 && bytes[0] == NumberPairMark; }
    static constexpr uint8_t NumberPairMark = 0xFD;
};

} // namespace tillo_emulator
