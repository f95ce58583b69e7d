#include "Errors.h"

#include <QCoreApplication>

DriverException::DriverException(int code, const QString& description)
    : m_code(code)
    , m_description(description)
    , m_message(QStringLiteral("[%1] %2").arg(QString::number(code), description).toUtf8())
{
}

UnknownException::UnknownException()
    : m_message(QCoreApplication::translate("SettingsDlg", "Неизвестное исключение").toUtf8())
{
}
