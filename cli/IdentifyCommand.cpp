#include "IdentifyCommand.h"

#include "DriverSession.h"

#include <QJsonDocument>
#include <QJsonObject>

QString IdentifyCommand::summary() const
{
    return QStringLiteral("Модель ККТ (код и название), заводской номер, версия ПО и фискальный режим, "
                          "по строке с подписью на каждое.");
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
    m_console.out(QStringLiteral("Модель: %1 (%2)").arg(identity.modelCode).arg(identity.modelName));
    m_console.out(QStringLiteral("Заводской номер: %1").arg(identity.serialNumber));
    m_console.out(QStringLiteral("Версия ПО: %1").arg(identity.firmware));
    m_console.out(QStringLiteral("Фискальный режим: %1")
                      .arg(identity.fiscal ? QStringLiteral("да (ФИСК.)") : QStringLiteral("нет (НЕФИСК.)")));
}
