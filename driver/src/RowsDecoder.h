#pragma once

#include "RegisterTable.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace tillo_emulator {

// Decodes the JSON text of a table's "rows" straight into its bytes when the
// text holds only the usual forms: cells in hex, null, or one of {"text": s}
// (without escapes), {"uint": n}, {"bcd": n} and {"bcd": "digits"}, every
// cell fitting its field. Anything else it leaves to the JSON parser, which
// also names what is wrong.
class RowsDecoder
{
public:
    // False, with the table's rows untouched, when it leaves the text.
    static bool decode(const char* begin, const char* end, RegisterTable& table);

    // One row's text, as RowsCut finds it, into `row` (the table's row
    // width, zeros where a cell is shorter than its field); false as decode().
    static bool decodeRow(const char* begin, const char* end, const RegisterTable& table, uint8_t* row);
};

} // namespace tillo_emulator
