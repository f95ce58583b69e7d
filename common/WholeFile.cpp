#include "WholeFile.h"

#include "SystemErrorText.h"
#include "WritableTarget.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString tooLarge(qint64 maxBytes, qint64 size)
{
    const QString limit = maxBytes % (1 << 20) == 0 ? QStringLiteral("%1 МиБ").arg(maxBytes >> 20)
                                                    : QStringLiteral("%1 байт").arg(maxBytes);
    return size < 0 ? QStringLiteral("файл больше %1").arg(limit)
                    : QStringLiteral("файл больше %1 (%2 байт)").arg(limit).arg(size);
}

} // namespace

bool WholeFile::read(const QString& path, qint64 maxBytes, QByteArray& bytes, QString& why)
{
    bytes.clear();
    int fd;
    do
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        why = SystemErrorText::of(errno);
        return false;
    }
    struct stat info;
    const bool looked = ::fstat(fd, &info) == 0;
    if (!looked || !S_ISREG(info.st_mode) || info.st_size > maxBytes) {
        why = !looked                  ? SystemErrorText::of(errno)
            : !S_ISREG(info.st_mode) ? WritableTarget::notRegularText()
                                       : tooLarge(maxBytes, info.st_size);
        ::close(fd);
        return false;
    }
    // Blocking again: waiting on a regular file is waiting on the disk.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        why = file.errorString();
        ::close(fd);
        return false;
    }
    bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        why = file.errorString();
        bytes.clear();
        return false;
    }
    if (bytes.size() > maxBytes) {
        why = tooLarge(maxBytes, -1);
        bytes.clear();
        return false;
    }
    return true;
}
