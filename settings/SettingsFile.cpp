#include "SettingsFile.h"
#include "common/Product.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const char* const SettingsKey = "SETTINGS_STR";
const char* const FileName = "Vescor.ini";

} // namespace

QString SettingsFile::defaultPath()
{
    return pathFor(QCoreApplication::applicationDirPath(),
                   QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

QString SettingsFile::pathFor(const QString& programDir, const QString& userConfigDir)
{
    // QSettings replaces the file through a new one beside it, so the
    // folder, not the file, decides whether the file can be kept there.
    const QFileInfo folder(programDir);
    if (folder.isDir() && folder.isWritable())
        return QDir(programDir).filePath(QLatin1String(FileName));
    // QSettings creates the missing folders when it first writes the file.
    return QDir(userConfigDir).filePath(product::applicationName() + QLatin1Char('/') + QLatin1String(FileName));
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
