#pragma once

#include <QByteArray>
#include <QString>

#include <tillo10.h>

// The tillo10 library beside the test program, loaded with dlopen and called
// only through its C functions. Small helpers read texts and bytes with the
// enlarge-and-read-again protocol.
class TilloApi
{
public:
    static const TilloApi& instance();
    bool isLoaded() const { return m_library != nullptr; }
    QString loadError() const { return m_loadError; }
    void* library() const { return m_library; }
    static QString libraryPath();

    decltype(&libtillo_create) create = nullptr;
    decltype(&libtillo_destroy) destroy = nullptr;
    decltype(&libtillo_set_settings) setSettings = nullptr;
    decltype(&libtillo_get_settings) getSettings = nullptr;
    decltype(&libtillo_set_single_setting) setSingleSetting = nullptr;
    decltype(&libtillo_apply_single_settings) applySingleSettings = nullptr;
    decltype(&libtillo_open) open = nullptr;
    decltype(&libtillo_close) close = nullptr;
    decltype(&libtillo_query_data) queryData = nullptr;
    decltype(&libtillo_read_device_setting_raw) read = nullptr;
    decltype(&libtillo_write_device_setting_raw) write = nullptr;
    decltype(&libtillo_commit_settings) commit = nullptr;
    decltype(&libtillo_util_mapping) mapping = nullptr;
    decltype(&libtillo_open_drawer) openDrawer = nullptr;
    decltype(&libtillo_error_code) errorCode = nullptr;
    decltype(&libtillo_error_description) errorDescription = nullptr;
    decltype(&libtillo_set_param_int) setInt = nullptr;
    decltype(&libtillo_set_param_str) setStr = nullptr;
    decltype(&libtillo_set_param_bytearray) setBytes = nullptr;
    decltype(&libtillo_get_param_int) getInt = nullptr;
    decltype(&libtillo_get_param_bool) getBool = nullptr;
    decltype(&libtillo_get_param_str) getStr = nullptr;
    decltype(&libtillo_get_param_bytearray) getBytes = nullptr;

    // Helpers (start with a deliberately small buffer).
    QString text(libtillo_handle h, int param) const;
    QString settings(libtillo_handle h) const;
    QString error(libtillo_handle h) const;
    QByteArray bytes(libtillo_handle h, int param) const;
    void setText(libtillo_handle h, int param, const QString& value) const;
    void setValue(libtillo_handle h, const QByteArray& value) const;
    void address(libtillo_handle h, unsigned table, unsigned row, unsigned field) const;
    // Reads the cell (field 0: the row); returns the result and puts the bytes in value.
    int readCell(libtillo_handle h, unsigned table, unsigned row, unsigned field, QByteArray& value) const;
    int writeCell(libtillo_handle h, unsigned table, unsigned row, unsigned field, const QByteArray& value) const;

private:
    TilloApi();
    void* m_library = nullptr;
    QString m_loadError;
};

// A handle that is destroyed when the scope ends.
class TilloHandle
{
public:
    TilloHandle() { TilloApi::instance().create(&m_handle); }
    ~TilloHandle()
    {
        if (m_handle)
            TilloApi::instance().destroy(&m_handle);
    }
    TilloHandle(const TilloHandle&) = delete;
    TilloHandle& operator=(const TilloHandle&) = delete;
    operator libtillo_handle() const { return m_handle; }
    libtillo_handle* address() { return &m_handle; }

private:
    libtillo_handle m_handle = nullptr;
};
