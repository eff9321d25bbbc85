// The Opus module: Ogg pages read with libogg and packets decoded with libopus. Kept
// off libopusfile, which as Debian builds it maps OpenSSL into the player for its
// network streams. Positions follow RFC 7845: a page's granule position counts 48 kHz
// samples up to the end of its last packet, the header's pre-skip is taken off the
// front, the last page's granule position ends the song, and a seek starts decoding
// 80 ms ahead of its target so the decoder has settled when the target is reached. A
// chained file plays every link in turn, each with its own head (channels, pre-skip).

#include "DecodeModule.h"
#include "ModuleEntry.h"
#include "VorbisComment.h"

#include <ogg/ogg.h>
#include <opus/opus_multistream.h>

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

namespace fsound {

namespace {

constexpr int kRate = 48000;
constexpr int kMaxPacketFrames = 5760;  // 120 ms
constexpr std::int64_t kPreRoll = 3840;  // 80 ms
constexpr int kMaxChannels = 32;
constexpr std::int64_t kUnknown = INT64_MIN;

std::uint32_t le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }

struct Head {
    int channels = 0;
    int preSkip = 0;
    int gain = 0;  // Q7.8 dB
    int streams = 1;
    int coupled = 0;
    unsigned char mapping[255] = {};
    int family = 0;
};

bool parseHead(const ogg_packet& packet, Head& head)
{
    const unsigned char* p = packet.packet;
    if (packet.bytes < 19 || std::memcmp(p, "OpusHead", 8) != 0 || (p[8] & 0xF0) != 0)
        return false;
    head.channels = p[9];
    head.preSkip = p[10] | p[11] << 8;
    head.gain = static_cast<std::int16_t>(p[16] | p[17] << 8);
    head.family = p[18];
    if (head.channels < 1 || head.channels > kMaxChannels)
        return false;
    if (head.family == 0) {
        if (head.channels > 2)
            return false;
        head.streams = 1;
        head.coupled = head.channels - 1;
        head.mapping[0] = 0;
        head.mapping[1] = 1;
        return true;
    }
    if (packet.bytes < 21 + head.channels)
        return false;
    head.streams = p[19];
    head.coupled = p[20];
    std::memcpy(head.mapping, p + 21, static_cast<std::size_t>(head.channels));
    return head.streams > 0 && head.coupled <= head.streams;
}

// Pages of one file in order, with the byte offset of each.
class PageReader {
public:
    PageReader() { ogg_sync_init(&m_sync); }
    ~PageReader()
    {
        ogg_sync_clear(&m_sync);
        if (m_file)
            std::fclose(m_file);
    }
    PageReader(const PageReader&) = delete;
    PageReader& operator=(const PageReader&) = delete;

    bool open(const std::string& path)
    {
        m_file = std::fopen(path.c_str(), "rb");
        struct stat st {};
        if (!m_file || ::fstat(::fileno(m_file), &st) != 0)
            return false;
        m_bytes = st.st_size;
        return true;
    }
    long long bytes() const { return m_bytes; }
    void moveTo(long long offset)
    {
        ogg_sync_reset(&m_sync);
        ::fseeko(m_file, offset, SEEK_SET);
        m_offset = offset;
    }
    // The next page; `start` is where it begins. False at the end of the file.
    bool next(ogg_page& page, long long& start)
    {
        for (;;) {
            const long n = ogg_sync_pageseek(&m_sync, &page);
            if (n > 0) {
                start = m_offset;
                m_offset += n;
                return true;
            }
            if (n < 0) {
                m_offset += -n;
                continue;
            }
            char* buffer = ogg_sync_buffer(&m_sync, 8192);
            const std::size_t got = buffer ? std::fread(buffer, 1, 8192, m_file) : 0;
            if (got == 0)
                return false;
            ogg_sync_wrote(&m_sync, static_cast<long>(got));
        }
    }

private:
    std::FILE* m_file = nullptr;
    ogg_sync_state m_sync{};
    long long m_bytes = 0;
    long long m_offset = 0;
};

// The header packets of the first Opus stream: its head, its tags, and where its
// audio pages start.
struct Headers {
    Head head;
    int serial = 0;
    std::vector<unsigned char> tags;
    long long dataStart = 0;
};

bool readHeaders(PageReader& reader, Headers& headers)
{
    ogg_page page;
    long long start = 0;
    ogg_stream_state stream;
    bool haveStream = false;
    int packets = 0;
    for (int pages = 0; pages < 64 && packets < 2 && reader.next(page, start); ++pages) {
        if (!haveStream) {
            if (!ogg_page_bos(&page))
                return false;
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            haveStream = true;
        }
        if (ogg_page_serialno(&page) != stream.serialno)
            continue;
        ogg_stream_pagein(&stream, &page);
        ogg_packet packet;
        while (packets < 2 && ogg_stream_packetout(&stream, &packet) == 1) {
            if (packets == 0 && !parseHead(packet, headers.head)) {
                // Another codec first (a multiplexed file): not ours.
                ogg_stream_clear(&stream);
                return false;
            }
            if (packets == 1)
                headers.tags.assign(packet.packet, packet.packet + packet.bytes);
            ++packets;
        }
        headers.dataStart = start + page.header_len + page.body_len;
    }
    if (haveStream) {
        headers.serial = stream.serialno;
        ogg_stream_clear(&stream);
    }
    return packets == 2;
}

// One link of the file: a plain file has one; a chained file (files joined, as streams
// and some rippers write them) has one per Opus stream, each with its own head.
struct Link {
    Head head;
    int serial = 0;
    long long pageStart = 0;  // its first page
    long long dataStart = 0;  // its first audio page
    long long end = 0;        // where the next link's first page starts, or the file's end
    std::int64_t start = 0;   // position of its first sample in the whole file
    std::int64_t length = -1; // its samples, pre-skip taken off; -1 when unknown
};

// Reads every page once to find the links of a chained file and their lengths.
std::vector<Link> scanLinks(PageReader& reader)
{
    std::vector<Link> links;
    ogg_stream_state stream;
    bool haveStream = false;
    int packets = 0;
    std::int64_t lastGranule = -1;
    auto finish = [&](long long end) {
        if (links.empty())
            return;
        Link& link = links.back();
        link.end = end;
        link.length = lastGranule >= 0 ? std::max<std::int64_t>(lastGranule - link.head.preSkip, 0) : 0;
    };
    reader.moveTo(0);
    ogg_page page;
    long long start = 0;
    while (reader.next(page, start)) {
        const int serial = ogg_page_serialno(&page);
        if (ogg_page_bos(&page)) {
            ogg_stream_state probe;
            ogg_stream_init(&probe, serial);
            ogg_stream_pagein(&probe, &page);
            ogg_packet packet;
            Head head;
            const bool opus = ogg_stream_packetout(&probe, &packet) == 1 && parseHead(packet, head);
            ogg_stream_clear(&probe);
            if (!opus)
                continue;  // another codec's stream beside ours: not ours
            finish(start);
            if (haveStream)
                ogg_stream_clear(&stream);
            ogg_stream_init(&stream, serial);
            haveStream = true;
            packets = 0;
            lastGranule = -1;
            Link link;
            link.head = head;
            link.serial = serial;
            link.pageStart = start;
            link.start = links.empty() ? 0 : links.back().start + links.back().length;
            links.push_back(link);
        }
        if (!haveStream || serial != stream.serialno)
            continue;
        if (packets < 2) {
            ogg_stream_pagein(&stream, &page);
            ogg_packet packet;
            while (packets < 2 && ogg_stream_packetout(&stream, &packet) == 1)
                ++packets;
            links.back().dataStart = start + page.header_len + page.body_len;
        } else if (ogg_page_granulepos(&page) >= 0) {
            lastGranule = ogg_page_granulepos(&page);
        }
    }
    finish(reader.bytes());
    if (haveStream)
        ogg_stream_clear(&stream);
    return links;
}

class OpusDecoder final : public DecoderBackend {
public:
    ~OpusDecoder() override
    {
        if (m_decoder)
            opus_multistream_decoder_destroy(m_decoder);
        if (m_streamOpen)
            ogg_stream_clear(&m_stream);
    }

    bool open(const std::string& path, unsigned) override
    {
        Headers headers;
        if (!m_reader.open(path) || !readHeaders(m_reader, headers))
            return false;
        Link first;
        first.head = headers.head;
        first.serial = headers.serial;
        first.dataStart = headers.dataStart;
        first.end = m_reader.bytes();
        bool chained = false;
        first.length = lastGranuleOf(first, chained);
        if (first.length >= 0)
            first.length = std::max<std::int64_t>(first.length - first.head.preSkip, 0);
        m_links = {first};
        if (chained) {
            std::vector<Link> links = scanLinks(m_reader);
            if (!links.empty() && links.front().serial == first.serial)
                m_links = std::move(links);
        }
        m_length = -1;
        if (m_links.back().length >= 0)
            m_length = m_links.back().start + m_links.back().length;
        m_format.rate = kRate;
        if (!enterLink(0))
            return false;
        seekFrame(0);
        return true;
    }
    const SourceFormat& format() const override { return m_format; }
    std::int64_t lengthFrames() const override { return m_length; }

    void seekFrame(std::int64_t frame) override
    {
        m_target = std::max<std::int64_t>(frame, 0);
        m_done = m_length >= 0 && m_target >= m_length;
        std::size_t index = 0;
        while (index + 1 < m_links.size() && m_target >= m_links[index + 1].start)
            ++index;
        if (index != m_link && !enterLink(index)) {
            m_done = true;
            return;
        }
        opus_multistream_decoder_ctl(m_decoder, OPUS_RESET_STATE);
        ogg_stream_reset(&m_stream);
        m_packets.clear();
        m_next = 0;
        const Link& link = m_links[m_link];
        // Decoding starts early enough for the decoder to settle, and a packet that
        // began on an earlier page (skipped) may take up to 120 ms more.
        const std::int64_t goal = m_target - link.start + link.head.preSkip - kPreRoll - kMaxPacketFrames;
        long long from = link.dataStart;
        m_nextStart = link.start - link.head.preSkip;
        if (goal > 0) {
            from = landBefore(goal);
            if (from != link.dataStart)
                m_nextStart = kUnknown;
        }
        m_reader.moveTo(from);
    }

    bool decode(std::vector<float>& out) override
    {
        while (!m_done) {
            if (m_next >= m_packets.size()) {
                if (!readPage())
                    m_done = true;
                continue;
            }
            const int channels = m_format.channels();
            Packet& packet = m_packets[m_next++];
            const int frames = opus_multistream_decode_float(m_decoder, packet.data.data(),
                                                             static_cast<opus_int32>(packet.data.size()), m_pcm.data(),
                                                             kMaxPacketFrames, 0);
            if (frames <= 0 || packet.start == kUnknown)
                continue;  // damaged, or decoded only to settle the decoder
            const Link& link = m_links[m_link];
            std::int64_t from = std::max({m_target, packet.start, link.start});
            std::int64_t to = packet.start + frames;
            if (link.length >= 0)
                to = std::min(to, link.start + link.length);
            if (to <= from)
                continue;
            const float* begin = m_pcm.data() + (from - packet.start) * channels;
            out.insert(out.end(), begin, begin + (to - from) * channels);
            return true;
        }
        return false;
    }

private:
    struct Packet {
        std::vector<unsigned char> data;
        std::int64_t start = kUnknown;  // position of its first sample, pre-skip taken off
    };

    static std::vector<Speaker> speakers(const Head& head)
    {
        using S = Speaker;
        if (head.channels == 1)
            return {S::FrontCenter};
        if (head.channels == 2)
            return {S::FrontLeft, S::FrontRight};
        if (head.family == 1) {
            // Vorbis order for 3 to 8 channels.
            static const std::vector<std::vector<S>> orders = {
                {S::FrontLeft, S::FrontCenter, S::FrontRight},
                {S::FrontLeft, S::FrontRight, S::BackLeft, S::BackRight},
                {S::FrontLeft, S::FrontCenter, S::FrontRight, S::BackLeft, S::BackRight},
                {S::FrontLeft, S::FrontCenter, S::FrontRight, S::BackLeft, S::BackRight, S::LowFrequency},
                {S::FrontLeft, S::FrontCenter, S::FrontRight, S::SideLeft, S::SideRight, S::BackCenter, S::LowFrequency},
                {S::FrontLeft, S::FrontCenter, S::FrontRight, S::SideLeft, S::SideRight, S::BackLeft, S::BackRight,
                 S::LowFrequency},
            };
            if (head.channels <= 8)
                return orders[static_cast<std::size_t>(head.channels - 3)];
        }
        return std::vector<S>(static_cast<std::size_t>(head.channels), S::Unknown);
    }

    // Makes the link's decoder and stream the current ones; its channels become the
    // format from the next decode on.
    bool enterLink(std::size_t index)
    {
        const Head& head = m_links[index].head;
        if (m_decoder)
            opus_multistream_decoder_destroy(m_decoder);
        int err = OPUS_OK;
        m_decoder = opus_multistream_decoder_create(kRate, head.channels, head.streams, head.coupled, head.mapping, &err);
        if (!m_decoder || err != OPUS_OK) {
            if (m_decoder)
                opus_multistream_decoder_destroy(m_decoder);
            m_decoder = nullptr;
            return false;
        }
        opus_multistream_decoder_ctl(m_decoder, OPUS_SET_GAIN(head.gain));
        if (m_streamOpen)
            ogg_stream_clear(&m_stream);
        ogg_stream_init(&m_stream, m_links[index].serial);
        m_streamOpen = true;
        m_format.speakers = speakers(head);
        m_pcm.resize(static_cast<std::size_t>(kMaxPacketFrames) * head.channels);
        m_link = index;
        return true;
    }

    // The next page of the current link, its packets placed; at the link's end, the
    // next link's first audio page. False at the end.
    bool readPage()
    {
        ogg_page page;
        long long start = 0;
        for (;;) {
            if (!m_reader.next(page, start))
                return false;
            if (ogg_page_serialno(&page) == m_links[m_link].serial && !ogg_page_bos(&page))
                break;
            if (m_link + 1 < m_links.size() && start >= m_links[m_link + 1].pageStart) {
                // The next link goes on where this one ended, its pre-skip taken off.
                if (!enterLink(m_link + 1))
                    return false;
                m_packets.clear();
                m_next = 0;
                m_nextStart = m_links[m_link].start - m_links[m_link].head.preSkip;
                m_reader.moveTo(m_links[m_link].dataStart);
            }
        }
        ogg_stream_pagein(&m_stream, &page);
        m_packets.clear();
        m_next = 0;
        ogg_packet packet;
        int result = 0;
        std::int64_t total = 0;
        while ((result = ogg_stream_packetout(&m_stream, &packet)) != 0) {
            if (result < 0)
                continue;  // a hole: the packets after it still decode
            Packet p;
            p.data.assign(packet.packet, packet.packet + packet.bytes);
            const int frames = opus_packet_get_nb_samples(packet.packet, static_cast<opus_int32>(packet.bytes), kRate);
            total += std::max(frames, 0);
            m_packets.push_back(std::move(p));
        }
        const Link& link = m_links[m_link];
        const ogg_int64_t granule = ogg_page_granulepos(&page);
        std::int64_t first = m_nextStart;
        if (first == kUnknown && granule >= 0)
            first = link.start + granule - link.head.preSkip - total;
        for (Packet& p : m_packets) {
            p.start = first;
            if (first != kUnknown) {
                first += std::max(opus_packet_get_nb_samples(p.data.data(), static_cast<opus_int32>(p.data.size()), kRate), 0);
            }
        }
        m_nextStart = first;
        return true;
    }

    // Where to start reading in the current link so that the first page placed ends at
    // or before `granule`.
    long long landBefore(std::int64_t granule)
    {
        const Link& link = m_links[m_link];
        long long lo = link.dataStart;
        long long hi = link.end;
        while (hi - lo > 16384) {
            const long long mid = lo + (hi - lo) / 2;
            m_reader.moveTo(mid);
            ogg_page page;
            long long start = 0;
            ogg_int64_t found = -1;
            long long foundAt = 0;
            while (m_reader.next(page, start) && start < hi) {
                if (ogg_page_serialno(&page) == link.serial && ogg_page_granulepos(&page) >= 0) {
                    found = ogg_page_granulepos(&page);
                    foundAt = start;
                    break;
                }
            }
            if (found >= 0 && found <= granule)
                lo = foundAt;
            else
                hi = mid;
        }
        return lo;
    }

    // The last granule position of the link's stream near the file's end, or -1.
    // `chained` is set when the file ends in another stream's pages: links follow.
    std::int64_t lastGranuleOf(const Link& link, bool& chained)
    {
        for (long long back = 65536; back <= (1 << 22); back *= 4) {
            const long long from = std::max(link.dataStart, m_reader.bytes() - back);
            m_reader.moveTo(from);
            ogg_page page;
            long long start = 0;
            ogg_int64_t last = -1;
            bool ours = true;  // the last page read is of this link
            while (m_reader.next(page, start)) {
                ours = ogg_page_serialno(&page) == link.serial;
                if (ours && ogg_page_granulepos(&page) >= 0)
                    last = ogg_page_granulepos(&page);
            }
            if (!ours) {
                chained = true;
                return -1;
            }
            if (last >= 0 || from == link.dataStart)
                return last;
        }
        return -1;
    }

    PageReader m_reader;
    std::vector<Link> m_links;
    std::size_t m_link = 0;
    OpusMSDecoder* m_decoder = nullptr;
    ogg_stream_state m_stream{};
    bool m_streamOpen = false;
    SourceFormat m_format;
    std::int64_t m_length = -1;
    std::int64_t m_target = 0;      // samples before it are not put out
    std::int64_t m_nextStart = 0;   // position of the next page's first packet, or kUnknown
    std::vector<Packet> m_packets;  // of the current page
    std::size_t m_next = 0;
    std::vector<float> m_pcm;
    bool m_done = false;
};

bool readTags(const char* path, std::vector<RawTagSet>* sets)
{
    PageReader reader;
    Headers headers;
    if (!reader.open(path) || !readHeaders(reader, headers))
        return false;
    RawTagSet set;
    const std::vector<unsigned char>& t = headers.tags;
    std::size_t pos = 8;
    if (t.size() >= 12 && std::memcmp(t.data(), "OpusTags", 8) == 0) {
        pos += 4 + static_cast<std::size_t>(le32(t.data() + 8));  // in full: 4 + ~4 GiB must not wrap to 0
        if (pos + 4 <= t.size()) {
            const std::uint32_t count = le32(t.data() + pos);
            pos += 4;
            for (std::uint32_t i = 0; i < count && pos + 4 <= t.size(); ++i) {
                const std::uint32_t length = le32(t.data() + pos);
                pos += 4;
                if (length > t.size() - pos)
                    break;
                TakeVorbisComment(std::string_view(reinterpret_cast<const char*>(t.data() + pos), length), set);
                pos += length;
            }
        }
    }
    sets->push_back(set);
    return true;
}

} // namespace

} // namespace fsound

SORVEL_MODULE_ENTRY const fsound::DecodeApi* sorvel_decode_api()
{
    return fsound::DecodeTable<fsound::OpusDecoder, fsound::readTags>();
}
