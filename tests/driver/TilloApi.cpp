#include "TilloApi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <dlfcn.h>
#include <vector>

namespace {

template <typename F>
void resolve(void* library, const char* name, F& f, QString& error)
{
    f = reinterpret_cast<F>(::dlsym(library, name));
    if (!f)
        error += QStringLiteral(" %1").arg(QLatin1String(name));
}

} // namespace

QString TilloApi::libraryPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("libtillo10.so"));
}

const TilloApi& TilloApi::instance()
{
    static const TilloApi api;
    return api;
}

TilloApi::TilloApi()
{
    m_library = ::dlopen(QFile::encodeName(libraryPath()).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_library) {
        m_loadError = QString::fromLocal8Bit(::dlerror());
        return;
    }
    QString missing;
    resolve(m_library, "libtillo_create", create, missing);
    resolve(m_library, "libtillo_destroy", destroy, missing);
    resolve(m_library, "libtillo_set_settings", setSettings, missing);
    resolve(m_library, "libtillo_get_settings", getSettings, missing);
    resolve(m_library, "libtillo_set_single_setting", setSingleSetting, missing);
    resolve(m_library, "libtillo_apply_single_settings", applySingleSettings, missing);
    resolve(m_library, "libtillo_open", open, missing);
    resolve(m_library, "libtillo_close", close, missing);
    resolve(m_library, "libtillo_query_data", queryData, missing);
    resolve(m_library, "libtillo_read_device_setting_raw", read, missing);
    resolve(m_library, "libtillo_write_device_setting_raw", write, missing);
    resolve(m_library, "libtillo_commit_settings", commit, missing);
    resolve(m_library, "libtillo_util_mapping", mapping, missing);
    resolve(m_library, "libtillo_open_drawer", openDrawer, missing);
    resolve(m_library, "libtillo_error_code", errorCode, missing);
    resolve(m_library, "libtillo_error_description", errorDescription, missing);
    resolve(m_library, "libtillo_set_param_int", setInt, missing);
    resolve(m_library, "libtillo_set_param_str", setStr, missing);
    resolve(m_library, "libtillo_set_param_bytearray", setBytes, missing);
    resolve(m_library, "libtillo_get_param_int", getInt, missing);
    resolve(m_library, "libtillo_get_param_bool", getBool, missing);
    resolve(m_library, "libtillo_get_param_str", getStr, missing);
    resolve(m_library, "libtillo_get_param_bytearray", getBytes, missing);
    if (!missing.isEmpty()) {
        m_loadError = QStringLiteral("missing:") + missing;
        ::dlclose(m_library);
        m_library = nullptr;
    }
}

namespace {

// Reads a text with a small first buffer, enlarging it to the reported length.
template <typename Getter>
QString readText(Getter get)
{
    std::vector<wchar_t> buffer(4);
    int needed = get(buffer.data(), int(buffer.size()));
    if (needed > int(buffer.size())) {
        buffer.assign(size_t(needed), L'\0');
        needed = get(buffer.data(), int(buffer.size()));
    }
    if (needed < 0)
        return QString();
    return QString::fromWCharArray(buffer.data());
}

} // namespace

QString TilloApi::text(libtillo_handle h, int param) const
{
    return readText([&](wchar_t* b, int n) { return getStr(h, param, b, n); });
}

QString TilloApi::settings(libtillo_handle h) const
{
    return readText([&](wchar_t* b, int n) { return getSettings(h, b, n); });
}

QString TilloApi::error(libtillo_handle h) const
{
    return readText([&](wchar_t* b, int n) { return errorDescription(h, b, n); });
}

QByteArray TilloApi::bytes(libtillo_handle h, int param) const
{
    QByteArray buffer(2, '\0');
    int n = getBytes(h, param, reinterpret_cast<unsigned char*>(buffer.data()), buffer.size());
    if (n > buffer.size()) {
        buffer.resize(n);
        n = getBytes(h, param, reinterpret_cast<unsigned char*>(buffer.data()), buffer.size());
    }
    return n < 0 ? QByteArray() : buffer.left(n);
}

void TilloApi::setText(libtillo_handle h, int param, const QString& value) const
{
    const std::wstring w = value.toStdWString();
    setStr(h, param, w.c_str());
}

void TilloApi::setValue(libtillo_handle h, const QByteArray& value) const
{
    setBytes(h, LIBTILLO_PARAM_VALUE, reinterpret_cast<const unsigned char*>(value.constData()), value.size());
}

void TilloApi::address(libtillo_handle h, unsigned table, unsigned row, unsigned field) const
{
    setInt(h, LIBTILLO_PARAM_TABLE, table);
    setInt(h, LIBTILLO_PARAM_ROW, row);
    setInt(h, LIBTILLO_PARAM_FIELD, field);
}

int TilloApi::readCell(libtillo_handle h, unsigned table, unsigned row, unsigned field, QByteArray& value) const
{
    address(h, table, row, field);
    const int result = read(h);
    value = bytes(h, LIBTILLO_PARAM_VALUE);
    return result;
}

int TilloApi::writeCell(libtillo_handle h, unsigned table, unsigned row, unsigned field, const QByteArray& value) const
{
    address(h, table, row, field);
    setValue(h, value);
    return write(h);
}
