#pragma once

#include "RegisterCharsets.h"

#include <tillo10.h>

#include <QByteArray>
#include <QString>

class DriverLibrary;
class FieldInfo;

// What every exchange with the register goes through: the driver library,
// the driver handle and the register's character sets. A small value that
// KKT_Logic builds for the engines, the value check and the identity read;
// a test builds one over a handle of its own.
class RegisterLink
{
public:
    RegisterLink(DriverLibrary& driver, libtillo_handle handle, const RegisterCharsets& charsets);

    DriverLibrary& driver() const { return *m_driver; }
    libtillo_handle handle() const { return m_handle; }
    const RegisterCharsets& charsets() const { return m_charsets; }

    // The cell text of raw bytes, texts read in the register's own character
    // set (internalCharset) or in "RU-866".
    QByteArray decode(const FieldInfo& field, const QByteArray& raw, bool internalCharset) const;

    // "Ошибка - <code> [<description>]" of the driver's last failure; says so
    // when the library could not be loaded.
    QString lastErrorText() const;
    // The message of an engine's result: its own error text for -1, the
    // driver's last error text for any other failure.
    QString resultText(int result, const QString& errorText) const;

private:
    DriverLibrary* m_driver;
    libtillo_handle m_handle;
    RegisterCharsets m_charsets;
};
