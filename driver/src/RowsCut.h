#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tillo_emulator {

// Takes the "rows" of large tables out of an image's JSON text, leaving "[]"
// in their place, so that the rest parses in time independent of the tables'
// size. Only the shape it needs is looked at: the rest is checked by the
// JSON parser, the rows when they are decoded. Any text it is not sure of
// (comments, escaped keys, a key twice) is left whole.
class RowsCut
{
public:
    // Where each row's text lies in a "rows" text (offsets from its start,
    // the row's brackets included).
    using Rows = std::vector<std::pair<size_t, size_t>>;

    struct Piece
    {
        unsigned table = 0; // index in "tables"
        size_t begin = 0;   // the JSON text of its "rows" value in the content
        size_t end = 0;
        // Its rows, found on the way without reading a cell; rowsFound false
        // when the text is not an array of arrays.
        Rows rows;
        bool rowsFound = false;
    };

    // False when the text is left whole; `rest` and `pieces` are then empty.
    static bool cut(std::string_view content, size_t smallestCut, std::string& rest, std::vector<Piece>& pieces);
};

} // namespace tillo_emulator
