#include "IdentifyCommand.h"

#include "DriverSession.h"


#include <QJsonDocument>
#include <QJsonObject>

QString IdentifyCommand::summary() const
{
    return QStringLiteral("Код модели, название модели, заводской номер, версия прошивки и фискальный режим ККТ, "
                          "по одному в строке.");
}

void IdentifyCommand::describe(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("json"), QStringLiteral("Вывести один объект JSON.")});
}

void IdentifyCommand::execute(const QCommandLineParser& parser)
{
    if (!parser.positionalArguments().isEmpty())
        usageError(QStringLiteral("Лишние аргументы: %1").arg(parser.positionalArguments().join(QLatin1Char(' '))));

    DriverSession session(settingsOption(parser));
    const RegisterIdentity identity = session.reg().open();

    if (parser.isSet(QStringLiteral("json"))) {
        const QJsonObject object{{QStringLiteral("modelCode"), identity.modelCode},
                                 {QStringLiteral("modelName"), identity.modelName},
                                 {QStringLiteral("serialNumber"), identity.serialNumber},
                                 {QStringLiteral("firmware"), identity.firmware},
                                 {QStringLiteral("fiscal"), identity.fiscal}};
        m_console.out(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        return;
    }
    m_console.out(QString::number(identity.modelCode));
    m_console.out(identity.modelName);
    m_console.out(identity.serialNumber);
    m_console.out(identity.firmware);
    m_console.out(identity.fiscal ? QStringLiteral("ФИСК.") : QStringLiteral("НЕФИСК."));
}
