#include "IdentifyCommand.h"

#include "DriverSession.h"

#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"

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
    int modelId = 0;
    QString modelName;
    QString serialNumber;
    session.open(modelId, modelName, serialNumber);

    // The status query that identified the register also gave these.
    KKT_Logic& logic = KKT_Logic::instance();
    const QString firmware = logic.paramString(LIBTILLO_PARAM_FIRMWARE);
    const bool fiscal = DriverLibrary::instance().getParamBool(logic.handle(), LIBTILLO_PARAM_FISCAL) != 0;

    if (parser.isSet(QStringLiteral("json"))) {
        const QJsonObject object{{QStringLiteral("modelCode"), modelId},
                                 {QStringLiteral("modelName"), modelName},
                                 {QStringLiteral("serialNumber"), serialNumber},
                                 {QStringLiteral("firmware"), firmware},
                                 {QStringLiteral("fiscal"), fiscal}};
        m_console.out(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        return;
    }
    m_console.out(QString::number(modelId));
    m_console.out(modelName);
    m_console.out(serialNumber);
    m_console.out(firmware);
    m_console.out(fiscal ? QStringLiteral("ФИСК.") : QStringLiteral("НЕФИСК."));
}
