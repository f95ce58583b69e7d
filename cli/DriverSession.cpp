#include "DriverSession.h"

#include "CliFailure.h"

#include "settings/DriverSettingsJson.h"
#include "settings/SettingsFile.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"

#include <string>

DriverSession::DriverSession(const QString& settingsOption)
    : m_register(KKT_Logic::instance())
{
    const QString text = settingsText(settingsOption);
    KKT_Logic& logic = KKT_Logic::instance();
    logic.connect();
    // The window hands over whatever the file holds and goes on. Here a text
    // the driver refuses ends the run: the register reached would not be the
    // one the script names.
    const std::wstring wide = text.toStdWString();
    if (DriverLibrary::instance().setSettings(logic.handle(), wide.c_str()) != 0 && !text.isEmpty()) {
        const QString message = logic.lastErrorText();
        logic.destroy();
        throw CliFailure(DriverFailure, message);
    }
}

DriverSession::~DriverSession()
{
    m_register.close();
    KKT_Logic::instance().destroy();
}

QString DriverSession::settingsText(const QString& settingsOption)
{
    QString text;
    QString error;
    if (settingsOption.isNull()) {
        if (!SettingsFile::load(SettingsFile::defaultPath(), text, error))
            throw CliFailure(UsageError, error);
        return text;
    }
    if (!settingsOption.startsWith(QLatin1Char('@'))) {
        if (!DriverSettingsJson::check(settingsOption, error))
            throw CliFailure(UsageError, QStringLiteral("Неверная строка настроек --settings: %1").arg(error));
        return settingsOption;
    }

    const QString path = settingsOption.mid(1);
    if (!SettingsFile::readText(path, text, error))
        throw CliFailure(Refused, error);
    if (!DriverSettingsJson::check(text, error))
        throw CliFailure(UsageError, QStringLiteral("Неверные настройки в файле %1: %2").arg(path, error));
    return text;
}
