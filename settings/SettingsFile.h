#pragma once

#include <QString>

// "Vescor.ini" beside the program: it keeps the driver's settings string
// ("SETTINGS_STR") from one run to the next.
class SettingsFile
{
public:
    static QString defaultPath();
    // The stored settings string; empty when the file or the key is missing.
    static QString load(const QString& path);
    static void save(const QString& path, const QString& settings);
};
