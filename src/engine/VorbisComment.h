#pragma once
// The "KEY=value" comments of Vorbis, Opus and FLAC files, as the modules of those
// formats read them (header-only: each module is built on its own).

#include "DecodeModule.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace fsound {

// Fills the slot of `set` the comment names, when still empty.
inline void TakeVorbisComment(std::string_view entry, RawTagSet& set)
{
    const auto equals = entry.find('=');
    if (equals == std::string_view::npos)
        return;
    std::string key(entry.substr(0, equals));
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
    const int slot = key == "TITLE" ? 0
        : key == "ARTIST"           ? 1
        : key == "ALBUMARTIST" || key == "ALBUM ARTIST" ? 2
        : key == "ALBUM"            ? 3
                                    : -1;
    if (slot >= 0 && set[static_cast<std::size_t>(slot)].empty())
        set[static_cast<std::size_t>(slot)] = std::string(entry.substr(equals + 1));
}

} // namespace fsound
