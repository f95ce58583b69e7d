#pragma once

#include <string>

namespace tillo_emulator {

// Appends one line per traced call to the file named by TILLO10_TRACE:
// "<call> [<arguments>] -> <error code>".
class CallTrace
{
public:
    static bool enabled();
    static void write(const std::string& call, int code);
};

} // namespace tillo_emulator
