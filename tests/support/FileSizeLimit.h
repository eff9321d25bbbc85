#pragma once
// A full disk for the tests, whoever runs them: while an object lives, every write that
// would take a file of this process past a size fails (root too, whom folder modes do
// not stop).

#include <csignal>

#include <sys/resource.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of the process
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
    bool m_active = false;
};
