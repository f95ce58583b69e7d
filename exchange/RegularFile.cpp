#include "RegularFile.h"

#include "common/SystemErrorText.h"
#include "common/WritableTarget.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RegularFile::Outcome RegularFile::open(QFile& file, const QString& path, Access access, QString& why)
{
    // A file appended to is never reached through a link: the link's target would be written.
    const int flags = (access == Read ? O_RDONLY : O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW) | O_NONBLOCK | O_CLOEXEC;
    int fd;
    do
        fd = ::open(QFile::encodeName(path).constData(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ELOOP && access == Append) {
            why = WritableTarget::refusal(path);
            if (!why.isEmpty())
                return NotRegular;
        }
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
