#include "RegisterLink.h"

#include "DriverLibrary.h"
#include "ValueCodec.h"

#include <QDebug>

namespace {

const int ErrorBufferSize = 32;

} // namespace

RegisterLink::RegisterLink(DriverLibrary& driver, libtillo_handle handle, const RegisterCharsets& charsets)
    : m_driver(&driver), m_handle(handle), m_charsets(charsets)
{
}

QByteArray RegisterLink::decode(const FieldInfo& field, const QByteArray& raw, bool internalCharset) const
{
    return ValueCodec::decode(field, raw, internalCharset ? m_charsets.internal : m_charsets.external);
}

QString RegisterLink::lastErrorText() const
{
    const int code = m_driver->errorCode(m_handle);
    QString description = m_driver->errorDescriptionString(m_handle, ErrorBufferSize);
    if (!m_driver->isLoaded()) {
        const QString prefix = QStringLiteral("Не удалось загрузить библиотеку драйвера ККТ");
        if (!description.startsWith(prefix))
            description = QStringLiteral("%1 tillo10 (%2)").arg(prefix, description);
    }
    const QString message = QStringLiteral("Ошибка - ") + QString::number(code) + QStringLiteral(" [") + description + QStringLiteral("]");
    qDebug() << message;
    return message;
}

QString RegisterLink::resultText(int result, const QString& errorText) const
{
    return result == -1 ? errorText : lastErrorText();
}
