#include "DropWalk.h"

#include "FileName.h"
#include "MusicFormats.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <array>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Below this depth a folder's value would reach the file values (1000 and above).
constexpr int kMaxFolderDepth = 999;

QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace

bool IsMusicFile(const QString& path)
{
    return IsMusicFileName(path);
}

QString TrimFolderPath(const QString& folder)
{
    QString trimmed = folder;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed;
}

bool CFolderLister::List(const QString& folder, std::vector<FolderEntry>& entries)
{
    entries.clear();
    DIR* dir = ::opendir(FileNameBytes(folder).constData());
    if (!dir)
        return false;
    const int dirFd = ::dirfd(dir);
    while (const dirent* item = ::readdir(dir)) {
        const char* name = item->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat st {};
        FolderEntry entry;
        if (::fstatat(dirFd, name, &st, 0) != 0) {
            const int error = errno;
            struct stat link {};
            if ((error != ENOENT && error != ELOOP) || ::fstatat(dirFd, name, &link, AT_SYMLINK_NOFOLLOW) != 0
                || !S_ISLNK(link.st_mode))
                continue;
            entry.Name = FileNameFromBytes(name);
            entry.Dangling = error == ENOENT;
            entry.Loops = error == ELOOP;
            entries.push_back(std::move(entry));
            continue;
        }
        entry.Name = FileNameFromBytes(name);
        entry.IsDir = S_ISDIR(st.st_mode);
        entry.Size = st.st_size;
        entry.Device = st.st_dev;
        entry.Inode = st.st_ino;
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const int c = a.Name.compare(b.Name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.Name < b.Name;
    });
    return true;
}

bool CFolderLister::Identify(const QString& folder, std::uint64_t& device, std::uint64_t& inode)
{
    struct stat st {};
    if (::stat(FileNameBytes(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    device = st.st_dev;
    inode = st.st_ino;
    return true;
}

CFolderLister& DefaultFolderLister()
{
    static CFolderLister lister;
    return lister;
}

bool CFolderWalk::Walk(const QString& folder, const std::function<bool(const WalkItem&)>& visit)
{
    m_descent.clear();
    FolderId id;
    if (!m_lister.Identify(folder, id.first, id.second))
        return true;
    m_descent.insert(id);
    const bool whole = walk(TrimFolderPath(folder), 0, visit);
    m_descent.clear();
    return whole;
}

bool CFolderWalk::walk(const QString& folder, int depth, const std::function<bool(const WalkItem&)>& visit)
{
    if (stopped() || (m_before && !m_before()))
        return false;
    std::vector<FolderEntry> entries;
    if (!m_lister.List(folder, entries)) {
        if (m_leftOut)
            m_leftOut->Unreadable.append(folder);
        return true;
    }
    for (const FolderEntry& entry : entries) {
        if (stopped())
            return false;
        WalkItem item{joinPath(folder, entry.Name), depth + 1, entry.IsDir, entry.Size};
        if (entry.Dangling || entry.Loops) {
            if (m_leftOut)
                (entry.Loops ? m_leftOut->Loops : m_leftOut->Dangling).append(item.Path);
            continue;
        }
        if (!entry.IsDir) {
            if (!visit(item))
                return false;
            continue;
        }
        const FolderId id(entry.Device, entry.Inode);
        if (m_descent.count(id) != 0) {
            if (m_leftOut)
                m_leftOut->Loops.append(item.Path);
            continue;
        }
        if (depth + 1 > kMaxFolderDepth)
            continue;
        if (!visit(item))
            return false;
        m_descent.insert(id);
        const bool whole = walk(item.Path, depth + 1, visit);
        m_descent.erase(id);
        if (!whole)
            return false;
    }
    return true;
}

QString WalkLeftOutText(const WalkLeftOut& leftOut)
{
    constexpr int kShown = 5;  // names shown of each kind; the rest are counted
    QStringList parts;
    const auto part = [&](const QStringList& paths, const QString& what) {
        if (paths.isEmpty())
            return;
        QStringList lines{QStringLiteral("%1 %2개:").arg(what).arg(paths.size())};
        for (const QString& path : paths.mid(0, kShown))
            lines.append(QStringLiteral("  ") + ReadableFileName(path));
        if (paths.size() > kShown)
            lines.append(QStringLiteral("  ... 외 %1개").arg(paths.size() - kShown));
        parts.append(lines.join(QLatin1Char('\n')));
    };
    part(leftOut.Unreadable, QStringLiteral("읽을 수 없는 폴더"));
    part(leftOut.Loops, QStringLiteral("자기 자신으로 돌아가는 링크"));
    part(leftOut.Dangling, QStringLiteral("가리키는 곳이 없는 링크"));
    part(leftOut.Small, QStringLiteral("256바이트보다 작아 페이지에 넣지 않은 음악 파일"));
    part(leftOut.Missing, QStringLiteral("목록 파일에 적혀 있으나 찾을 수 없는 파일"));
    part(leftOut.Lists, QStringLiteral("읽을 수 없는 목록 파일"));
    if (parts.isEmpty())
        return {};
    return QStringLiteral("넣지 못한 것이 있습니다.\n") + parts.join(QLatin1Char('\n'));
}

std::intptr_t PageValue(const WalkItem& item, int baseDepth)
{
    if (item.IsDir)
        return baseDepth + item.Depth;
    if (item.Size < 256)
        return -1;
    return baseDepth + item.Depth + FileValueBase;
}

void CFolderWalk::CollectTree(TStringList& list, const QString& folder, int depth)
{
    Walk(folder, [&](const WalkItem& item) {
        if (item.IsDir && depth + item.Depth > kMaxFolderDepth)
            return true;
        const std::intptr_t value = PageValue(item, depth);
        if (value >= 0)
            list.AddObject(item.Path, value);
        return true;
    });
}

void CFolderWalk::CollectFiles(TStringList& list, const QString& folder)
{
    Walk(folder, [&](const WalkItem& item) {
        if (!item.IsDir)
            list.Add(item.Path);
        return true;
    });
}
