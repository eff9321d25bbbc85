#include "DropWalk.h"

#include <QFile>

#include <algorithm>
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
    static const std::array<QString, 8> extensions = {
        QStringLiteral(".mp3"), QStringLiteral(".ogg"), QStringLiteral(".wav"), QStringLiteral(".asf"),
        QStringLiteral(".mp2"), QStringLiteral(".wma"), QStringLiteral(".cda"), QStringLiteral(".aiff"),
    };
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return false;
    const QString extension = path.mid(dot).toLower();
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
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
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    const int dirFd = ::dirfd(dir);
    while (const dirent* item = ::readdir(dir)) {
        const char* name = item->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat st {};
        if (::fstatat(dirFd, name, &st, 0) != 0)
            continue;
        FolderEntry entry;
        entry.Name = QFile::decodeName(name);
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
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
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

bool CFolderWalk::enter(const QString& folder, FolderId& id)
{
    if (!lister_.Identify(folder, id.first, id.second))
        return false;
    return descent_.insert(id).second;
}

void CFolderWalk::CollectTree(TStringList& list, const QString& folder, int depth)
{
    descent_.clear();
    FolderId id;
    if (!enter(folder, id))
        return;
    collectTree(list, TrimFolderPath(folder), depth);
    descent_.erase(id);
}

void CFolderWalk::collectTree(TStringList& list, const QString& folder, int depth)
{
    std::vector<FolderEntry> entries;
    if (!lister_.List(folder, entries))
        return;
    for (const FolderEntry& entry : entries) {
        const QString path = joinPath(folder, entry.Name);
        if (entry.IsDir) {
            if (depth + 1 > kMaxFolderDepth)
                continue;
            const FolderId id(entry.Device, entry.Inode);
            if (!descent_.insert(id).second)
                continue;
            list.AddObject(path, depth + 1);
            collectTree(list, path, depth + 1);
            descent_.erase(id);
        } else if (entry.Size >= 256) {
            list.AddObject(path, depth + FileValueBase + 1);
        }
    }
}

void CFolderWalk::CollectFiles(TStringList& list, const QString& folder)
{
    descent_.clear();
    FolderId id;
    if (!enter(folder, id))
        return;
    collectFiles(list, TrimFolderPath(folder), 0);
    descent_.erase(id);
}

void CFolderWalk::collectFiles(TStringList& list, const QString& folder, int depth)
{
    std::vector<FolderEntry> entries;
    if (!lister_.List(folder, entries))
        return;
    for (const FolderEntry& entry : entries) {
        const QString path = joinPath(folder, entry.Name);
        if (entry.IsDir) {
            const FolderId id(entry.Device, entry.Inode);
            if (depth + 1 > kMaxFolderDepth || !descent_.insert(id).second)
                continue;
            collectFiles(list, path, depth + 1);
            descent_.erase(id);
        } else {
            list.Add(path);
        }
    }
}
