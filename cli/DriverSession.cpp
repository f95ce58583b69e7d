#include "DriverSession.h"

#include "CliFailure.h"

#include "settings/SettingsFile.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"

#include <QFile>
#include <QFileInfo>

#include <string>

DriverSession::DriverSession(const QString& settingsOption)
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
    if (settingsOption.isNull())
        return SettingsFile::load(SettingsFile::defaultPath());
    if (!settingsOption.startsWith(QLatin1Char('@')))
        return settingsOption;

    const QString path = settingsOption.mid(1);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CliFailure(Refused, QStringLiteral("Невозможно открыть файл %1").arg(QFileInfo(path).fileName()));
    return QString::fromUtf8(file.readAll()).trimmed();
}
