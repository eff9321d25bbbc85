#pragma once
// C stdio files behind an owning handle, and reading regular files without blocking.
// Files are written through ReplaceFile (ReplaceFile.h).

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdio>
#include <memory>

// One stdio stream, opened in the constructor and closed in the destructor.
class TFILE {
public:
    // A mode that reads ("r...") opens regular files only: a FIFO would block the window
    // thread and a link to a device would read forever, so both count as not opened.
    TFILE(const QString& path, const char* mode);
    // Takes over a stream opened elsewhere (a memory stream, for instance); may be null.
    explicit TFILE(std::FILE* stream) : m_stream(stream) {}
    ~TFILE();
    TFILE(const TFILE&) = delete;
    TFILE& operator=(const TFILE&) = delete;

    bool IsNull() const { return m_stream == nullptr; }
    // Both return the number of whole items transferred, as fread and fwrite do.
    std::size_t Read(void* buffer, std::size_t size, std::size_t count);
    std::size_t Write(const void* buffer, std::size_t size, std::size_t count);
    // True once a transfer failed for another reason than the end of the file.
    bool HadError() const { return m_stream && std::ferror(m_stream) != 0; }

private:
    std::FILE* m_stream;
};

// Opens `path` for reading if it is a regular file (after following links), without
// blocking on a FIFO on the way. Null otherwise.
std::FILE* OpenRegularFileForReading(const QString& path);

// The whole of a regular file, at most `maxBytes`; false for anything else (missing,
// not a regular file, unreadable, larger than the limit).
bool ReadRegularFile(const QString& path, QByteArray& bytes, qint64 maxBytes);
