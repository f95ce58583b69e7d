#pragma once

#include <QSettings>
#include <QString>

// "Vescor.ini" keeps the driver's settings string ("SETTINGS_STR") from one run
// to the next. An installed program keeps it in the user's configuration
// folder, "Vescor/Vescor.ini" there (~/.config/Vescor/Vescor.ini), whoever the
// user is; only a program run from its build folder, or from a portable
// folder that holds a Vescor.ini already, keeps the file beside itself.
// This is the one place that reads settings files, for the window and for
// vescor-cli alike; a file is looked at before it is read, so that neither a
// device nor a huge file is read whole.
class SettingsFile
{
public:
    // Larger settings files are refused unread.
    static constexpr qint64 MaxSize = 1024 * 1024;

    // The file both programs use: pathFor the program's folder, the user's
    // configuration folder (QStandardPaths::GenericConfigLocation) and the
    // folder the programs were built into.
    static QString defaultPath();
    // "Vescor.ini" in programDir when that is a writable folder and either is
    // buildDir or holds a "Vescor.ini" already and is no system folder;
    // otherwise "Vescor/Vescor.ini" in userConfigDir.
    static QString pathFor(const QString& programDir, const QString& userConfigDir, const QString& buildDir);

    // The stored settings string: empty when the file or the key is missing.
    // False, with error saying why, when the file is there but cannot be read
    // (not a regular file, over MaxSize, no access, not INI) or holds a text
    // that is neither empty nor a JSON object.
    static bool load(const QString& path, QString& text, QString& error);

    // A settings text kept in a file of its own, read whole and trimmed. False,
    // with error saying why, when the file is missing, not a regular file,
    // over MaxSize or cannot be read. The text itself is not looked at.
    static bool readText(const QString& path, QString& text, QString& error);

    // Empty when stored; otherwise why not (see writePrivate).
    static QString save(const QString& path, const QString& settings);

    // Hands the INI file at path to write and leaves it readable and writable
    // by its owner only: it holds the register's passwords. A new file is
    // created so before anything is written to it; a rewritten one keeps it.
    // Returns empty, or why nothing was written: a FIFO, a device, a folder
    // or a link at path is kept as it is.
    template <typename Write>
    static QString writePrivate(const QString& path, Write write)
    {
        const QString refused = refusalToWrite(path);
        if (!refused.isEmpty())
            return refused;
        createPrivate(path);
        {
            QSettings settings(path, QSettings::IniFormat);
            write(settings);
        }
        restrictToOwner(path);
        return QString();
    }

    // A folder of the system's (under /usr, /opt, /etc or the system's
    // program and library folders), where a package puts its files: a
    // settings file found there is an older package's, whoever may write it.
    static bool isSystemFolder(const QString& folder);

    // Whether the file is there and may be read as a settings file: a
    // regular, readable file no larger than MaxSize.
    static bool isReadable(const QString& path);

    // Keeps a settings file that could not be read from being replaced by the
    // next save: renames it to "<path>.bad" beside it (an older one of that
    // name goes). Returns the new path; empty, with error saying why, when the
    // file was not renamed (it is not a regular file, or the folder refused).
    static QString setAside(const QString& path, QString& error);

private:
    static QString refusalToWrite(const QString& path);
    static void createPrivate(const QString& path);
    static void restrictToOwner(const QString& path);
};
