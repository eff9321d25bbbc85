#include "ReplayGainFile.h"

#include "FileName.h"
#include "ReplayGainSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string>
#include <vector>

namespace replaygain {

namespace {

// Small reads fetch this much, so that walking headers costs one read per few of them.
constexpr std::size_t kReadAheadBytes = 512;
// A comment holding a loudness is short; longer ones (cover art) are stepped over.
constexpr std::uint32_t kLongestCommentBytes = 1024;

// The bytes of one part of a file or of a packet, read front to back.
class Stream {
public:
    virtual ~Stream() = default;
    // Exactly `bytes` more bytes; nothing when the part ends first.
    virtual std::optional<std::string> Read(std::size_t bytes) = 0;
    virtual bool Skip(std::uint64_t bytes) = 0;
};

class FileRange final : public Stream {
public:
    FileRange(ByteSource& source, std::uint64_t offset, std::uint64_t end)
        : m_source(source), m_offset(offset), m_end(end) { }

    std::optional<std::string> Read(std::size_t bytes) override
    {
        if (bytes > m_end - m_offset)
            return std::nullopt;
        const auto view = m_source.Bytes(m_offset, bytes);
        if (!view)
            return std::nullopt;
        m_offset += bytes;
        return std::string(*view);
    }
    bool Skip(std::uint64_t bytes) override
    {
        if (bytes > m_end - m_offset)
            return false;
        m_offset += bytes;
        return true;
    }

private:
    ByteSource& m_source;
    std::uint64_t m_offset;
    const std::uint64_t m_end;
};

// The packets of one logical Ogg stream, which may run over any number of pages. Pages
// of other streams are passed over; page checksums are not checked.
class OggPackets final : public Stream {
public:
    explicit OggPackets(ByteSource& source) : m_source(source) { }

    // Moves to the start of the next packet (the first one on the first call).
    bool NextPacket()
    {
        if (!m_started) {
            m_started = true;
            return nextSegment();
        }
        while (!(m_left == 0 && packetEndsHere())) {
            if (m_left > 0) {
                m_offset += m_left;
                m_left = 0;
            } else if (!nextSegment()) {
                return false;
            }
        }
        return nextSegment();
    }

    std::optional<std::string> Read(std::size_t bytes) override
    {
        std::string result;
        while (result.size() < bytes) {
            if (!refill())
                return std::nullopt;
            const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(m_left, bytes - result.size()));
            const auto view = m_source.Bytes(m_offset, take);
            if (!view)
                return std::nullopt;
            result += *view;
            m_offset += take;
            m_left -= take;
        }
        return result;
    }

    bool Skip(std::uint64_t bytes) override
    {
        while (bytes > 0) {
            if (!refill())
                return false;
            const std::uint64_t take = std::min<std::uint64_t>(m_left, bytes);
            m_offset += take;
            m_left -= take;
            bytes -= take;
        }
        return true;
    }

private:
    bool packetEndsHere() const { return m_segments[m_segment] < 255; }

    // Makes the current segment have bytes left, within the packet.
    bool refill()
    {
        while (m_left == 0) {
            if (!m_started || packetEndsHere() || !nextSegment())
                return false;
        }
        return true;
    }

    bool nextSegment()
    {
        if (m_segment + 1 < m_segments.size()) {
            ++m_segment;
            m_left = m_segments[m_segment];
            return true;
        }
        return nextPage();
    }

    // The next page of our stream (the first page's stream becomes ours), at its first
    // segment.
    bool nextPage()
    {
        for (;;) {
            const auto header = m_source.Bytes(m_nextPage, 27);
            if (!header || !header->starts_with("OggS") || (*header)[4] != 0)
                return false;
            const std::uint32_t serial = LittleEndian32(header->substr(14));
            const auto count = static_cast<unsigned char>((*header)[26]);
            const auto lacing = m_source.Bytes(m_nextPage + 27, count);
            if (!lacing)
                return false;
            std::uint64_t dataBytes = 0;
            for (char c : *lacing)
                dataBytes += static_cast<unsigned char>(c);
            const std::uint64_t data = m_nextPage + 27 + count;
            const bool ours = !m_haveSerial || serial == m_serial;
            if (ours && count > 0) {
                m_segments.assign(lacing->begin(), lacing->end());
                m_haveSerial = true;
                m_serial = serial;
                m_segment = 0;
                m_left = m_segments[0];
                m_offset = data;
                m_nextPage = data + dataBytes;
                return true;
            }
            m_nextPage = data + dataBytes;
        }
    }

    ByteSource& m_source;
    bool m_started = false;
    bool m_haveSerial = false;
    std::uint32_t m_serial = 0;
    std::uint64_t m_nextPage = 0;
    std::vector<unsigned char> m_segments;
    std::size_t m_segment = 0;
    std::uint64_t m_offset = 0; // file offset of the next byte of the current segment
    std::uint64_t m_left = 0;   // bytes of the current segment not yet taken
};

// "vendor, count, count times KEY=value", each string after its little-endian length.
void readVorbisComment(Stream& stream, ReplayGainTags& tags)
{
    const auto vendor = stream.Read(4);
    if (!vendor || !stream.Skip(LittleEndian32(*vendor)))
        return;
    const auto count = stream.Read(4);
    if (!count)
        return;
    for (std::uint32_t i = LittleEndian32(*count); i > 0; --i) {
        const auto length = stream.Read(4);
        if (!length)
            return;
        const std::uint32_t bytes = LittleEndian32(*length);
        if (bytes > kLongestCommentBytes) {
            if (!stream.Skip(bytes))
                return;
            continue;
        }
        const auto entry = stream.Read(bytes);
        if (!entry)
            return;
        const std::size_t equals = entry->find('=');
        if (equals != std::string::npos)
            TakeReplayGainTag(tags, std::string_view(*entry).substr(0, equals),
                              std::string_view(*entry).substr(equals + 1));
    }
}

// FLAC metadata blocks after "fLaC" at `offset`: a byte of last flag and type, a 24-bit
// length; type 4 is the Vorbis comment.
void readFlac(ByteSource& source, std::uint64_t offset, ReplayGainTags& tags)
{
    for (;;) {
        const auto header = source.Bytes(offset, 4);
        if (!header)
            return;
        const auto typeByte = static_cast<unsigned char>((*header)[0]);
        const std::uint64_t start = offset + 4;
        const std::uint64_t end = start + BigEndian(header->substr(1), 3);
        if (end > source.FileBytes())
            return;
        if ((typeByte & 0x7F) == 4) {
            FileRange block(source, start, end);
            readVorbisComment(block, tags);
            return;
        }
        if (typeByte & 0x80)
            return;
        offset = end;
    }
}

void readOgg(ByteSource& source, ReplayGainTags& tags)
{
    OggPackets packets(source);
    if (!packets.NextPacket())
        return;
    const auto identification = packets.Read(8);
    if (!identification)
        return;
    std::string_view commentMagic;
    if (identification->starts_with("\x01vorbis"))
        commentMagic = "\x03vorbis";
    else if (*identification == "OpusHead")
        commentMagic = "OpusTags";
    else
        return;
    if (!packets.NextPacket() || packets.Read(commentMagic.size()) != std::string(commentMagic))
        return;
    readVorbisComment(packets, tags);
}

struct Box {
    std::string type;
    std::uint64_t start = 0; // after the header
    std::uint64_t end = 0;
};

// Calls `visit` with each box in [offset, end); stops at a damaged header.
template <typename Visit>
void forEachBox(ByteSource& source, std::uint64_t offset, std::uint64_t end, Visit visit)
{
    while (end - offset >= 8) {
        const auto header = source.Bytes(offset, 8);
        if (!header)
            return;
        Box box{std::string(header->substr(4, 4)), offset + 8, 0};
        std::uint64_t size = BigEndian(*header, 4);
        if (size == 1) { // a 64-bit size follows
            const auto large = source.Bytes(offset + 8, 8);
            if (!large)
                return;
            size = (std::uint64_t(BigEndian(*large, 4)) << 32) | BigEndian(large->substr(4), 4);
            box.start += 8;
        } else if (size == 0) { // up to the end
            size = end - offset;
        }
        if (size < box.start - offset || size > end - offset)
            return;
        box.end = offset + size;
        visit(box);
        offset = box.end;
    }
}

// A short box's contents after `skip` bytes (a full box's version and flags, a data
// box's type and locale); nothing for a long one.
std::optional<std::string> shortContents(ByteSource& source, const Box& box, std::uint64_t skip)
{
    if (box.end - box.start < skip || box.end - box.start - skip > kLongestCommentBytes)
        return std::nullopt;
    const auto view = source.Bytes(box.start + skip, static_cast<std::size_t>(box.end - box.start - skip));
    return view ? std::optional<std::string>(*view) : std::nullopt;
}

bool equalLetters(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y)); });
}

// A freeform item: "mean" (the namespace), "name" (the key) and "data" (the value).
void readFreeform(ByteSource& source, const Box& item, ReplayGainTags& tags)
{
    std::optional<std::string> mean, name, value;
    forEachBox(source, item.start, item.end, [&](const Box& box) {
        if (box.type == "mean")
            mean = shortContents(source, box, 4);
        else if (box.type == "name")
            name = shortContents(source, box, 4);
        else if (box.type == "data" && !value)
            value = shortContents(source, box, 8);
    });
    if (mean && name && value && equalLetters(*mean, "com.apple.iTunes"))
        TakeReplayGainTag(tags, *name, *value);
}

void readMeta(ByteSource& source, const Box& meta, ReplayGainTags& tags)
{
    // An ISO full box has four bytes of version and flags first; QuickTime's has not.
    const std::uint64_t first = source.Has(meta.start + 4, "hdlr") ? meta.start : meta.start + 4;
    if (first > meta.end)
        return;
    forEachBox(source, first, meta.end, [&](const Box& list) {
        if (list.type == "ilst")
            forEachBox(source, list.start, list.end, [&](const Box& item) {
                if (item.type == "----")
                    readFreeform(source, item, tags);
            });
    });
}

void readMp4(ByteSource& source, ReplayGainTags& tags)
{
    forEachBox(source, 0, source.FileBytes(), [&](const Box& moov) {
        if (moov.type == "moov")
            forEachBox(source, moov.start, moov.end, [&](const Box& udta) {
                if (udta.type == "udta")
                    forEachBox(source, udta.start, udta.end, [&](const Box& meta) {
                        if (meta.type == "meta")
                            readMeta(source, meta, tags);
                    });
            });
    });
}

bool isMpegSync(std::string_view head)
{
    return head.size() >= 2 && static_cast<unsigned char>(head[0]) == 0xFF
        && (static_cast<unsigned char>(head[1]) & 0xE0) == 0xE0;
}

} // namespace

ByteSource::ByteSource(const ReadAtFunction& readAt, std::uint64_t fileBytes, std::size_t budgetBytes)
    : m_readAt(readAt), m_fileBytes(fileBytes), m_budgetBytes(budgetBytes)
{
}

std::optional<std::string_view> ByteSource::Bytes(std::uint64_t offset, std::size_t bytes)
{
    if (offset > m_fileBytes || bytes > m_fileBytes - offset)
        return std::nullopt;
    if (offset < m_windowOffset || offset - m_windowOffset > m_window.size()
        || bytes > m_window.size() - (offset - m_windowOffset)) {
        if (bytes > m_budgetBytes)
            return std::nullopt;
        const std::uint64_t wanted = std::min<std::uint64_t>({std::max(bytes, kReadAheadBytes),
                                                              m_fileBytes - offset, m_budgetBytes});
        m_window = m_readAt(offset, static_cast<std::size_t>(wanted));
        m_windowOffset = offset;
        m_budgetBytes -= static_cast<std::size_t>(wanted);
        if (m_window.size() > wanted)
            m_window.resize(static_cast<std::size_t>(wanted));
        if (m_window.size() < bytes)
            return std::nullopt;
    }
    return std::string_view(m_window).substr(static_cast<std::size_t>(offset - m_windowOffset), bytes);
}

bool ByteSource::Has(std::uint64_t offset, std::string_view expected)
{
    const auto bytes = Bytes(offset, expected.size());
    return bytes && *bytes == expected;
}

} // namespace replaygain

ReplayGainTags ReadReplayGainTags(const ReadAtFunction& readAt, std::uint64_t fileBytes)
{
    using namespace replaygain;
    ByteSource source(readAt, fileBytes);
    ReplayGainTags tags;
    const auto view = source.Bytes(0, static_cast<std::size_t>(std::min<std::uint64_t>(fileBytes, 12)));
    if (!view)
        return tags;
    const std::string head(*view);
    if (head.starts_with("ID3")) {
        const std::uint64_t end = ReadId3v2(source, 0, tags);
        if (tags.Empty() && source.Has(end, "fLaC"))
            readFlac(source, end + 4, tags);
        if (tags.Empty())
            ReadApeTag(source, tags);
    } else if (head.starts_with("fLaC")) {
        readFlac(source, 4, tags);
    } else if (head.starts_with("OggS")) {
        readOgg(source, tags);
    } else if (head.size() >= 8 && head.substr(4, 4) == "ftyp") {
        readMp4(source, tags);
    } else if (isMpegSync(head)) {
        ReadApeTag(source, tags);
    }
    return tags;
}

ReplayGainTags ReadReplayGainTags(const QString& path)
{
    const QByteArray name = FileNameBytes(path);
    if (name.isEmpty())
        return {};
    // Opened without waiting, so that a FIFO does not block, and checked afterwards, so
    // that what is read is what was checked.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return {};
    struct stat info {};
    ReplayGainTags tags;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const ReadAtFunction readAt = [fd](std::uint64_t offset, std::size_t bytes) {
            std::string result(bytes, '\0');
            std::size_t done = 0;
            while (done < bytes) {
                const ssize_t got = ::pread(fd, result.data() + done, bytes - done, static_cast<off_t>(offset + done));
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0)
                    break;
                done += static_cast<std::size_t>(got);
            }
            result.resize(done);
            return result;
        };
        tags = ReadReplayGainTags(readAt, static_cast<std::uint64_t>(info.st_size));
    }
    ::close(fd);
    return tags;
}
