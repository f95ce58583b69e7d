#pragma once

namespace tillo_emulator {

// Error codes of the emulated register (driver/README.md lists them).
enum ErrorCode : int {
    ErrorNone = 0,
    ErrorNoLink = 2,
    ErrorNotOpen = 3,
    ErrorInvalidArgument = 4,
    ErrorUnknownMappingKey = 5,
    ErrorNoDrawer = 11,
    ErrorImage = 20,
    ErrorImageSave = 21,
    ErrorBusy = 22,
    ErrorUnknownTable = 74,
    ErrorRowBeyond = 75,
    ErrorFieldBeyond = 76,
    ErrorValueTooLong = 78,
    ErrorInternal = 99,
};

} // namespace tillo_emulator
