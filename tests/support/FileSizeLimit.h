#pragma once

#include <csignal>
#include <sys/resource.h>

// While it lives, no file this process writes may grow past `bytes`: a write
// beyond that fails with EFBIG ("файл слишком велик") instead of raising
// SIGXFSZ, which would end the test program. The limit and the signal's
// handling are put back as they were.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        if (::getrlimit(RLIMIT_FSIZE, &m_original) != 0)
            return;
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = m_original;
        limited.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_set)
            ::setrlimit(RLIMIT_FSIZE, &m_original);
        if (m_previousHandler != SIG_ERR)
            std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool isSet() const { return m_set; }

private:
    struct rlimit m_original {};
    void (*m_previousHandler)(int) = SIG_ERR;
    bool m_set = false;
};
