#pragma once

#include "EmulatorImage.h"

// A register whose model description shows table 15, "Параметры ОФД", in the
// plain layout (type 0), for the tests of that layout: the default model 57
// shows the table as a one-record list. The description is the default one
// under its own model code, with table 15 given no layout type; write() puts
// it beside the program's models, remove() takes it away again.
class PlainLayoutModel
{
public:
    static const unsigned Code = 9515;
    static const unsigned Table = 15;

    static bool write();
    static void remove();
    // The default register under this model code, with `goods` rows of commodities.
    static EmulatorImage image(int goods);
};
