#include "ImageLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tillo_emulator {

namespace {

std::string systemError(int code)
{
    return std::strerror(code);
}

std::string directoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Close-on-exec: a program that the caller starts must not inherit the
// connection. Non-blocking: a FIFO in the lock file's place must not stop the open.
const int OpenFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;

// The lock file, made when missing with the folder's read and write bits. An
// existing one that is not ours to write (another user's) still takes a lock:
// flock needs no write access. -1 with error set when there is none to open.
int openLockFile(const std::string& path, const std::string& imagePath, std::string& error)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | OpenFlags);
        if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
            fd = ::open(path.c_str(), O_RDONLY | OpenFlags);
        if (fd < 0 && errno == ENOENT) {
            struct stat folder;
            if (::stat(directoryOf(imagePath).c_str(), &folder) != 0) {
                error = "не удалось открыть папку образа: " + systemError(errno);
                return -1;
            }
            const mode_t mode = folder.st_mode & 0666;
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | OpenFlags, mode);
            if (fd < 0 && errno == EEXIST)
                continue; // another open made it meanwhile
            if (fd >= 0)
                (void)::fchmod(fd, mode); // as the folder's, whatever the umask
        }
        if (fd < 0) {
            error = "не удалось открыть файл блокировки " + path + ": " + systemError(errno);
            return -1;
        }
        struct stat info;
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            error = "файл блокировки " + path + " не является обычным файлом";
            return -1;
        }
        return fd;
    }
    error = "не удалось создать файл блокировки " + path;
    return -1;
}

enum class Take { Taken, Busy, Failed };

Take lockExclusive(int fd, std::string& error)
{
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EWOULDBLOCK)
            return Take::Busy;
        error = "не удалось заблокировать образ: " + systemError(errno);
        return Take::Failed;
    }
    return Take::Taken;
}

} // namespace

std::string ImageLock::lockFilePath(const std::string& imagePath)
{
    const auto slash = imagePath.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : imagePath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? imagePath : imagePath.substr(slash + 1);
    return directory + "." + name + ".lock";
}

ImageLock::Result ImageLock::acquire(const std::string& imagePath, std::string& error)
{
    release();
    struct stat image;
    if (::stat(imagePath.c_str(), &image) != 0) { // no lock file beside an image that is not there
        error = "не удалось прочитать файл: " + systemError(errno);
        return Failed;
    }
    const int lockFd = openLockFile(lockFilePath(imagePath), imagePath, error);
    if (lockFd < 0)
        return Failed;
    const Take lockTaken = lockExclusive(lockFd, error);
    if (lockTaken != Take::Taken) {
        ::close(lockFd);
        return lockTaken == Take::Busy ? Busy : Failed;
    }
    const int imageFd = ::open(imagePath.c_str(), O_RDONLY | OpenFlags);
    if (imageFd < 0) {
        error = "не удалось открыть файл: " + systemError(errno);
        ::close(lockFd);
        return Failed;
    }
    const Take imageTaken = lockExclusive(imageFd, error);
    if (imageTaken != Take::Taken) { // held through another hard link
        ::close(imageFd);
        ::close(lockFd);
        return imageTaken == Take::Busy ? Busy : Failed;
    }
    m_lockFd = lockFd;
    m_imageFd = imageFd;
    return Acquired;
}

void ImageLock::release()
{
    // Closing the only descriptors ends the locks.
    if (m_imageFd >= 0)
        ::close(m_imageFd);
    if (m_lockFd >= 0)
        ::close(m_lockFd);
    m_imageFd = -1;
    m_lockFd = -1;
}

} // namespace tillo_emulator
