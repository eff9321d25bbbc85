#include "FileIO.h"

#include "FileName.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TFILE::TFILE(const QString& path, const char* mode)
    : m_stream(mode && mode[0] == 'r' ? OpenRegularFileForReading(path)
                                     : std::fopen(FileNameBytes(path).constData(), mode))
{
}

std::FILE* OpenRegularFileForReading(const QString& path)
{
    // Non-blocking so that opening a FIFO returns at once; the check is made on the
    // opened descriptor, so the file cannot be swapped between check and use.
    const int fd = ::open(FileNameBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* stream = ::fdopen(fd, "rb");
    if (!stream)
        ::close(fd);
    return stream;
}

bool ReadRegularFile(const QString& path, QByteArray& bytes, qint64 maxBytes)
{
    TFILE file(path, "rb");
    if (file.IsNull())
        return false;
    QByteArray data;
    char chunk[65536];
    for (;;) {
        const std::size_t got = file.Read(chunk, 1, sizeof chunk);
        if (got == 0) {
            if (file.HadError())
                return false;
            break;
        }
        if (data.size() + static_cast<qint64>(got) > maxBytes)
            return false;
        data.append(chunk, static_cast<qsizetype>(got));
    }
    bytes = data;
    return true;
}

TFILE::~TFILE()
{
    if (m_stream)
        std::fclose(m_stream);
}

std::size_t TFILE::Read(void* buffer, std::size_t size, std::size_t count)
{
    return m_stream ? std::fread(buffer, size, count, m_stream) : 0;
}

std::size_t TFILE::Write(const void* buffer, std::size_t size, std::size_t count)
{
    return m_stream ? std::fwrite(buffer, size, count, m_stream) : 0;
}
