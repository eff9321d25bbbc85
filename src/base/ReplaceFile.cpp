#include "ReplaceFile.h"

#include "FileName.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

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

bool inMyGroups(gid_t gid)
{
    if (gid == ::getegid())
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// Whether this user may make and rename names in `folder`, read from its mode bits
// alone: root's power to ignore them is not used, so root is refused where the folder's
// owner would be. `target` is the file to be replaced, when there is one.
bool mayRenameIn(const QByteArray& folder, const struct stat* target)
{
    struct stat dir {};
    if (::stat(folder.constData(), &dir) != 0 || !S_ISDIR(dir.st_mode))
        return false;
    const uid_t me = ::geteuid();
    mode_t need = S_IWOTH | S_IXOTH;
    if (dir.st_uid == me)
        need = S_IWUSR | S_IXUSR;
    else if (inMyGroups(dir.st_gid))
        need = S_IWGRP | S_IXGRP;
    if ((dir.st_mode & need) != need)
        return false;
    // In a sticky folder only a name's owner, or the folder's, may replace it.
    return !(dir.st_mode & S_ISVTX) || !target || target->st_uid == me || dir.st_uid == me;
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
    const QByteArray asked = FileNameBytes(target);
    const QByteArray final = followLinks(asked);
    m_final = FileNameFromBytes(final);
    // After the links, anything but a regular file (a link still, when they loop) is
    // refused, and so is a file of someone else's.
    struct stat st {};
    const bool exists = ::lstat(final.constData(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        m_status = Status::NotRegular;
        m_error = NotRegularError;
        return;
    }
    if ((exists && st.st_uid != ::geteuid())
        || (final != asked && !mayRenameIn(folderOf(final), exists ? &st : nullptr))) {
        m_status = Status::NotOurs;
        m_error = EACCES;
        return;
    }
    QByteArray templ = final + kTempInfix + QByteArray(kTempRandomChars, 'X');
    const int fd = ::mkostemp(templ.data(), O_CLOEXEC);
    if (fd < 0) {
        m_error = errno;
        return;
    }
    ::fchmod(fd, modeFor(exists ? &st : nullptr));
    if (exists && st.st_gid != ::getegid())
        (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);  // kept where the user may
    m_stream = ::fdopen(fd, "wb");
    if (!m_stream) {
        m_error = errno;
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

bool ReplaceFile::Write(const void* data, std::size_t bytes)
{
    if (!m_stream)
        return false;
    if (bytes == 0)
        return true;
    errno = 0;
    if (std::fwrite(data, bytes, 1, m_stream) == 1)
        return true;
    if (m_error == 0)
        m_error = errno != 0 ? errno : EIO;
    return false;
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
    auto failed = [this] {
        if (m_error == 0)
            m_error = errno != 0 ? errno : EIO;
        return false;
    };
    errno = 0;
    bool ok = std::fflush(m_stream) == 0 && std::ferror(m_stream) == 0;
    if (!ok)
        failed();
    if (ok && ::fsync(::fileno(m_stream)) != 0)
        ok = failed();
    errno = 0;
    if (std::fclose(m_stream) != 0 && ok)
        ok = failed();
    m_stream = nullptr;
    if (!ok || m_error != 0)
        return false;
    const QByteArray final = FileNameBytes(m_final);
    // The target may have become something else while it was written.
    struct stat st {};
    if (::lstat(final.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        m_error = NotRegularError;
        return false;
    }
    if (::rename(m_tempPath.constData(), final.constData()) != 0)
        return failed();
    m_committed = true;
    // The rename itself is made durable with the folder that holds it.
    const int dir = ::open(folderOf(final).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool ReplaceFileContents(const QString& target, const QByteArray& bytes, int* error)
{
    ReplaceFile file(target);
    const bool ok = file.IsOpen() && file.Write(bytes.constData(), static_cast<std::size_t>(bytes.size()))
        && file.Commit();
    if (!ok && error)
        *error = file.Error() != 0 ? file.Error() : EIO;
    return ok;
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
