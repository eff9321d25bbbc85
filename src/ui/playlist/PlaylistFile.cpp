#include "PlaylistFile.h"

#include "FileName.h"
#include "TempList.h"

#include <QDir>
#include <QUrl>

#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// One line of a list as a path: absolute, from `folder`, or the local path of a "file:"
// URL; empty for a line that names no local file.
QString entryPath(QString line, const QString& folder)
{
    line = line.trimmed();
    if (line.isEmpty())
        return {};
    if (line.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(line);
    // A scheme: letters, digits, "+", "-" or "." before a colon, at least two of them so
    // that a name like "a:b.mp3" still reads as a file beside the list.
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon >= 2) {
        bool scheme = line[0].isLetter();
        for (qsizetype i = 1; scheme && i < colon; ++i)
            scheme = line[i].isLetterOrNumber() || line[i] == QLatin1Char('+') || line[i] == QLatin1Char('-')
                || line[i] == QLatin1Char('.');
        if (scheme) {
            const QUrl url(line, QUrl::StrictMode);
            return url.isLocalFile() ? QDir::cleanPath(LocalPathOfUrl(url)) : QString();
        }
    }
    return QDir::cleanPath(folder + QLatin1Char('/') + line);
}

QStringList m3uLines(const QByteArray& bytes, PlaylistFileKind kind)
{
    if (kind != PlaylistFileKind::M3u8)
        return DecodeTempListText(bytes);
    // UTF-8 whatever it looks like; a name that is not UTF-8 keeps its bytes.
    QByteArrayView rest(bytes);
    if (rest.startsWith(QByteArrayView(kUtf8Mark, 3)))
        rest = rest.sliced(3);
    QStringList lines;
    for (const QByteArray& line : rest.toByteArray().split('\n')) {
        const QByteArray cut = line.endsWith('\r') ? line.chopped(1) : line;
        lines << FileNameFromBytes(cut);
    }
    return lines;
}

} // namespace

PlaylistFileKind PlaylistFileKindOf(const QString& path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || path.indexOf(QLatin1Char('/'), dot) >= 0)
        return PlaylistFileKind::None;
    const QString extension = path.mid(dot + 1).toLower();
    if (extension == QLatin1String("m3u"))
        return PlaylistFileKind::M3u;
    if (extension == QLatin1String("m3u8"))
        return PlaylistFileKind::M3u8;
    if (extension == QLatin1String("pls"))
        return PlaylistFileKind::Pls;
    return PlaylistFileKind::None;
}

QStringList PlaylistFileEntries(const QByteArray& bytes, PlaylistFileKind kind, const QString& folder)
{
    QStringList entries;
    if (kind == PlaylistFileKind::None)
        return entries;
    const QStringList lines = m3uLines(bytes, kind);
    if (kind == PlaylistFileKind::Pls) {
        // "FileN=path" in any section, keys in any letter case; a number given twice
        // keeps its last path.
        std::map<long long, QString> files;
        for (const QString& line : lines) {
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            const QString key = line.left(equals).trimmed();
            if (equals < 0 || !key.startsWith(QLatin1String("file"), Qt::CaseInsensitive))
                continue;
            bool number = false;
            const long long n = key.mid(4).toLongLong(&number);
            if (number)
                files[n] = line.mid(equals + 1);
        }
        for (const auto& [n, value] : files)
            if (const QString path = entryPath(value, folder); !path.isEmpty())
                entries << path;
        return entries;
    }
    for (const QString& line : lines) {
        if (line.trimmed().startsWith(QLatin1Char('#')))
            continue;
        if (const QString path = entryPath(line, folder); !path.isEmpty())
            entries << path;
    }
    return entries;
}

namespace {

// The bytes of a regular file of at most kPlaylistReadLimit bytes; nothing otherwise.
bool readPlaylist(const QString& path, QByteArray& bytes)
{
    const int fd = ::open(FileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kPlaylistReadLimit;
    if (ok) {
        bytes.resize(static_cast<qsizetype>(info.st_size));
        qsizetype got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        bytes.truncate(got);
    }
    ::close(fd);
    return ok;
}

bool exists(const QString& path)
{
    struct stat info {};
    return ::stat(FileNameBytes(path).constData(), &info) == 0;
}

QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

void expand(const QString& list, PlaylistFileKind kind, bool followLists, QStringList& out, QStringList* missing,
            QStringList* unreadable)
{
    QByteArray bytes;
    if (!readPlaylist(list, bytes)) {
        if (unreadable)
            unreadable->append(list);
        return;
    }
    for (const QString& entry : PlaylistFileEntries(bytes, kind, folderOf(list))) {
        const PlaylistFileKind inner = PlaylistFileKindOf(entry);
        if (!exists(entry)) {
            if (missing)
                missing->append(entry);
        } else if (inner == PlaylistFileKind::None) {
            out.append(entry);
        } else if (followLists) {
            expand(entry, inner, false, out, missing, unreadable);
        }
    }
}

} // namespace

QStringList ExpandPlaylistFiles(const QStringList& paths, QStringList* missing, QStringList* unreadable)
{
    QStringList out;
    out.reserve(paths.size());
    for (const QString& path : paths) {
        const PlaylistFileKind kind = PlaylistFileKindOf(path);
        if (kind == PlaylistFileKind::None)
            out.append(path);
        else
            expand(path, kind, true, out, missing, unreadable);
    }
    return out;
}
