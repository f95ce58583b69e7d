#include "DriverLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <vector>

struct DriverLibrary::Api
{
    QLibrary library;
    decltype(&libtillo_create) create = nullptr;
    decltype(&libtillo_destroy) destroy = nullptr;
    decltype(&libtillo_set_settings) setSettings = nullptr;
    decltype(&libtillo_get_settings) getSettings = nullptr;
    decltype(&libtillo_set_single_setting) setSingleSetting = nullptr;
    decltype(&libtillo_apply_single_settings) applySingleSettings = nullptr;
    decltype(&libtillo_open) open = nullptr;
    decltype(&libtillo_close) close = nullptr;
    decltype(&libtillo_query_data) queryData = nullptr;
    decltype(&libtillo_read_device_setting_raw) readDeviceSettingRaw = nullptr;
    decltype(&libtillo_write_device_setting_raw) writeDeviceSettingRaw = nullptr;
    decltype(&libtillo_commit_settings) commitSettings = nullptr;
    decltype(&libtillo_util_mapping) utilMapping = nullptr;
    decltype(&libtillo_open_drawer) openDrawer = nullptr;
    decltype(&libtillo_error_code) errorCode = nullptr;
    decltype(&libtillo_error_description) errorDescription = nullptr;
    decltype(&libtillo_set_param_int) setParamInt = nullptr;
    decltype(&libtillo_set_param_str) setParamStr = nullptr;
    decltype(&libtillo_set_param_bytearray) setParamByteArray = nullptr;
    decltype(&libtillo_get_param_int) getParamInt = nullptr;
    decltype(&libtillo_get_param_bool) getParamBool = nullptr;
    decltype(&libtillo_get_param_str) getParamStr = nullptr;
    decltype(&libtillo_get_param_bytearray) getParamByteArray = nullptr;
};

namespace {

const char* const LibraryBaseName = "tillo10";

int fail() { return -1; }

} // namespace

DriverLibrary& DriverLibrary::instance()
{
    static DriverLibrary library;
    return library;
}

bool DriverLibrary::load()
{
    if (m_attempted)
        return m_loaded;
    m_attempted = true;

    QStringList candidates;
    if (QCoreApplication::instance())
        candidates << QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("lib%1.so").arg(LibraryBaseName));
    candidates << QString::fromLatin1(LibraryBaseName); // the system's library path

    QStringList reasons;
    for (const QString& candidate : candidates) {
        if (candidate.contains('/') && !QFileInfo::exists(candidate)) {
            reasons << QStringLiteral("%1: файл не найден").arg(candidate);
            continue;
        }
        if (loadFrom(candidate))
            return true;
        reasons << m_loadError;
    }
    m_loadError = QStringLiteral("Не удалось загрузить библиотеку драйвера ККТ %1 (%2)")
                      .arg(LibraryBaseName, reasons.join(QStringLiteral("; ")));
    return false;
}

bool DriverLibrary::loadFrom(const QString& fileName)
{
    unload();
    m_attempted = true;
    m_api = new Api;
    m_api->library.setFileName(fileName);
    if (!m_api->library.load()) {
        m_loadError = m_api->library.errorString();
        delete m_api;
        m_api = nullptr;
        return false;
    }
    if (!resolveAll(m_api->library)) {
        delete m_api;
        m_api = nullptr;
        return false;
    }
    m_fileName = m_api->library.fileName();
    m_loaded = true;
    m_loadError.clear();
    return true;
}

// The library itself stays mapped: a driver may keep handles, threads or
// static state that must not vanish under them, so it is only forgotten here.
void DriverLibrary::unload()
{
    if (m_api) {
        delete m_api;
        m_api = nullptr;
    }
    m_loaded = false;
    m_fileName.clear();
}

bool DriverLibrary::resolveAll(QLibrary& library)
{
    QStringList missing;
    auto resolve = [&](auto& pointer, const char* name) {
        pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(library.resolve(name));
        if (!pointer)
            missing << QString::fromLatin1(name);
    };
    Api& a = *m_api;
    resolve(a.create, "libtillo_create");
    resolve(a.destroy, "libtillo_destroy");
    resolve(a.setSettings, "libtillo_set_settings");
    resolve(a.getSettings, "libtillo_get_settings");
    resolve(a.setSingleSetting, "libtillo_set_single_setting");
    resolve(a.applySingleSettings, "libtillo_apply_single_settings");
    resolve(a.open, "libtillo_open");
    resolve(a.close, "libtillo_close");
    resolve(a.queryData, "libtillo_query_data");
    resolve(a.readDeviceSettingRaw, "libtillo_read_device_setting_raw");
    resolve(a.writeDeviceSettingRaw, "libtillo_write_device_setting_raw");
    resolve(a.commitSettings, "libtillo_commit_settings");
    resolve(a.utilMapping, "libtillo_util_mapping");
    resolve(a.openDrawer, "libtillo_open_drawer");
    resolve(a.errorCode, "libtillo_error_code");
    resolve(a.errorDescription, "libtillo_error_description");
    resolve(a.setParamInt, "libtillo_set_param_int");
    resolve(a.setParamStr, "libtillo_set_param_str");
    resolve(a.setParamByteArray, "libtillo_set_param_bytearray");
    resolve(a.getParamInt, "libtillo_get_param_int");
    resolve(a.getParamBool, "libtillo_get_param_bool");
    resolve(a.getParamStr, "libtillo_get_param_str");
    resolve(a.getParamByteArray, "libtillo_get_param_bytearray");
    if (missing.isEmpty())
        return true;
    m_loadError = QStringLiteral("%1: нет функций %2").arg(library.fileName(), missing.join(QStringLiteral(", ")));
    return false;
}

// Without a library every operation fails; the error code and text explain why.
#define DRIVER_CALL(member, fallback, ...) \
    (m_loaded ? m_api->member(__VA_ARGS__) : (fallback))

int DriverLibrary::create(libtillo_handle* handle)
{
    if (!m_loaded) {
        if (handle)
            *handle = nullptr;
        return fail();
    }
    return m_api->create(handle);
}

int DriverLibrary::destroy(libtillo_handle* handle) { return DRIVER_CALL(destroy, fail(), handle); }
int DriverLibrary::setSettings(libtillo_handle h, const wchar_t* s) { return DRIVER_CALL(setSettings, fail(), h, s); }
int DriverLibrary::setSingleSetting(libtillo_handle h, const wchar_t* k, const wchar_t* v) { return DRIVER_CALL(setSingleSetting, fail(), h, k, v); }
int DriverLibrary::applySingleSettings(libtillo_handle h) { return DRIVER_CALL(applySingleSettings, fail(), h); }
int DriverLibrary::open(libtillo_handle h) { return DRIVER_CALL(open, fail(), h); }
int DriverLibrary::close(libtillo_handle h) { return DRIVER_CALL(close, fail(), h); }
int DriverLibrary::queryData(libtillo_handle h) { return DRIVER_CALL(queryData, fail(), h); }
int DriverLibrary::readDeviceSettingRaw(libtillo_handle h) { return DRIVER_CALL(readDeviceSettingRaw, fail(), h); }
int DriverLibrary::writeDeviceSettingRaw(libtillo_handle h) { return DRIVER_CALL(writeDeviceSettingRaw, fail(), h); }
int DriverLibrary::commitSettings(libtillo_handle h) { return DRIVER_CALL(commitSettings, fail(), h); }
int DriverLibrary::utilMapping(libtillo_handle h) { return DRIVER_CALL(utilMapping, fail(), h); }
int DriverLibrary::openDrawer(libtillo_handle h) { return DRIVER_CALL(openDrawer, fail(), h); }
int DriverLibrary::errorCode(libtillo_handle h) { return DRIVER_CALL(errorCode, NotLoadedCode, h); }
void DriverLibrary::setParamInt(libtillo_handle h, int p, unsigned int v) { if (m_loaded) m_api->setParamInt(h, p, v); }
void DriverLibrary::setParamStr(libtillo_handle h, int p, const wchar_t* v) { if (m_loaded) m_api->setParamStr(h, p, v); }
void DriverLibrary::setParamByteArray(libtillo_handle h, int p, const unsigned char* v, int n) { if (m_loaded) m_api->setParamByteArray(h, p, v, n); }
unsigned int DriverLibrary::getParamInt(libtillo_handle h, int p) { return DRIVER_CALL(getParamInt, 0u, h, p); }
int DriverLibrary::getParamBool(libtillo_handle h, int p) { return DRIVER_CALL(getParamBool, 0, h, p); }
int DriverLibrary::getParamByteArray(libtillo_handle h, int p, unsigned char* b, int n) { return DRIVER_CALL(getParamByteArray, 0, h, p, b, n); }

namespace {

// Copies text into a caller buffer the way the library does: the length returned
// counts the terminating NUL, the buffer is filled only as far as it holds.
int copyOut(const QString& text, wchar_t* buffer, int size)
{
    const std::wstring w = text.toStdWString();
    const int needed = int(w.size()) + 1;
    if (buffer && size > 0) {
        const int n = std::min(size - 1, int(w.size()));
        std::copy(w.begin(), w.begin() + n, buffer);
        buffer[n] = L'\0';
    }
    return needed;
}

} // namespace

int DriverLibrary::getSettings(libtillo_handle h, wchar_t* b, int n)
{
    return m_loaded ? m_api->getSettings(h, b, n) : copyOut(QString(), b, n);
}

int DriverLibrary::getParamStr(libtillo_handle h, int p, wchar_t* b, int n)
{
    return m_loaded ? m_api->getParamStr(h, p, b, n) : copyOut(QString(), b, n);
}

int DriverLibrary::errorDescription(libtillo_handle h, wchar_t* b, int n)
{
    return m_loaded ? m_api->errorDescription(h, b, n) : copyOut(m_loadError, b, n);
}

namespace {

template <typename Getter>
QString readText(int initialSize, Getter get)
{
    std::vector<wchar_t> buffer(size_t(std::max(initialSize, 1)), L'\0');
    int needed = get(buffer.data(), int(buffer.size()));
    if (needed > int(buffer.size())) {
        buffer.assign(size_t(needed), L'\0');
        get(buffer.data(), int(buffer.size()));
    }
    buffer.back() = L'\0';
    return QString::fromWCharArray(buffer.data());
}

} // namespace

QString DriverLibrary::paramString(libtillo_handle h, int param, int initialSize)
{
    return readText(initialSize, [&](wchar_t* b, int n) { return getParamStr(h, param, b, n); });
}

QString DriverLibrary::settingsString(libtillo_handle h, int initialSize)
{
    return readText(initialSize, [&](wchar_t* b, int n) { return getSettings(h, b, n); });
}

QString DriverLibrary::errorDescriptionString(libtillo_handle h, int initialSize)
{
    return readText(initialSize, [&](wchar_t* b, int n) { return errorDescription(h, b, n); });
}
