#include "ReplayGainFile.h"

#include "TagReader.h"

#include <QFileInfo>

#include <optional>

float SongReplayGain(const QString& path, const QString& before, const QString& after)
{
    const ReplayGainTags tags = ReadReplayGainTags(path);
    // Only a song with both gains plays differently beside its album.
    if (!tags.trackGainDb || !tags.albumGainDb)
        return ReplayGainFactor(tags, false);
    const QString folder = QFileInfo(path).path();
    std::optional<QString> album;  // read once, and only when a neighbour shares the folder
    for (const QString& neighbour : {before, after}) {
        if (neighbour.isEmpty() || neighbour == path || QFileInfo(neighbour).path() != folder)
            continue;
        if (!album)
            album = ReadFileTags(path).album;
        if (album->isEmpty())
            break;
        if (ReadFileTags(neighbour).album == *album)
            return ReplayGainFactor(tags, true);
    }
    return ReplayGainFactor(tags, false);
}
