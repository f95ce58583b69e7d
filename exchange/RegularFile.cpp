#include "RegularFile.h"

#include "common/SystemErrorText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RegularFile::Outcome RegularFile::open(QFile& file, const QString& path, Access access, QString& why)
{
    const int flags = (access == Read ? O_RDONLY : O_RDWR | O_CREAT | O_APPEND) | O_NONBLOCK | O_CLOEXEC;
    int fd;
    do
        fd = ::open(QFile::encodeName(path).constData(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        why = SystemErrorText::of(errno);
        return CannotOpen;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool folder = S_ISDIR(info.st_mode);
        ::close(fd);
        why = folder ? SystemErrorText::of(EISDIR) : notRegularText();
        return folder ? CannotOpen : NotRegular;
    }
    // Blocking again: waiting on a regular file is waiting on the disk.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const QIODevice::OpenMode mode = access == Read ? QIODevice::ReadOnly : QIODevice::ReadWrite | QIODevice::Append;
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        why = file.errorString();
        ::close(fd);
        return CannotOpen;
    }
    return Opened;
}
