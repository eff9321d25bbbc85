#pragma once
// Playlist files a listener hands the program: M3U (".m3u", its lines in code page 949
// or UTF-8, as "Temprary.txt" is read), M3U8 (".m3u8", always UTF-8) and PLS (".pls").
// They are not music: they stay out of the music-format table, and what they name is
// added by the rules of a drop: `ExpandPlaylistFiles` puts what a list names in its place
// among the dropped or handed paths, before anything else sees them.

#include <QByteArray>
#include <QString>
#include <QStringList>

enum class PlaylistFileKind { None, M3u, M3u8, Pls };

// The kind a path names by its extension (any letter case); None for any other file.
PlaylistFileKind PlaylistFileKindOf(const QString& path);

// The entries of a playlist file of `kind` holding `bytes`, in order, as absolute paths:
// a relative one is taken from `folder` (the playlist's own folder), a "file:" URL is
// the local path it names; comments (M3U lines starting with "#", #EXTINF included),
// empty lines and other URLs (http: and the like) are left out. PLS entries are its
// FileN keys in the order of N.
QStringList PlaylistFileEntries(const QByteArray& bytes, PlaylistFileKind kind, const QString& folder);

// What a drop or a hand-over adds: `paths` with every playlist file among them replaced
// by the entries it names, in place and in order. A playlist named inside one is
// followed once (what it names is taken, but not lists inside it); a list is read up to
// kPlaylistReadLimit bytes and only when it is a regular file. Entries that name
// nothing that exists go to `missing`, lists that cannot be read to `unreadable`
// (either may be null). Paths that are not playlists pass unchanged: a playlist found
// inside a dropped folder is the walk's business, which leaves it out as not music.
QStringList ExpandPlaylistFiles(const QStringList& paths, QStringList* missing, QStringList* unreadable);
constexpr qint64 kPlaylistReadLimit = 16 * 1024 * 1024;
