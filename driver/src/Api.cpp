// The C interface: each function finds its handle among the live ones and
// hands the call to it. A null, unknown or destroyed handle is refused with
// -1 (0 from the parameter getters) and touches nothing.
#include "EmulatedDriver.h"

#include "tillo10.h"

#include <mutex>
#include <new>
#include <unordered_set>

namespace {

std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::unordered_set<EmulatedDriver*>& liveHandles()
{
    static std::unordered_set<EmulatedDriver*> handles;
    return handles;
}

EmulatedDriver* find(libtillo_handle h)
{
    if (!h)
        return nullptr;
    std::lock_guard<std::mutex> lock(registryMutex());
    auto* driver = static_cast<EmulatedDriver*>(h);
    return liveHandles().count(driver) ? driver : nullptr;
}

template <typename F>
int call(libtillo_handle h, F f)
{
    EmulatedDriver* driver = find(h);
    return driver ? f(*driver) : -1;
}

} // namespace

extern "C" {

int libtillo_create(libtillo_handle* handle)
{
    if (!handle)
        return -1;
    auto* driver = new (std::nothrow) EmulatedDriver;
    if (!driver)
        return -1;
    std::lock_guard<std::mutex> lock(registryMutex());
    liveHandles().insert(driver);
    *handle = driver;
    return 0;
}

int libtillo_destroy(libtillo_handle* handle)
{
    if (!handle || !*handle)
        return -1;
    auto* driver = static_cast<EmulatedDriver*>(*handle);
    {
        std::lock_guard<std::mutex> lock(registryMutex());
        if (liveHandles().erase(driver) == 0)
            return -1;
    }
    delete driver; // an open connection ends without its uncommitted writes
    *handle = nullptr;
    return 0;
}

int libtillo_set_settings(libtillo_handle h, const wchar_t* settings)
{
    return call(h, [&](EmulatedDriver& d) { return d.setSettings(settings); });
}

int libtillo_get_settings(libtillo_handle h, wchar_t* buffer, int size)
{
    EmulatedDriver* driver = find(h);
    if (!driver) {
        if (buffer && size > 0)
            buffer[0] = L'\0';
        return -1;
    }
    return driver->getSettings(buffer, size);
}

int libtillo_set_single_setting(libtillo_handle h, const wchar_t* key, const wchar_t* value)
{
    return call(h, [&](EmulatedDriver& d) { return d.setSingleSetting(key, value); });
}

int libtillo_apply_single_settings(libtillo_handle h)
{
    return call(h, [](EmulatedDriver& d) { return d.applySingleSettings(); });
}

int libtillo_open(libtillo_handle h)
{
    return call(h, [](EmulatedDriver& d) { return d.open(); });
}

int libtillo_close(libtillo_handle h)
{
    return call(h, [](EmulatedDriver& d) { return d.close(); });
}

int libtillo_query_data(libtillo_handle h)
{
    return call(h, [](EmulatedDriver& d) { return d.queryData(); });
}

int libtillo_read_device_setting_raw(libtillo_handle h)
{
    return call(h, [](EmulatedDriver& d) { return d.readCell(); });
}

int libtillo_write_device_setting_raw(libtillo_handle h)
{
    return call(h, [](EmulatedDriver& d) { return d.writeCell(); });
}

int libtillo_commit_settings(libtillo_handle h)
{
    return call(h, [](EmulatedDriver& d) { return d.commit(); });
}

int libtillo_util_mapping(libtillo_handle h)
{
    return call(h, [](EmulatedDriver& d) { return d.mapping(); });
}

int libtillo_open_drawer(libtillo_handle h)
{
    return call(h, [](EmulatedDriver& d) { return d.openDrawer(); });
}

int libtillo_error_code(libtillo_handle h)
{
    return call(h, [](EmulatedDriver& d) { return d.errorCode(); });
}

int libtillo_error_description(libtillo_handle h, wchar_t* buffer, int size)
{
    EmulatedDriver* driver = find(h);
    if (!driver) {
        if (buffer && size > 0)
            buffer[0] = L'\0';
        return -1;
    }
    return driver->errorDescription(buffer, size);
}

void libtillo_set_param_int(libtillo_handle h, int param, unsigned int value)
{
    if (EmulatedDriver* driver = find(h))
        driver->setParamInt(param, value);
}

void libtillo_set_param_str(libtillo_handle h, int param, const wchar_t* value)
{
    if (EmulatedDriver* driver = find(h))
        driver->setParamString(param, value);
}

void libtillo_set_param_bytearray(libtillo_handle h, int param, const unsigned char* value, int size)
{
    if (EmulatedDriver* driver = find(h))
        driver->setParamBytes(param, value, size);
}

unsigned int libtillo_get_param_int(libtillo_handle h, int param)
{
    EmulatedDriver* driver = find(h);
    return driver ? driver->paramInt(param) : 0;
}

int libtillo_get_param_bool(libtillo_handle h, int param)
{
    EmulatedDriver* driver = find(h);
    return driver && driver->paramInt(param) != 0 ? 1 : 0;
}

int libtillo_get_param_str(libtillo_handle h, int param, wchar_t* buffer, int size)
{
    EmulatedDriver* driver = find(h);
    if (!driver) {
        if (buffer && size > 0)
            buffer[0] = L'\0';
        return -1;
    }
    return driver->paramString(param, buffer, size);
}

int libtillo_get_param_bytearray(libtillo_handle h, int param, unsigned char* buffer, int size)
{
    EmulatedDriver* driver = find(h);
    return driver ? driver->paramBytes(param, buffer, size) : -1;
}

} // extern "C"
