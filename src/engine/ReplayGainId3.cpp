// ReplayGain in MP3 files: ID3v2 TXXX frames at the start, an APEv2 tag at the end.

#include "ReplayGainSource.h"

#include <string>

namespace replaygain {

namespace {

constexpr std::size_t kId3HeaderBytes = 10;
// A text holding a loudness is a few dozen bytes; longer ones are something else.
constexpr std::size_t kLongestTextFrameBytes = 4096;
// A tag unsynchronised as a whole (v2.2, v2.3) is read at most this far.
constexpr std::size_t kLongestUnsyncTagBytes = 128 * 1024;
constexpr std::size_t kApeFooterBytes = 32;
constexpr std::size_t kId3v1Bytes = 128;

std::uint32_t syncsafe(std::string_view bytes)
{
    return (std::uint32_t(bytes[0] & 0x7F) << 21) | (std::uint32_t(bytes[1] & 0x7F) << 14)
        | (std::uint32_t(bytes[2] & 0x7F) << 7) | std::uint32_t(bytes[3] & 0x7F);
}

bool isSyncsafe(std::string_view bytes)
{
    for (char c : bytes.substr(0, 4))
        if (static_cast<unsigned char>(c) & 0x80)
            return false;
    return true;
}

std::string withoutUnsync(std::string_view bytes)
{
    std::string result;
    result.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        result += bytes[i];
        if (static_cast<unsigned char>(bytes[i]) == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0)
            ++i;
    }
    return result;
}

// One string of a text frame in the given ID3 encoding, up to its terminator; `text`
// is advanced past the terminator. Characters beyond ASCII become '?': the keys and
// numbers of loudness tags are ASCII, and nothing else must pass for them.
std::string takeString(std::string_view& text, int encoding)
{
    std::string result;
    if (encoding == 1 || encoding == 2) {
        bool bigEndian = encoding == 2;
        std::size_t i = 0;
        if (encoding == 1 && text.size() >= 2) {
            const auto b0 = static_cast<unsigned char>(text[0]), b1 = static_cast<unsigned char>(text[1]);
            if ((b0 == 0xFE && b1 == 0xFF) || (b0 == 0xFF && b1 == 0xFE)) {
                bigEndian = b0 == 0xFE;
                i = 2;
            }
        }
        for (; i + 1 < text.size(); i += 2) {
            const auto hi = static_cast<unsigned char>(text[bigEndian ? i : i + 1]);
            const auto lo = static_cast<unsigned char>(text[bigEndian ? i + 1 : i]);
            if (hi == 0 && lo == 0) {
                i += 2;
                break;
            }
            result += hi == 0 && lo < 0x80 ? static_cast<char>(lo) : '?';
        }
        text.remove_prefix(std::min(i, text.size()));
        return result;
    }
    const std::size_t end = text.find('\0');
    result = std::string(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return result;
}

// A user text frame: encoding, description, value (the first one, where v2.4 has more).
void takeUserText(std::string_view body, ReplayGainTags& tags)
{
    if (body.empty())
        return;
    const int encoding = static_cast<unsigned char>(body[0]);
    if (encoding > 3)
        return;
    body.remove_prefix(1);
    const std::string key = takeString(body, encoding);
    const std::string value = takeString(body, encoding);
    TakeReplayGainTag(tags, key, value);
}

bool isFrameId(std::string_view id)
{
    for (char c : id)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

struct Frames {
    int version = 0;
    bool unsyncAll = false; // every frame of a v2.4 tag is unsynchronised
    std::uint64_t end = 0;
};

// Where a frame may start: the end of the frames, padding or a frame header.
bool frameCanStartAt(ByteSource& source, const Frames& frames, std::uint64_t offset)
{
    if (offset == frames.end)
        return true;
    if (offset > frames.end || frames.end - offset < kId3HeaderBytes)
        return false;
    const auto header = source.Bytes(offset, 4);
    return header && ((*header)[0] == 0 || isFrameId(*header));
}

void readFrames(ByteSource& source, std::uint64_t offset, const Frames& frames, ReplayGainTags& tags)
{
    const std::size_t idBytes = frames.version == 2 ? 3 : 4;
    const std::size_t headerBytes = frames.version == 2 ? 6 : 10;
    while (offset < frames.end && frames.end - offset >= headerBytes) {
        const auto view = source.Bytes(offset, headerBytes);
        if (!view)
            return;
        const std::string header(*view);
        const std::string_view id = std::string_view(header).substr(0, idBytes);
        if (header[0] == 0 || !isFrameId(id))
            return; // padding, or no frame
        std::uint64_t size = 0;
        if (frames.version == 2) {
            size = BigEndian(std::string_view(header).substr(3), 3);
        } else if (frames.version == 3) {
            size = BigEndian(std::string_view(header).substr(4), 4);
        } else {
            // Sizes are syncsafe in v2.4, but some writers put plain ones there.
            const std::string_view sizeBytes = std::string_view(header).substr(4, 4);
            const std::uint64_t plain = BigEndian(sizeBytes, 4);
            size = isSyncsafe(sizeBytes) ? syncsafe(sizeBytes) : plain;
            if (size != plain && !frameCanStartAt(source, frames, offset + headerBytes + size)
                && frameCanStartAt(source, frames, offset + headerBytes + plain))
                size = plain;
        }
        const std::uint64_t bodyStart = offset + headerBytes;
        if (size > frames.end - bodyStart)
            return;
        offset = bodyStart + size;
        if (id != "TXXX" && id != "TXX")
            continue;
        if (size > kLongestTextFrameBytes)
            continue;
        const auto body = source.Bytes(bodyStart, static_cast<std::size_t>(size));
        if (!body)
            return;
        std::string_view text = *body;
        bool unsync = false;
        if (frames.version >= 3) {
            const auto format = static_cast<unsigned char>(header[9]);
            const bool v4 = frames.version == 4;
            const bool compressed = format & (v4 ? 0x08 : 0x80);
            const bool encrypted = format & (v4 ? 0x04 : 0x40);
            if (compressed || encrypted)
                continue;
            if (format & (v4 ? 0x40 : 0x20))
                text.remove_prefix(std::min<std::size_t>(1, text.size())); // group id
            if (v4 && (format & 0x01))
                text.remove_prefix(std::min<std::size_t>(4, text.size())); // data length
            unsync = v4 && (frames.unsyncAll || (format & 0x02));
        }
        takeUserText(unsync ? std::string_view(withoutUnsync(text)) : text, tags);
    }
}

} // namespace

std::uint64_t ReadId3v2(ByteSource& source, std::uint64_t offset, ReplayGainTags& tags)
{
    const auto view = source.Bytes(offset, kId3HeaderBytes);
    if (!view || !view->starts_with("ID3"))
        return offset;
    const std::string header(*view);
    const int version = static_cast<unsigned char>(header[3]);
    const auto flags = static_cast<unsigned char>(header[5]);
    const std::string_view sizeBytes = std::string_view(header).substr(6, 4);
    if (version < 2 || version > 4 || !isSyncsafe(sizeBytes))
        return offset;
    const std::uint64_t start = offset + kId3HeaderBytes;
    const std::uint64_t end = start + syncsafe(sizeBytes) + (version == 4 && (flags & 0x10) ? kId3HeaderBytes : 0);
    const bool unsync = flags & 0x80;
    if (version == 2 && (flags & 0x40))
        return end; // compressed, with no scheme ever defined
    Frames frames{version, version == 4 && unsync, std::min(end, source.FileBytes())};

    if (unsync && version < 4) {
        // The whole tag, frame headers included, is unsynchronised: undo it in memory.
        const std::uint64_t stored = std::min<std::uint64_t>(frames.end - start, kLongestUnsyncTagBytes);
        const auto bytes = source.Bytes(start, static_cast<std::size_t>(stored));
        if (!bytes)
            return end;
        const std::string plain = withoutUnsync(*bytes);
        const ReadAtFunction readPlain = [&plain](std::uint64_t at, std::size_t count) {
            return at < plain.size() ? plain.substr(static_cast<std::size_t>(at), count) : std::string();
        };
        ByteSource memory(readPlain, plain.size());
        std::uint64_t first = 0;
        if (flags & 0x40) { // v2.3 extended header: its size, then that many bytes
            const auto size = memory.Bytes(0, 4);
            first = size ? 4 + std::uint64_t(BigEndian(*size, 4)) : plain.size();
        }
        readFrames(memory, first, Frames{version, false, plain.size()}, tags);
        return end;
    }

    std::uint64_t first = start;
    if (flags & 0x40) {
        const auto size = source.Bytes(start, 4);
        if (!size)
            return end;
        // v2.4 counts the extended header's own size (syncsafe), v2.3 does not.
        first = version == 4 ? start + syncsafe(*size) : start + 4 + BigEndian(*size, 4);
    }
    readFrames(source, first, frames, tags);
    return end;
}

void ReadApeTag(ByteSource& source, ReplayGainTags& tags)
{
    std::uint64_t end = source.FileBytes();
    if (end >= kId3v1Bytes && source.Has(end - kId3v1Bytes, "TAG"))
        end -= kId3v1Bytes;
    if (end < kApeFooterBytes)
        return;
    const std::uint64_t footerOffset = end - kApeFooterBytes;
    const auto view = source.Bytes(footerOffset, kApeFooterBytes);
    if (!view || !view->starts_with("APETAGEX"))
        return;
    const std::string footer(*view);
    // The size counts the items and the footer, not the optional header.
    const std::uint32_t tagBytes = LittleEndian32(std::string_view(footer).substr(12));
    std::uint32_t itemCount = LittleEndian32(std::string_view(footer).substr(16));
    if (tagBytes < kApeFooterBytes || tagBytes > end)
        return;
    // Each item: value size, flags, a NUL-ended key of at most 255 bytes, then the
    // value. Long values (cover art) are stepped over.
    for (std::uint64_t offset = end - tagBytes; itemCount > 0 && footerOffset - offset >= 8; --itemCount) {
        const auto head = source.Bytes(offset, static_cast<std::size_t>(std::min<std::uint64_t>(footerOffset - offset, 8 + 256)));
        if (!head)
            return;
        const std::uint32_t valueBytes = LittleEndian32(*head);
        const std::uint32_t itemFlags = LittleEndian32(head->substr(4));
        const std::size_t keyEnd = head->find('\0', 8);
        if (keyEnd == std::string_view::npos)
            return;
        const std::string key(head->substr(8, keyEnd - 8));
        const std::uint64_t valueOffset = offset + keyEnd + 1;
        if (valueBytes > footerOffset - valueOffset)
            return;
        offset = valueOffset + valueBytes;
        if ((itemFlags & 0x06) != 0 || valueBytes > kLongestTextFrameBytes)
            continue; // binary, a link, or too long to be a loudness
        const auto value = source.Bytes(valueOffset, valueBytes);
        if (!value)
            return;
        TakeReplayGainTag(tags, key, value->substr(0, value->find('\0')));
    }
}

} // namespace replaygain
