#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One numbered table of the emulated register: fixed-width fields, rows of bytes.
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
    std::vector<std::vector<uint8_t>> rows; // each rowWidth bytes
    unsigned jsonIndex = 0;                 // position in the image's "tables"
};
