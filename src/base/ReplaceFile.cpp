#include "ReplaceFile.h"

#include "FileName.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit on a path's links
constexpr char kTempInfix[] = ".tmp-";
constexpr int kTempRandomChars = 6;

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray followLinks(const QByteArray& path)
{
    QByteArray current = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat st {};
        if (::lstat(current.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        QByteArray target(PATH_MAX + 1, '\0');
        const ssize_t length = ::readlink(current.constData(), target.data(), static_cast<size_t>(target.size()));
        if (length <= 0 || length > PATH_MAX)
            return path;
        target.truncate(length);
        current = target.startsWith('/') ? target : folderOf(current) + '/' + target;
    }
    return path;  // a loop: a link still, which the writer refuses
}

// The mode a newly created file gets, so a replaced file looks like one written in
// place: the old file's mode, else 0666 less the umask.
mode_t modeFor(const struct stat* existing)
{
    if (existing)
        return existing->st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool isOurTemporary(const char* name, const QByteArray& base)
{
    const std::size_t baseLength = static_cast<std::size_t>(base.size());
    const std::size_t infixLength = sizeof(kTempInfix) - 1;
    if (std::strlen(name) != baseLength + infixLength + kTempRandomChars)
        return false;
    if (std::memcmp(name, base.constData(), baseLength) != 0
        || std::memcmp(name + baseLength, kTempInfix, infixLength) != 0)
        return false;
    for (const char* c = name + baseLength + infixLength; *c; ++c)
        if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9')))
            return false;
    return true;
}

} // namespace

QString FollowLinks(const QString& path)
{
    return FileNameFromBytes(followLinks(FileNameBytes(path)));
}

ReplaceFile::ReplaceFile(const QString& target)
{
    const QByteArray final = followLinks(FileNameBytes(target));
    m_final = FileNameFromBytes(final);
    // After the links, anything but a regular file (a link still, when they loop) is
    // refused.
    struct stat st {};
    const bool exists = ::lstat(final.constData(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        m_status = Status::NotRegular;
        return;
    }
    QByteArray templ = final + kTempInfix + QByteArray(kTempRandomChars, 'X');
    const int fd = ::mkostemp(templ.data(), O_CLOEXEC);
    if (fd < 0)
        return;
    ::fchmod(fd, modeFor(exists ? &st : nullptr));
    m_stream = ::fdopen(fd, "wb");
    if (!m_stream) {
        ::close(fd);
        ::unlink(templ.constData());
        return;
    }
    m_tempPath = templ;
    m_status = Status::Open;
}

ReplaceFile::~ReplaceFile()
{
    if (m_stream)
        std::fclose(m_stream);
    if (!m_committed && !m_tempPath.isEmpty())
        ::unlink(m_tempPath.constData());
}

void ReplaceFile::SetBufferBytes(std::size_t bytes)
{
    if (!m_stream || bytes == 0)
        return;
    auto buffer = std::make_unique<char[]>(bytes);
    if (std::setvbuf(m_stream, buffer.get(), _IOFBF, bytes) == 0)
        m_buffer = std::move(buffer);
}

bool ReplaceFile::Commit()
{
    if (!m_stream || m_committed)
        return false;
    bool ok = std::fflush(m_stream) == 0 && std::ferror(m_stream) == 0;
    ok = ok && ::fsync(::fileno(m_stream)) == 0;
    ok = (std::fclose(m_stream) == 0) && ok;
    m_stream = nullptr;
    if (!ok)
        return false;
    const QByteArray final = FileNameBytes(m_final);
    // The target may have become something else while it was written.
    struct stat st {};
    if (::lstat(final.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return false;
    if (::rename(m_tempPath.constData(), final.constData()) != 0)
        return false;
    m_committed = true;
    // The rename itself is made durable with the folder that holds it.
    const int dir = ::open(folderOf(final).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool ReplaceFileContents(const QString& target, const QByteArray& bytes)
{
    ReplaceFile file(target);
    if (!file.IsOpen())
        return false;
    const auto size = static_cast<std::size_t>(bytes.size());
    if (size > 0 && std::fwrite(bytes.constData(), size, 1, file.Stream()) != 1)
        return false;
    return file.Commit();
}

int RemoveStaleTemporaries(const QStringList& targets)
{
    int removed = 0;
    const uid_t me = ::getuid();
    for (const QString& target : targets) {
        const QByteArray final = followLinks(FileNameBytes(target));
        const QByteArray folder = folderOf(final);
        const QByteArray base = final.mid(final.lastIndexOf('/') + 1);
        DIR* dir = ::opendir(folder.constData());
        if (!dir)
            continue;
        const int dirFd = ::dirfd(dir);
        while (const dirent* entry = ::readdir(dir)) {
            if (!isOurTemporary(entry->d_name, base))
                continue;
            struct stat st {};
            if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)
                || st.st_uid != me)
                continue;
            if (::unlinkat(dirFd, entry->d_name, 0) == 0)
                ++removed;
        }
        ::closedir(dir);
    }
    return removed;
}
