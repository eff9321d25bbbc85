#include "FormatSniff.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace fsound {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// An MPEG audio frame header of layer III: sync, a valid version, bit rate and rate.
bool isLayer3Header(const unsigned char* h)
{
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return false;
    const int version = (h[1] >> 3) & 3;
    const int layer = (h[1] >> 1) & 3;
    const int bitRate = h[2] >> 4;
    const int rate = (h[2] >> 2) & 3;
    return version != 1 && layer == 1 && bitRate != 15 && rate != 3;
}

bool hasExtension(const std::string& path, const char* ext)
{
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return false;
    std::string tail = path.substr(dot + 1);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ext;
}

} // namespace

DecoderKind SniffDecoderKind(const std::string& path)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return DecoderKind::Ffmpeg;
    unsigned char head[64] = {};
    std::size_t got = std::fread(head, 1, sizeof head, file.get());
    if (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0)
        return DecoderKind::Wave;
    if (got >= 12 && std::memcmp(head, "FORM", 4) == 0
        && (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0))
        return DecoderKind::Wave;
    if (got >= 4 && std::memcmp(head, "fLaC", 4) == 0)
        return DecoderKind::Flac;
    if (got >= 36 && std::memcmp(head, "OggS", 4) == 0) {
        // The first page holds the first packet only; it names the codec. A segment
        // table longer than what was read (a damaged page) names nothing.
        const std::size_t packetAt = 27 + static_cast<std::size_t>(head[26]);
        const unsigned char* packet = head + std::min(packetAt, got);
        const std::size_t left = packetAt < got ? got - packetAt : 0;
        if (left >= 7 && std::memcmp(packet, "\x01vorbis", 7) == 0)
            return DecoderKind::Vorbis;
        if (left >= 8 && std::memcmp(packet, "OpusHead", 8) == 0)
            return DecoderKind::Opus;
        return DecoderKind::Ffmpeg;
    }
    // MP3: an ID3v2 tag (skipped by its size), then a layer III frame.
    long offset = 0;
    if (got >= 10 && std::memcmp(head, "ID3", 3) == 0) {
        const long size = (head[6] & 0x7F) << 21 | (head[7] & 0x7F) << 14 | (head[8] & 0x7F) << 7 | (head[9] & 0x7F);
        offset = 10 + size + ((head[5] & 0x10) ? 10 : 0);
        if (std::fseek(file.get(), offset, SEEK_SET) != 0)
            return DecoderKind::Ffmpeg;
        got = std::fread(head, 1, sizeof head, file.get());
    }
    if (got >= 4 && isLayer3Header(head))
        return DecoderKind::Mpg123;
    // Some MP3s have junk before their first frame; libmpg123 looks for it.
    if (offset > 0 || hasExtension(path, "mp3"))
        return (got >= 4 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0) ? DecoderKind::Ffmpeg : DecoderKind::Mpg123;
    return DecoderKind::Ffmpeg;
}

} // namespace fsound
