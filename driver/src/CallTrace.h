#pragma once

#include <string>

namespace tillo_emulator {

// Appends one line per traced call to the file named by TILLO10_TRACE:
// "<call> [<arguments>] -> <error code>". A call whose text is empty is
// counted (TILLO10_KILL_AFTER) but not written. Reads are traced when the
// trace was named as the register was opened.
class CallTrace
{
public:
    static bool enabled();
    static void write(const std::string& call, int code);
};

} // namespace tillo_emulator
