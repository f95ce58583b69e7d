#include "SettingsFile.h"
#include "common/Product.h"
#include "common/WritableTarget.h"

#include "DriverSettingsJson.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const SettingsKey = "SETTINGS_STR";
const char* const FileName = "Vescor.ini";

// Why an existing path is not a settings file to read; empty when it is one.
QString refusal(const QFileInfo& info)
{
    if (!info.isFile())
        return QStringLiteral("это не обычный файл");
    if (info.size() > SettingsFile::MaxSize)
        return QStringLiteral("файл больше 1 МБ (%1 байт)").arg(info.size());
    if (!info.isReadable())
        return QStringLiteral("нет доступа на чтение");
    return QString();
}

QString storedRefusal(const QString& path, const QString& why)
{
    return QStringLiteral("Не удалось прочитать сохраненные настройки из %1: %2").arg(path, why);
}

} // namespace

QString SettingsFile::defaultPath()
{
    return pathFor(QCoreApplication::applicationDirPath(),
                   QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                   QStringLiteral(VESCOR_BUILD_BIN_DIR));
}

QString SettingsFile::pathFor(const QString& programDir, const QString& userConfigDir, const QString& buildDir)
{
    // An installed program's folder is shared by every user, root included,
    // and goes with the package: nothing of one user's is kept there.
    const QFileInfo folder(programDir);
    const QString beside = QDir(programDir).filePath(QLatin1String(FileName));
    const QString canonical = folder.canonicalFilePath();
    const bool ownFolder = (!canonical.isEmpty() && canonical == QFileInfo(buildDir).canonicalFilePath())
        || (QFileInfo::exists(beside) && !isSystemFolder(programDir));
    // QSettings replaces the file through a new one beside it, so the
    // folder, not the file, decides whether the file can be kept there.
    if (ownFolder && folder.isDir() && folder.isWritable())
        return beside;
    // QSettings creates the missing folders when it first writes the file.
    return QDir(userConfigDir).filePath(product::applicationName() + QLatin1Char('/') + QLatin1String(FileName));
}

bool SettingsFile::load(const QString& path, QString& text, QString& error)
{
    text.clear();
    error.clear();
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    const QString refused = refusal(info);
    if (!refused.isEmpty()) {
        error = storedRefusal(path, refused);
        return false;
    }

    QSettings settings(path, QSettings::IniFormat);
    const QString stored = settings.value(QLatin1String(SettingsKey), QVariant()).toString();
    switch (settings.status()) {
    case QSettings::NoError:
        break;
    case QSettings::AccessError:
        error = storedRefusal(path, QStringLiteral("нет доступа на чтение"));
        return false;
    case QSettings::FormatError:
        error = storedRefusal(path, QStringLiteral("это не файл INI"));
        return false;
    }

    QString why;
    if (!DriverSettingsJson::check(stored, why)) {
        error = storedRefusal(path, why);
        return false;
    }
    text = stored;
    return true;
}

bool SettingsFile::readText(const QString& path, QString& text, QString& error)
{
    text.clear();
    error.clear();
    const QFileInfo info(path);
    if (!info.exists()) {
        error = QStringLiteral("Невозможно открыть файл %1").arg(info.fileName());
        return false;
    }
    const QString refused = refusal(info);
    if (!refused.isEmpty()) {
        error = QStringLiteral("Файл настроек %1 не прочитан: %2").arg(path, refused);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Невозможно открыть файл %1").arg(info.fileName());
        return false;
    }
    // The file may have grown since it was looked at.
    const QByteArray bytes = file.read(MaxSize + 1);
    if (bytes.size() > MaxSize) {
        error = QStringLiteral("Файл настроек %1 не прочитан: %2")
                    .arg(path, QStringLiteral("файл больше 1 МБ"));
        return false;
    }
    text = QString::fromUtf8(bytes).trimmed();
    return true;
}

QString SettingsFile::setAside(const QString& path, QString& error)
{
    error.clear();
    const QFileInfo info(path);
    if (!info.isFile()) {
        error = QStringLiteral("%1 не переименован: это не обычный файл").arg(path);
        return QString();
    }
    const QString kept = path + QStringLiteral(".bad");
    if (QFileInfo::exists(kept) && !QFile::remove(kept)) {
        error = QStringLiteral("%1 не переименован: не удалось удалить прежний %2").arg(path, kept);
        return QString();
    }
    QFile file(path);
    if (!file.rename(kept)) {
        error = QStringLiteral("%1 не переименован в %2: %3").arg(path, kept, file.errorString());
        return QString();
    }
    return kept;
}

bool SettingsFile::isReadable(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && refusal(info).isEmpty();
}

QString SettingsFile::save(const QString& path, const QString& text)
{
    return writePrivate(path, [&](QSettings& settings) { settings.setValue(QLatin1String(SettingsKey), text); });
}

bool SettingsFile::isSystemFolder(const QString& folder)
{
    static const char* const systemRoots[] = {"/usr", "/opt", "/etc", "/bin", "/sbin", "/lib", "/lib32", "/lib64",
                                              "/libx32", "/boot", "/srv"};
    // Where the folder really is: links resolved as far as the path exists.
    QString rest;
    QString existing = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    while (!QFileInfo::exists(existing) && existing != QLatin1String("/")) {
        const int slash = existing.lastIndexOf(QLatin1Char('/'));
        rest = existing.mid(slash) + rest;
        existing = slash > 0 ? existing.left(slash) : QStringLiteral("/");
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    const QString path = QDir::cleanPath((canonical.isEmpty() ? existing : canonical) + rest);
    for (const char* root : systemRoots) {
        const QString top = QLatin1String(root);
        if (path == top || path.startsWith(top + QLatin1Char('/')))
            return true;
    }
    return false;
}

QString SettingsFile::refusalToWrite(const QString& path)
{
    // QSettings takes a lock file beside the file while it writes.
    const QString lock = path + QStringLiteral(".lock");
    QString why = WritableTarget::refusal(path);
    if (why.isEmpty() && !WritableTarget::refusal(lock).isEmpty())
        why = QStringLiteral("блокировка %1: %2").arg(lock, WritableTarget::refusal(lock));
    return why.isEmpty() ? why : QStringLiteral("Настройки не сохранены в %1: %2").arg(path, why);
}

void SettingsFile::createPrivate(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Exclusive: an existing file, or anything else in its place, is left to QSettings.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

void SettingsFile::restrictToOwner(const QString& path)
{
    struct stat info;
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0777) != 0600)
        ::chmod(name.constData(), 0600);
}
