#pragma once

#include "device/Cell.h"

class ProgressReporter;
class RegisterLink;
class TableInfo;

// Reads one table of the open register through the read engine.
class TableReader
{
public:
    // Adds the cells read to cellCount. Raises FlowFailure (DriverFailed)
    // with the engine's text or the driver's error text; Cancelled when the
    // progress reporter was asked to stop, before the table or inside it.
    // Progress, when given, hears the table's name and the rows read.
    static DataRows read(const RegisterLink& link, const TableInfo& table, unsigned& cellCount,
                         ProgressReporter* progress = nullptr);
};
