#pragma once

#include <QString>

// "Vescor.ini" beside the program: it keeps the driver's settings string
// ("SETTINGS_STR") from one run to the next. When the program's folder is not
// writable (an installed program), the file lives in the user's configuration
// folder instead: "Vescor/Vescor.ini" there (~/.config/Vescor/Vescor.ini).
class SettingsFile
{
public:
    // The file both programs use: pathFor the program's folder and the
    // user's configuration folder (QStandardPaths::GenericConfigLocation).
    static QString defaultPath();
    // "Vescor.ini" in programDir when that is a writable folder, otherwise
    // "Vescor/Vescor.ini" in userConfigDir.
    static QString pathFor(const QString& programDir, const QString& userConfigDir);
    // The stored settings string; empty when the file or the key is missing.
    static QString load(const QString& path);
    static void save(const QString& path, const QString& settings);
};
