#pragma once

#include "RegisterTable.h"

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
};

} // namespace tillo_emulator
