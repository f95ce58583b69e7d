// The C interface: each function finds its handle among the live ones and
// hands the call to it. A null, unknown or destroyed handle is refused with
// -1 (0 from the parameter getters) and touches nothing. No exception leaves
// the library: each function runs inside guarded(), which turns one into a
// failure (code 99 on the handle, with the function's name and the reason).
#include "EmulatedDriver.h"

#include "tillo10.h"

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <utility>

using namespace tillo_emulator;

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

// The handle found last, while it lives: a table's read asks for one handle
// hundreds of thousands of times.
std::atomic<EmulatedDriver*>& lastFound()
{
    static std::atomic<EmulatedDriver*> last{nullptr};
    return last;
}

EmulatedDriver* find(libtillo_handle h)
{
    if (!h)
        return nullptr;
    auto* driver = static_cast<EmulatedDriver*>(h);
    if (lastFound().load(std::memory_order_acquire) == driver)
        return driver;
    std::lock_guard<std::mutex> lock(registryMutex());
    if (!liveHandles().count(driver))
        return nullptr;
    lastFound().store(driver, std::memory_order_release);
    return driver;
}

void emptyText(wchar_t* buffer, int size)
{
    if (buffer && size > 0)
        buffer[0] = L'\0';
}

// Runs the body of the entry point `function`; an exception becomes the
// result `failed`, recorded as the error of handle h when that is a live one.
// onFailure tidies the caller's buffer.
template <typename R, typename F, typename G>
R guarded(const char* function, libtillo_handle h, R failed, F&& body, G&& onFailure) noexcept
{
    std::string what; // a copy: the exception's own text ends with its catch block
    try {
        return body();
    } catch (const std::exception& e) {
        try {
            what = e.what();
        } catch (...) {
        }
    } catch (...) {
    }
    try {
        onFailure();
        if (EmulatedDriver* driver = find(h))
            driver->failByException(function, what.empty() ? "неизвестное исключение" : what.c_str());
    } catch (...) { // nothing more can be reported
    }
    return failed;
}

template <typename R, typename F>
R guarded(const char* function, libtillo_handle h, R failed, F&& body) noexcept
{
    return guarded(function, h, failed, std::forward<F>(body), [] {});
}

// The usual entry point: a live handle runs f; anything else is refused with -1.
template <typename F>
int onDriver(const char* function, libtillo_handle h, F f) noexcept
{
    return guarded(function, h, -1, [&] {
        EmulatedDriver* driver = find(h);
        return driver ? f(*driver) : -1;
    });
}

// A text getter: a live handle runs f; anything else, or a failure, leaves
// the caller's buffer holding an empty text.
template <typename F>
int textOnDriver(const char* function, libtillo_handle h, wchar_t* buffer, int size, F f) noexcept
{
    return guarded(
        function, h, -1,
        [&] {
            EmulatedDriver* driver = find(h);
            if (!driver) {
                emptyText(buffer, size);
                return -1;
            }
            return f(*driver);
        },
        [&] { emptyText(buffer, size); });
}

} // namespace

extern "C" {

int libtillo_create(libtillo_handle* handle)
{
    return guarded(__func__, nullptr, -1, [&] {
        if (!handle)
            return -1;
        std::unique_ptr<EmulatedDriver> driver(new (std::nothrow) EmulatedDriver);
        if (!driver)
            return -1;
        std::lock_guard<std::mutex> lock(registryMutex());
        liveHandles().insert(driver.get());
        *handle = driver.release();
        return 0;
    });
}

int libtillo_destroy(libtillo_handle* handle)
{
    return guarded(__func__, nullptr, -1, [&] {
        if (!handle || !*handle)
            return -1;
        auto* driver = static_cast<EmulatedDriver*>(*handle);
        {
            std::lock_guard<std::mutex> lock(registryMutex());
            if (liveHandles().erase(driver) == 0)
                return -1;
            EmulatedDriver* expected = driver;
            lastFound().compare_exchange_strong(expected, nullptr);
        }
        *handle = nullptr;
        delete driver; // an open connection ends without its uncommitted writes
        return 0;
    });
}

int libtillo_set_settings(libtillo_handle h, const wchar_t* settings)
{
    return onDriver(__func__, h, [&](EmulatedDriver& d) { return d.setSettings(settings); });
}

int libtillo_get_settings(libtillo_handle h, wchar_t* buffer, int size)
{
    return textOnDriver(__func__, h, buffer, size, [&](EmulatedDriver& d) { return d.getSettings(buffer, size); });
}

int libtillo_set_single_setting(libtillo_handle h, const wchar_t* key, const wchar_t* value)
{
    return onDriver(__func__, h, [&](EmulatedDriver& d) { return d.setSingleSetting(key, value); });
}

int libtillo_apply_single_settings(libtillo_handle h)
{
    return onDriver(__func__, h, [](EmulatedDriver& d) { return d.applySingleSettings(); });
}

int libtillo_open(libtillo_handle h)
{
    return onDriver(__func__, h, [](EmulatedDriver& d) { return d.open(); });
}

int libtillo_close(libtillo_handle h)
{
    return onDriver(__func__, h, [](EmulatedDriver& d) { return d.close(); });
}

int libtillo_query_data(libtillo_handle h)
{
    return onDriver(__func__, h, [](EmulatedDriver& d) { return d.queryData(); });
}

int libtillo_read_device_setting_raw(libtillo_handle h)
{
    return onDriver(__func__, h, [](EmulatedDriver& d) { return d.readCell(); });
}

int libtillo_write_device_setting_raw(libtillo_handle h)
{
    return onDriver(__func__, h, [](EmulatedDriver& d) { return d.writeCell(); });
}

int libtillo_commit_settings(libtillo_handle h)
{
    return onDriver(__func__, h, [](EmulatedDriver& d) { return d.commit(); });
}

int libtillo_util_mapping(libtillo_handle h)
{
    return onDriver(__func__, h, [](EmulatedDriver& d) { return d.mapping(); });
}

int libtillo_open_drawer(libtillo_handle h)
{
    return onDriver(__func__, h, [](EmulatedDriver& d) { return d.openDrawer(); });
}

int libtillo_error_code(libtillo_handle h)
{
    return onDriver(__func__, h, [](EmulatedDriver& d) { return d.errorCode(); });
}

int libtillo_error_description(libtillo_handle h, wchar_t* buffer, int size)
{
    return textOnDriver(__func__, h, buffer, size, [&](EmulatedDriver& d) { return d.errorDescription(buffer, size); });
}

void libtillo_set_param_int(libtillo_handle h, int param, unsigned int value)
{
    guarded(__func__, h, 0, [&] {
        if (EmulatedDriver* driver = find(h))
            driver->setParamInt(param, value);
        return 0;
    });
}

void libtillo_set_param_str(libtillo_handle h, int param, const wchar_t* value)
{
    guarded(__func__, h, 0, [&] {
        if (EmulatedDriver* driver = find(h))
            driver->setParamString(param, value);
        return 0;
    });
}

void libtillo_set_param_bytearray(libtillo_handle h, int param, const unsigned char* value, int size)
{
    guarded(__func__, h, 0, [&] {
        if (EmulatedDriver* driver = find(h))
            driver->setParamBytes(param, value, size);
        return 0;
    });
}

unsigned int libtillo_get_param_int(libtillo_handle h, int param)
{
    return guarded(__func__, h, 0u, [&] {
        EmulatedDriver* driver = find(h);
        return driver ? driver->paramInt(param) : 0u;
    });
}

int libtillo_get_param_bool(libtillo_handle h, int param)
{
    return guarded(__func__, h, 0, [&] {
        EmulatedDriver* driver = find(h);
        return driver && driver->paramInt(param) != 0 ? 1 : 0;
    });
}

int libtillo_get_param_str(libtillo_handle h, int param, wchar_t* buffer, int size)
{
    return textOnDriver(__func__, h, buffer, size, [&](EmulatedDriver& d) { return d.paramString(param, buffer, size); });
}

int libtillo_get_param_bytearray(libtillo_handle h, int param, unsigned char* buffer, int size)
{
    return guarded(__func__, h, -1, [&] {
        EmulatedDriver* driver = find(h);
        return driver ? driver->paramBytes(param, buffer, size) : -1;
    });
}

} // extern "C"
