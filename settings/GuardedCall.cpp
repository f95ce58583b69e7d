#include "GuardedCall.h"

#include "device/DriverLibrary.h"

void GuardedCall::run(libtillo_handle handle, const Operation& operation)
{
    try {
        if (operation(handle) < 0)
            throw lastError(handle);
    } catch (const DriverException&) {
        throw;
    } catch (...) {
        throw UnknownException();
    }
}

DriverException GuardedCall::lastError(libtillo_handle handle)
{
    DriverLibrary& driver = DriverLibrary::instance();
    const int code = driver.errorCode(handle);
    return DriverException(code, driver.errorDescriptionString(handle, 128));
}
