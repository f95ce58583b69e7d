#include "ImageText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tillo_emulator {

namespace {

// A regular file that could not be mapped, read whole: at most size bytes.
bool readAll(int fd, size_t size, std::string& content)
{
    content.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, &content[done], size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            content.resize(done);
            return n == 0;
        }
        done += size_t(n);
    }
    return true;
}

std::string systemError()
{
    return "не удалось прочитать файл: " + std::string(std::strerror(errno));
}

} // namespace

ImageText::~ImageText()
{
    if (m_mapping)
        ::munmap(m_mapping, m_size);
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string ImageText::refusal(const struct stat& st)
{
    if (!S_ISREG(st.st_mode))
        return "не является обычным файлом";
    if (size_t(st.st_size) > MaxBytes)
        return "файл больше " + std::to_string(MaxBytes >> 20) + " МиБ (" + std::to_string(st.st_size) + " байт)";
    return std::string();
}

bool ImageText::readable(const std::string& path, std::string& error)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        error = systemError();
        return false;
    }
    error = refusal(st);
    return error.empty();
}

std::shared_ptr<const ImageText> ImageText::read(const std::string& path, std::string& error)
{
    // Without waiting: a FIFO opens at once and is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = systemError();
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error = systemError();
        ::close(fd);
        return nullptr;
    }
    error = refusal(st);
    if (!error.empty()) {
        ::close(fd);
        return nullptr;
    }
    std::shared_ptr<ImageText> text(new ImageText);
    const size_t size = size_t(st.st_size);
    if (size > 0) {
        void* mapping = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (mapping != MAP_FAILED) {
            text->m_mapping = mapping;
            text->m_data = static_cast<const char*>(mapping);
            text->m_size = size;
            text->m_fd = fd;
            text->m_mtimeSeconds = st.st_mtim.tv_sec;
            text->m_mtimeNanoseconds = st.st_mtim.tv_nsec;
            return text;
        }
    }
    const bool ok = readAll(fd, size, text->m_copy);
    if (!ok)
        error = systemError();
    ::close(fd);
    if (!ok)
        return nullptr;
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
