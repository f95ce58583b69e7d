#include "WritableTarget.h"

#include "Errors.h"
#include "SystemErrorText.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return QStringLiteral("символическая ссылка");
    if (S_ISFIFO(mode))
        return QStringLiteral("именованный канал");
    if (S_ISCHR(mode))
        return QStringLiteral("символьное устройство");
    if (S_ISBLK(mode))
        return QStringLiteral("блочное устройство");
    if (S_ISSOCK(mode))
        return QStringLiteral("сокет");
    return QStringLiteral("файл особого вида");
}

} // namespace

QString WritableTarget::refusal(const QString& path)
{
    struct stat info;
    // lstat: a link is judged itself, not by what it leads to.
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return QString();
    // A folder is told in the system's word, as a read of one is.
    if (S_ISDIR(info.st_mode))
        return SystemErrorText::of(EISDIR);
    return QStringLiteral("%1 — %2").arg(kindOf(info.st_mode), notRegularText());
}

void WritableTarget::require(const QString& path, const QString& failed)
{
    const QString why = refusal(path);
    if (!why.isEmpty())
        throw FileWriteError(QStringLiteral("%1 %2: %3").arg(failed, path, why));
}
