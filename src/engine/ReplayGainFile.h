#pragma once
// The ReplayGain tags of a song file, read from its container without any decoder
// library, so that knowing a song's loudness maps nothing that playing it would not:
//
// - MP3 and anything that starts with an ID3v2 tag: ID3v2.2/2.3/2.4 TXXX frames, else an
//   APEv2 tag at the end (before an ID3v1 tag); a FLAC stream after the ID3v2 tag is read
//   as FLAC;
// - FLAC: the VORBIS_COMMENT block;
// - Ogg Vorbis and Ogg Opus: the comment header of the first logical stream;
// - MP4/M4A: moov/udta/meta/ilst freeform ("----") items of mean "com.apple.iTunes";
// - anything else (WAV, AIFF, ...): no tags.
//
// Reads are bounded: at most kReplayGainReadBytes of the file are read in all, whatever
// its lengths fields say, and big parts (cover art, audio) are stepped over, not read.
// Damaged input gives fewer tags or none. Pure apart from the file; any thread.

#include "ReplayGain.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

inline constexpr std::size_t kReplayGainReadBytes = 256 * 1024;

// Empty for a path that is not a regular file (FIFOs, devices and folders are not read)
// or cannot be opened.
ReplayGainTags ReadReplayGainTags(const QString& path);

// The same over any random-access bytes: `readAt(offset, bytes)` gives up to `bytes`
// bytes from `offset` (fewer at the end or on a failure); `fileBytes` is the length.
using ReadAtFunction = std::function<std::string(std::uint64_t offset, std::size_t bytes)>;
ReplayGainTags ReadReplayGainTags(const ReadAtFunction& readAt, std::uint64_t fileBytes);

// The factor a song plays at with ReplayGain on: its album gain when the song before or
// after it in the list (either may be empty) is of the same album, i.e. lies in the same
// folder and has the same album tag, not empty; else its track gain (each falling back to
// the other when the tags have only one); 1 without tags. Reads the song's tags and, when
// that can decide anything, the album tags of the neighbours in its folder. Any thread
// but the window thread: a slow disk keeps it as long as it keeps the reads.
float SongReplayGain(const QString& path, const QString& before, const QString& after);
