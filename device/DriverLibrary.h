#pragma once

#include <QString>

#include <tillo10.h>

// The tillo10 driver library, loaded at run time.
// Looks beside the program first, then on the system's library path. When the
// library or one of its functions is missing, every call fails with
// NotLoadedCode and a Russian description of why; nothing calls a missing function.
class DriverLibrary
{
public:
    static constexpr int NotLoadedCode = -100;

    static DriverLibrary& instance();

    // Loads the library (once). Returns true when every function is resolved.
    bool load();
    bool isLoaded() const { return m_loaded; }
    // Why the library is not usable, in Russian; empty when it is loaded.
    QString loadError() const { return m_loadError; }
    // Full path of the loaded library file.
    QString fileName() const { return m_fileName; }

    int create(libtillo_handle* handle);
    int destroy(libtillo_handle* handle);
    int setSettings(libtillo_handle h, const wchar_t* settings);
    int getSettings(libtillo_handle h, wchar_t* buffer, int size);
    int setSingleSetting(libtillo_handle h, const wchar_t* key, const wchar_t* value);
    int applySingleSettings(libtillo_handle h);
    int open(libtillo_handle h);
    int close(libtillo_handle h);
    int queryData(libtillo_handle h);
    int readDeviceSettingRaw(libtillo_handle h);
    int writeDeviceSettingRaw(libtillo_handle h);
    int commitSettings(libtillo_handle h);
    int utilMapping(libtillo_handle h);
    int openDrawer(libtillo_handle h);
    int errorCode(libtillo_handle h);
    int errorDescription(libtillo_handle h, wchar_t* buffer, int size);
    void setParamInt(libtillo_handle h, int param, unsigned int value);
    void setParamStr(libtillo_handle h, int param, const wchar_t* value);
    void setParamByteArray(libtillo_handle h, int param, const unsigned char* value, int size);
    unsigned int getParamInt(libtillo_handle h, int param);
    int getParamBool(libtillo_handle h, int param);
    int getParamStr(libtillo_handle h, int param, wchar_t* buffer, int size);
    int getParamByteArray(libtillo_handle h, int param, unsigned char* buffer, int size);

    // Text helpers over the enlarge-and-read-again protocol of the text getters.
    QString paramString(libtillo_handle h, int param, int initialSize = 128);
    QString settingsString(libtillo_handle h, int initialSize = 1024);
    QString errorDescriptionString(libtillo_handle h, int initialSize = 32);

    // Loads from the given file only (tests use it to load a missing or broken library).
    bool loadFrom(const QString& fileName);
    void unload();

private:
    DriverLibrary() = default;
    bool resolveAll(class QLibrary& library);

    struct Api;
    Api* m_api = nullptr;
    bool m_loaded = false;
    bool m_attempted = false;
    QString m_loadError;
    QString m_fileName;
};
