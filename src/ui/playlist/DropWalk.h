#pragma once
// The folder walk that turns a dropped folder into playlist entries, and the music
// file test. Nothing here touches a widget; a walk may run on any thread.

#include "StringList.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <set>
#include <utility>
#include <vector>

// True when the extension (from the last dot of the last path component, compared
// lower-cased) is one of the music extensions (MusicFormats.h).
bool IsMusicFile(const QString& path);

// One name in a folder, as the walks need it. Symbolic links are followed: a link
// to a folder is a folder, a link to a file has that file's size.
struct FolderEntry {
    QString Name;
    bool IsDir = false;
    // A symbolic link that leads nowhere (Loops: to itself, over and over); nothing else
    // of it is known.
    bool Dangling = false;
    bool Loops = false;
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
    // be read; names that vanish or cannot be examined meanwhile are left out, except
    // links that lead nowhere, which are listed as Dangling (or Loops).
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

// What a walk leaves out and the listener is told of, one drop at a time.
struct WalkLeftOut {
    QStringList Unreadable;  // folders that could not be listed
    QStringList Loops;       // links that lead back into a folder of their own descent, or to themselves
    QStringList Dangling;    // links that lead nowhere
    QStringList Small;       // music files under 256 bytes, which a page leaves out
    QStringList Missing;     // what a dropped playlist file names that does not exist
    QStringList Lists;       // playlist files that could not be read
};

// The summary of what a drop left out; empty when nothing was.
QString WalkLeftOutText(const WalkLeftOut& leftOut);

// One name met by a walk: a folder (met before what it holds) or anything else.
struct WalkItem {
    QString Path;
    int Depth = 0;        // 1 for the names in the walked folder itself
    bool IsDir = false;
    std::int64_t Size = 0;
};

// The one folder walk. It keeps the folders of the current descent, so a link back
// into one of them is not followed again (a link loop would otherwise never end), and
// stops at the depth whose page value would look like a file's.
class CFolderWalk {
public:
    explicit CFolderWalk(CFolderLister& lister, const std::atomic<bool>* stop = nullptr)
        : m_lister(lister), m_stop(stop) {}

    // Visits every name below `folder`, depth first, each folder's names in the
    // lister's order, a folder before its contents. `visit` returns false to end the
    // walk; so does `stop` becoming true. False when the walk was ended early.
    bool Walk(const QString& folder, const std::function<bool(const WalkItem&)>& visit);

    // Runs before each folder is listed (a listing may take long on a slow disk);
    // returning false ends the walk.
    void SetBeforeListing(std::function<bool()> before) { m_before = std::move(before); }
    // Where the walk notes what it leaves out (unreadable folders, loops, dangling
    // links); null for nowhere. Not owned.
    void SetLeftOut(WalkLeftOut* leftOut) { m_leftOut = leftOut; }

    // The walk as (path, value) pairs for a page: folders with their depth, files of
    // at least 256 bytes with 1000 + depth + 1. `folder` itself is not appended.
    void CollectTree(TStringList& list, const QString& folder, int depth);
    // The walk's names that are not folders, for the temporary list.
    void CollectFiles(TStringList& list, const QString& folder);

private:
    using FolderId = std::pair<std::uint64_t, std::uint64_t>;
    bool walk(const QString& folder, int depth, const std::function<bool(const WalkItem&)>& visit);
    bool stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }

    CFolderLister& m_lister;
    const std::atomic<bool>* m_stop;
    std::function<bool()> m_before;
    WalkLeftOut* m_leftOut = nullptr;
    std::set<FolderId> m_descent;
};

// The page value of a walked name (see FileValueBase); -1 for a file too small for a
// page (under 256 bytes).
std::intptr_t PageValue(const WalkItem& item, int baseDepth = 0);
