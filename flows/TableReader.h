#pragma once

#include "device/Cell.h"

class TableInfo;

// Reads one table of the open register through the read engine.
class TableReader
{
public:
    // Adds the cells read to cellCount. Raises FlowFailure (DriverFailed)
    // with the engine's text or the driver's error text.
    static DataRows read(const TableInfo& table, unsigned& cellCount);
};
