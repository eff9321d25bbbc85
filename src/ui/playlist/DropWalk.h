#pragma once
// The folder walks that turn a dropped folder into playlist entries, and the music
// file test. Nothing here touches a widget.

#include "StringList.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

// True when the extension (from the last dot of the last path component, compared
// lower-cased) is one of .mp3 .ogg .wav .asf .mp2 .wma .cda .aiff.
bool IsMusicFile(const QString& path);

// One name in a folder, as the walks need it. Symbolic links are followed: a link
// to a folder is a folder, a link to a file has that file's size.
struct FolderEntry {
    QString Name;
    bool IsDir = false;
    std::int64_t Size = 0;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
};

// Lists folders for the walks. The default reads the file system; tests replace it
// to make a folder fail.
class CFolderLister {
public:
    virtual ~CFolderLister() = default;
    // Every name except "." and "..", sorted case-insensitively, then by code point.
    // readdir's order is the file system's hash order; users expect a dropped album
    // to arrive in the order the file manager shows. False when the folder cannot
    // be read; names that vanish or cannot be examined meanwhile are left out.
    virtual bool List(const QString& folder, std::vector<FolderEntry>& entries);
    // The identity of a folder, to recognise it when a link leads back into it.
    virtual bool Identify(const QString& folder, std::uint64_t& device, std::uint64_t& inode);
};

CFolderLister& DefaultFolderLister();

// Values of the page walk: 0 is the dropped folder, d (1..999) a folder at depth d,
// 1000 + d + 1 a file in a folder of depth d.
constexpr std::intptr_t FileValueBase = 1000;

// A folder's path with the separators it ends with removed ("/" stays "/").
QString TrimFolderPath(const QString& folder);

// The walks keep the folders of the current descent, so a link back into one of
// them is not followed again (a link loop would otherwise never end), and stop at
// the depth whose value would look like a file's.
class CFolderWalk {
public:
    explicit CFolderWalk(CFolderLister& lister) : lister_(lister) {}

    // Appends (path, value) pairs for a page: folders with their depth, files of at
    // least 256 bytes with 1000 + depth + 1. `folder` itself is not appended.
    void CollectTree(TStringList& list, const QString& folder, int depth);
    // Appends the path of every name below `folder` that is not a folder.
    void CollectFiles(TStringList& list, const QString& folder);

private:
    using FolderId = std::pair<std::uint64_t, std::uint64_t>;
    bool enter(const QString& folder, FolderId& id);
    void collectTree(TStringList& list, const QString& folder, int depth);
    void collectFiles(TStringList& list, const QString& folder, int depth);

    CFolderLister& lister_;
    std::set<FolderId> descent_;
};
