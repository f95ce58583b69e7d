#include "ImageLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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
        error = "не удалось прочитать файл: " + std::string(std::strerror(errno));
        return Failed;
    }
    // Close-on-exec: a program that the caller starts must not inherit the connection.
    int fd = ::open(lockFilePath(imagePath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        fd = ::open(imagePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "не удалось открыть файл образа для блокировки: " + std::string(std::strerror(errno));
        return Failed;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const int why = errno;
        ::close(fd);
        if (why == EWOULDBLOCK)
            return Busy;
        error = "не удалось заблокировать образ: " + std::string(std::strerror(why));
        return Failed;
    }
    m_fd = fd;
    return Acquired;
}

void ImageLock::release()
{
    if (m_fd < 0)
        return;
    ::close(m_fd); // closing the only descriptor ends the lock
    m_fd = -1;
}
