#include "SettingsFile.h"

#include <QCoreApplication>
#include <QSettings>

namespace {

const char* const SettingsKey = "SETTINGS_STR";

} // namespace

QString SettingsFile::defaultPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Vescor.ini");
}

QString SettingsFile::load(const QString& path)
{
    QSettings settings(path, QSettings::IniFormat);
    return settings.value(QLatin1String(SettingsKey), QVariant()).toString();
}

void SettingsFile::save(const QString& path, const QString& text)
{
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(QLatin1String(SettingsKey), text);
}
