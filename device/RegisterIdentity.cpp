#include "RegisterIdentity.h"

#include "DriverLibrary.h"
#include "RegisterLink.h"

namespace {

const int NameBufferSize = 1024;

} // namespace

RegisterIdentity RegisterIdentity::fromStatusQuery(const RegisterLink& link)
{
    DriverLibrary& driver = link.driver();
    const libtillo_handle h = link.handle();
    RegisterIdentity identity;
    identity.modelCode = int(driver.getParamInt(h, LIBTILLO_PARAM_MODEL_CODE));
    identity.modelName = driver.paramString(h, LIBTILLO_PARAM_MODEL_NAME, NameBufferSize);
    identity.serialNumber = driver.paramString(h, LIBTILLO_PARAM_SERIAL_NUMBER, NameBufferSize);
    identity.firmware = driver.paramString(h, LIBTILLO_PARAM_FIRMWARE, NameBufferSize);
    identity.fiscal = driver.getParamBool(h, LIBTILLO_PARAM_FISCAL) != 0;
    return identity;
}
