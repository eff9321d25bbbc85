#include "WaveDecoder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fsound {

namespace {

// What real audio files use, with room to spare: a header outside these (a WAV that
// says 1 Hz, or 40,000 channels) is damaged, and the file is refused.
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 768000;
constexpr int kMaxChannels = 32;
constexpr std::size_t kChunkFrames = 4096;

std::uint32_t le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }
std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t be32(const unsigned char* p) { return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
std::uint16_t be16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

// The 80-bit extended float AIFF states its rate in.
double extended(const unsigned char* p)
{
    const int exponent = ((p[0] & 0x7F) << 8 | p[1]) - 16383;
    std::uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa = mantissa << 8 | p[2 + i];
    if (exponent < -1000 || exponent > 1000)
        return 0.0;
    return std::ldexp(static_cast<double>(mantissa), exponent - 63);
}

// WAVE_FORMAT_EXTENSIBLE's channel mask, bit by bit.
constexpr Speaker kMaskOrder[] = {
    Speaker::FrontLeft, Speaker::FrontRight, Speaker::FrontCenter, Speaker::LowFrequency,
    Speaker::BackLeft, Speaker::BackRight, Speaker::FrontLeftOfCenter, Speaker::FrontRightOfCenter,
    Speaker::BackCenter, Speaker::SideLeft, Speaker::SideRight,
};

std::vector<Speaker> waveSpeakers(int channels, std::uint32_t mask)
{
    if (mask == 0) {
        // Without a mask: the common layouts of their channel count.
        static const std::vector<std::vector<Speaker>> defaults = {
            {Speaker::FrontCenter},
            {Speaker::FrontLeft, Speaker::FrontRight},
            {Speaker::FrontLeft, Speaker::FrontRight, Speaker::FrontCenter},
            {Speaker::FrontLeft, Speaker::FrontRight, Speaker::BackLeft, Speaker::BackRight},
            {Speaker::FrontLeft, Speaker::FrontRight, Speaker::FrontCenter, Speaker::BackLeft, Speaker::BackRight},
            {Speaker::FrontLeft, Speaker::FrontRight, Speaker::FrontCenter, Speaker::LowFrequency, Speaker::BackLeft,
             Speaker::BackRight},
        };
        if (channels <= static_cast<int>(defaults.size()))
            return defaults[static_cast<std::size_t>(channels - 1)];
        return std::vector<Speaker>(static_cast<std::size_t>(channels), Speaker::Unknown);
    }
    std::vector<Speaker> speakers;
    for (int bit = 0; bit < 32 && static_cast<int>(speakers.size()) < channels; ++bit)
        if (mask & (1u << bit))
            speakers.push_back(bit < static_cast<int>(std::size(kMaskOrder)) ? kMaskOrder[bit] : Speaker::Unknown);
    speakers.resize(static_cast<std::size_t>(channels), Speaker::Unknown);
    return speakers;
}

struct ParsedHeader {
    bool ok = false;
    int rate = 0;
    int channels = 0;
    int bits = 0;
    bool isFloat = false;
    bool bigEndian = false;
    std::uint32_t mask = 0;
    long long dataOffset = 0;
    long long dataBytes = -1;
    long long statedFrames = -1;  // AIFF's own count, which may differ from the data's
    RawTagSet tags;
};

bool readAt(std::FILE* file, long long offset, unsigned char* out, std::size_t bytes)
{
    return ::fseeko(file, offset, SEEK_SET) == 0 && std::fread(out, 1, bytes, file) == bytes;
}

std::string textChunk(std::FILE* file, long long offset, std::uint32_t size)
{
    std::string text(std::min<std::uint32_t>(size, 1024), '\0');
    if (!readAt(file, offset, reinterpret_cast<unsigned char*>(text.data()), text.size()))
        return {};
    text.resize(std::strlen(text.c_str()));
    return text;
}

ParsedHeader parseWave(std::FILE* file, long long fileBytes)
{
    ParsedHeader h;
    bool haveFormat = false;
    long long pos = 12;
    unsigned char chunk[8];
    while (pos + 8 <= fileBytes && readAt(file, pos, chunk, 8)) {
        const std::uint32_t size = le32(chunk + 4);
        const long long body = pos + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            unsigned char fmt[40] = {};
            if (!readAt(file, body, fmt, std::min<std::uint32_t>(size, 40)))
                return h;
            int tag = le16(fmt);
            h.channels = le16(fmt + 2);
            h.rate = static_cast<int>(le32(fmt + 4));
            h.bits = le16(fmt + 14);
            if (tag == 0xFFFE && size >= 40) {
                h.mask = le32(fmt + 20);
                tag = le16(fmt + 24);  // the sub-format GUID starts with the format tag
            }
            if (tag != 1 && tag != 3)
                return h;  // compressed: not ours
            h.isFloat = tag == 3;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            h.dataOffset = body;
            h.dataBytes = size;
            // Streams written to a pipe leave the size at 0 or all ones: the rest of the file.
            if (size == 0 || size == 0xFFFFFFFFu || body + size > fileBytes)
                h.dataBytes = fileBytes - body;
        } else if (std::memcmp(chunk, "LIST", 4) == 0 && size >= 4) {
            unsigned char kind[4];
            if (readAt(file, body, kind, 4) && std::memcmp(kind, "INFO", 4) == 0) {
                long long item = body + 4;
                unsigned char head[8];
                while (item + 8 <= body + size && readAt(file, item, head, 8)) {
                    const std::uint32_t length = le32(head + 4);
                    if (std::memcmp(head, "INAM", 4) == 0)
                        h.tags[0] = textChunk(file, item + 8, length);
                    else if (std::memcmp(head, "IART", 4) == 0)
                        h.tags[1] = textChunk(file, item + 8, length);
                    else if (std::memcmp(head, "IPRD", 4) == 0)
                        h.tags[3] = textChunk(file, item + 8, length);
                    // In 64 bits: a length near 4 GiB would wrap to 0 and stand still.
                    item += 8 + static_cast<long long>(length) + (length & 1);
                }
            }
        }
        pos = body + size + (size & 1);
    }
    h.ok = haveFormat && h.dataOffset > 0;
    return h;
}

ParsedHeader parseAiff(std::FILE* file, long long fileBytes, bool compressedKind)
{
    ParsedHeader h;
    h.bigEndian = true;
    bool haveFormat = false;
    long long pos = 12;
    unsigned char chunk[8];
    while (pos + 8 <= fileBytes && readAt(file, pos, chunk, 8)) {
        const std::uint32_t size = be32(chunk + 4);
        const long long body = pos + 8;
        if (std::memcmp(chunk, "COMM", 4) == 0 && size >= 18) {
            unsigned char comm[22] = {};
            if (!readAt(file, body, comm, std::min<std::uint32_t>(size, 22)))
                return h;
            h.channels = be16(comm);
            h.statedFrames = be32(comm + 2);
            h.bits = be16(comm + 6);
            h.rate = static_cast<int>(std::lround(std::min(extended(comm + 8), 1e7)));
            if (compressedKind && size >= 22) {
                if (std::memcmp(comm + 18, "sowt", 4) == 0)
                    h.bigEndian = false;
                else if (std::memcmp(comm + 18, "fl32", 4) == 0 || std::memcmp(comm + 18, "FL32", 4) == 0
                         || std::memcmp(comm + 18, "fl64", 4) == 0 || std::memcmp(comm + 18, "FL64", 4) == 0)
                    h.isFloat = true;
                else if (std::memcmp(comm + 18, "NONE", 4) != 0 && std::memcmp(comm + 18, "twos", 4) != 0)
                    return h;  // compressed: not ours
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "SSND", 4) == 0 && size >= 8) {
            unsigned char ssnd[8];
            if (!readAt(file, body, ssnd, 8))
                return h;
            h.dataOffset = body + 8 + be32(ssnd);
            h.dataBytes = std::min<long long>(static_cast<long long>(size) - 8, fileBytes - h.dataOffset);
        } else if (std::memcmp(chunk, "NAME", 4) == 0) {
            h.tags[0] = textChunk(file, body, size);
        } else if (std::memcmp(chunk, "AUTH", 4) == 0) {
            h.tags[1] = textChunk(file, body, size);
        }
        pos = body + size + (size & 1);
    }
    h.ok = haveFormat && h.dataOffset > 0;
    return h;
}

ParsedHeader parse(std::FILE* file)
{
    unsigned char head[12];
    struct stat st {};
    if (!readAt(file, 0, head, 12) || ::fstat(::fileno(file), &st) != 0)
        return {};
    if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0)
        return parseWave(file, st.st_size);
    if (std::memcmp(head, "FORM", 4) == 0 && std::memcmp(head + 8, "AIFF", 4) == 0)
        return parseAiff(file, st.st_size, false);
    if (std::memcmp(head, "FORM", 4) == 0 && std::memcmp(head + 8, "AIFC", 4) == 0)
        return parseAiff(file, st.st_size, true);
    return {};
}

} // namespace

bool WaveDecoder::open(const std::string& path, unsigned /*rawMode*/)
{
    m_file.reset(std::fopen(path.c_str(), "rb"));
    if (!m_file)
        return false;
    const ParsedHeader h = parse(m_file.get());
    const bool sizeOk = h.isFloat ? (h.bits == 32 || h.bits == 64) : (h.bits >= 8 && h.bits <= 32);
    if (!h.ok || !sizeOk || h.rate < kMinRate || h.rate > kMaxRate || h.channels < 1 || h.channels > kMaxChannels) {
        m_file.reset();
        return false;
    }
    m_bytesPerSample = (h.bits + 7) / 8;
    m_sample = h.isFloat ? Sample::Float : (m_bytesPerSample == 1 && !h.bigEndian ? Sample::Unsigned8 : Sample::Signed);
    m_bigEndian = h.bigEndian;
    m_format.rate = h.rate;
    m_format.speakers = h.bigEndian ? waveSpeakers(h.channels, 0) : waveSpeakers(h.channels, h.mask);
    m_dataOffset = h.dataOffset;
    m_frames = std::max<long long>(h.dataBytes, 0) / (static_cast<long long>(m_bytesPerSample) * h.channels);
    // The length shown is what the header says; all the data is played all the same.
    m_statedFrames = h.statedFrames >= 0 ? h.statedFrames : m_frames;
    m_next = 0;
    return true;
}

void WaveDecoder::seekFrame(std::int64_t frame)
{
    m_next = std::clamp<std::int64_t>(frame, 0, m_frames);
}

bool WaveDecoder::decode(std::vector<float>& out)
{
    if (!m_file || m_next >= m_frames)
        return false;
    const int channels = m_format.channels();
    const std::size_t frameBytes = static_cast<std::size_t>(m_bytesPerSample) * channels;
    const std::size_t frames = static_cast<std::size_t>(std::min<std::int64_t>(kChunkFrames, m_frames - m_next));
    m_raw.resize(frames * frameBytes);
    if (::fseeko(m_file.get(), m_dataOffset + m_next * static_cast<long long>(frameBytes), SEEK_SET) != 0)
        return false;
    const std::size_t got = std::fread(m_raw.data(), frameBytes, frames, m_file.get());
    if (got == 0) {
        m_next = m_frames;  // the file is shorter than it said
        return false;
    }
    m_next += static_cast<std::int64_t>(got);
    const std::size_t samples = got * static_cast<std::size_t>(channels);
    const std::size_t base = out.size();
    out.resize(base + samples);
    float* dst = out.data() + base;
    const unsigned char* src = m_raw.data();
    const int bytes = m_bytesPerSample;
    for (std::size_t i = 0; i < samples; ++i, src += bytes) {
        // Assemble the sample as a big-endian integer whatever the file's order.
        std::uint64_t value = 0;
        for (int b = 0; b < bytes; ++b)
            value = value << 8 | src[m_bigEndian ? b : bytes - 1 - b];
        switch (m_sample) {
        case Sample::Unsigned8:
            dst[i] = (static_cast<float>(value) - 128.0f) / 128.0f;
            break;
        case Sample::Signed: {
            const int shift = 64 - 8 * bytes;
            const auto signedValue = static_cast<std::int64_t>(value << shift) >> shift;
            dst[i] = static_cast<float>(static_cast<double>(signedValue) / static_cast<double>(1ull << (8 * bytes - 1)));
            break;
        }
        case Sample::Float:
            if (bytes == 4) {
                const auto bits = static_cast<std::uint32_t>(value);
                float f;
                std::memcpy(&f, &bits, 4);
                dst[i] = std::isfinite(f) ? std::clamp(f, -1.0f, 1.0f) : 0.0f;
            } else {
                double d;
                std::memcpy(&d, &value, 8);
                dst[i] = std::isfinite(d) ? static_cast<float>(std::clamp(d, -1.0, 1.0)) : 0.0f;
            }
            break;
        }
    }
    return true;
}

bool WaveDecoder::ReadTags(const std::string& path, std::vector<RawTagSet>* sets)
{
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    unsigned char head[12];
    struct stat st {};
    if (!readAt(file.get(), 0, head, 12) || ::fstat(::fileno(file.get()), &st) != 0)
        return false;
    ParsedHeader h;
    if (std::memcmp(head, "RIFF", 4) == 0)
        h = parseWave(file.get(), st.st_size);
    else if (std::memcmp(head, "FORM", 4) == 0)
        h = parseAiff(file.get(), st.st_size, std::memcmp(head + 8, "AIFC", 4) == 0);
    else
        return false;
    sets->push_back(h.tags);
    return true;
}

} // namespace fsound
