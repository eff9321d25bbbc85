#pragma once
// The music-file test of drops, the command line and the file dialog, from one fixed
// table of extensions (MusicFormats.def). Nothing is asked of a decoder: the table is
// what the decoders play. Safe from any thread.

#include <QString>
#include <QStringList>

#include <vector>

struct MusicFormat {
    const char* Extension;  // lower case, without the dot
    const char* MimeTypes;  // ';'-separated, may be empty
};

// Every row of the table, in its order.
const std::vector<MusicFormat>& MusicFormats();

// True when the name's extension (from the last dot after the last '/', compared
// lower-cased) is one of the table's.
bool IsMusicFileName(const QString& path);

// Every MIME type of the table, each once, in the table's order: what the media controls
// advertise. The desktop entry's MimeType is made from the same table by the build.
QStringList MusicMimeTypes();

// The file dialog's filters: all music files first, then one per extension, then
// every file ("*.* (*)").
QStringList MusicFileDialogFilters();
