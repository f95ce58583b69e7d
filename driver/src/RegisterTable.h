#pragma once

#include "ImageText.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tillo_emulator {

// One numbered table of the emulated register: fixed-width fields, rows of
// bytes kept one after another in a single block.
struct RegisterTable
{
    struct Field
    {
        size_t width = 0;
        size_t offset = 0; // within the row
        bool text = false; // kept in the internal character set
        uint8_t fill = 0;  // pads typed text values of the image
    };

    unsigned id = 0;
    std::vector<Field> fields;
    size_t rowWidth = 0;
    std::vector<uint8_t> bytes; // rowCount() rows of rowWidth bytes
    unsigned jsonIndex = 0;     // position in the image's "tables"
    // The JSON text of a large table's "rows", decoded on the table's first
    // use so that an open does not pay for tables it never touches.
    struct Undecoded
    {
        std::shared_ptr<const ImageText> image; // the whole text, shared by the tables
        size_t begin = 0, end = 0;
        // Where each row's text lies within begin..end (offsets from begin,
        // the row's brackets included), as the cut of the image found them;
        // rowsFound false: the text is not an array of arrays.
        bool rowsFound = false;
        unsigned rowsAlone = 0; // rows read so
        std::vector<std::pair<size_t, size_t>> rows;
    } undecoded;
    size_t rowCount = 0;

    bool decoded() const { return !undecoded.image; }
    const uint8_t* row(size_t number) const { return bytes.data() + (number - 1) * rowWidth; } // from 1
    uint8_t* row(size_t number) { return bytes.data() + (number - 1) * rowWidth; }
};

} // namespace tillo_emulator
