#pragma once

#include "common/Errors.h"

#include <tillo10.h>

#include <functional>

// A driver operation whose failure the settings dialog reports.
class GuardedCall
{
public:
    using Operation = std::function<int(libtillo_handle)>;

    // Runs the operation on the handle. A negative result raises DriverException
    // with the driver's error code and description; any other exception that
    // escapes the operation becomes UnknownException.
    static void run(libtillo_handle handle, const Operation& operation);

    // The driver's last failure on the handle.
    static DriverException lastError(libtillo_handle handle);
};
