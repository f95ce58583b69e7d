#include "ImageText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tillo_emulator {

namespace {

// The whole of a file that cannot be mapped (a pipe, a file without a size).
bool readAll(int fd, std::string& content)
{
    char piece[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, piece, sizeof piece);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        content.append(piece, size_t(n));
    }
}

} // namespace

ImageText::~ImageText()
{
    if (m_mapping)
        ::munmap(m_mapping, m_size);
    if (m_fd >= 0)
        ::close(m_fd);
}

std::shared_ptr<const ImageText> ImageText::read(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    std::shared_ptr<ImageText> text(new ImageText);
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        void* mapping = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (mapping != MAP_FAILED) {
            text->m_mapping = mapping;
            text->m_data = static_cast<const char*>(mapping);
            text->m_size = size_t(st.st_size);
            text->m_fd = fd;
            text->m_mtimeSeconds = st.st_mtim.tv_sec;
            text->m_mtimeNanoseconds = st.st_mtim.tv_nsec;
            return text;
        }
    }
    const bool ok = readAll(fd, text->m_copy);
    const int readErrno = errno;
    ::close(fd);
    if (!ok) {
        errno = readErrno;
        return nullptr;
    }
    text->m_data = text->m_copy.data();
    text->m_size = text->m_copy.size();
    return text;
}

std::shared_ptr<const ImageText> ImageText::copyOf(std::string content)
{
    std::shared_ptr<ImageText> text(new ImageText);
    text->m_copy = std::move(content);
    text->m_data = text->m_copy.data();
    text->m_size = text->m_copy.size();
    return text;
}

bool ImageText::unchanged() const
{
    if (m_fd < 0)
        return true;
    struct stat st;
    return ::fstat(m_fd, &st) == 0 && size_t(st.st_size) == m_size && st.st_mtim.tv_sec == m_mtimeSeconds &&
           st.st_mtim.tv_nsec == m_mtimeNanoseconds;
}

} // namespace tillo_emulator
