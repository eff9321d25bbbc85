// The Ogg Vorbis module: libvorbisfile, which places every sample by the stream's
// granule positions, seeks to the sample and ends where the last page says. A chained
// file (links of their own, as streams and some rippers write them) plays each link at
// its own rate and channel layout; positions count in the first link's rate.

#include "DecodeModule.h"
#include "ModuleEntry.h"
#include "VorbisComment.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>

namespace fsound {

namespace {

constexpr int kChunkFrames = 4096;
constexpr long kMinRate = 1000;
constexpr long kMaxRate = 768000;

// Vorbis' channel orders, as the format defines them.
std::vector<Speaker> vorbisSpeakers(int channels)
{
    using S = Speaker;
    switch (channels) {
    case 1: return {S::FrontCenter};
    case 2: return {S::FrontLeft, S::FrontRight};
    case 3: return {S::FrontLeft, S::FrontCenter, S::FrontRight};
    case 4: return {S::FrontLeft, S::FrontRight, S::BackLeft, S::BackRight};
    case 5: return {S::FrontLeft, S::FrontCenter, S::FrontRight, S::BackLeft, S::BackRight};
    case 6: return {S::FrontLeft, S::FrontCenter, S::FrontRight, S::BackLeft, S::BackRight, S::LowFrequency};
    case 7: return {S::FrontLeft, S::FrontCenter, S::FrontRight, S::SideLeft, S::SideRight, S::BackCenter,
                    S::LowFrequency};
    case 8: return {S::FrontLeft, S::FrontCenter, S::FrontRight, S::SideLeft, S::SideRight, S::BackLeft,
                    S::BackRight, S::LowFrequency};
    default: return std::vector<S>(static_cast<std::size_t>(channels), S::Unknown);
    }
}

class VorbisDecoder final : public DecoderBackend {
public:
    ~VorbisDecoder() override { close(); }

    bool open(const std::string& path, unsigned) override
    {
        close();
        if (ov_fopen(path.c_str(), &m_file) != 0)
            return false;
        m_open = true;
        const vorbis_info* info = ov_info(&m_file, -1);
        if (!info || info->rate < kMinRate || info->rate > kMaxRate || info->channels < 1 || info->channels > 32) {
            close();
            return false;
        }
        m_format.rate = static_cast<int>(info->rate);
        m_format.speakers = vorbisSpeakers(info->channels);
        m_links.clear();
        m_length = 0;
        const long links = ov_seekable(&m_file) ? ov_streams(&m_file) : 1;
        for (long i = 0; i < links && m_length >= 0; ++i) {
            const vorbis_info* linkInfo = ov_info(&m_file, static_cast<int>(i));
            const ogg_int64_t pcm = ov_pcm_total(&m_file, static_cast<int>(i));
            if (!linkInfo || linkInfo->rate < kMinRate || linkInfo->rate > kMaxRate || pcm < 0) {
                m_length = -1;
                break;
            }
            Link link{m_length, static_cast<std::int64_t>(pcm), linkInfo->rate};
            link.frames = link.rate == m_format.rate ? link.pcm
                                                     : std::llround(static_cast<double>(link.pcm) * m_format.rate / link.rate);
            m_length += link.frames;
            m_links.push_back(link);
        }
        // libvorbisfile leaves a chained file read to its end at open, and would start
        // with the last link: it is put back at the first sample.
        if (links > 1 && ov_pcm_seek(&m_file, 0) != 0) {
            close();
            return false;
        }
        m_done = false;
        return true;
    }
    const SourceFormat& format() const override { return m_format; }
    std::int64_t lengthFrames() const override { return m_length; }
    void seekFrame(std::int64_t frame) override
    {
        if (!m_open)
            return;
        frame = std::max<std::int64_t>(frame, 0);
        m_done = (m_length >= 0 && frame >= m_length) || ov_pcm_seek(&m_file, pcmOf(frame)) != 0;
    }
    bool decode(std::vector<float>& out) override
    {
        if (!m_open || m_done)
            return false;
        int channels = m_format.channels();
        for (int holes = 0; holes < 64; ++holes) {
            float** pcm = nullptr;
            int section = 0;
            const long frames = ov_read_float(&m_file, &pcm, kChunkFrames, &section);
            if (frames == OV_HOLE)
                continue;  // a gap in the data: decoding goes on after it
            if (frames <= 0)
                break;
            // The samples are the link's: a link at another rate or layout changes the
            // format from this decode on.
            const vorbis_info* info = ov_info(&m_file, section);
            if (info && info->channels >= 1 && info->channels <= 32 && info->rate >= kMinRate && info->rate <= kMaxRate
                && (info->channels != channels || info->rate != m_format.rate)) {
                m_format.rate = static_cast<int>(info->rate);
                m_format.speakers = vorbisSpeakers(info->channels);
                channels = info->channels;
            }
            const int shared = std::min(channels, info ? info->channels : channels);
            const std::size_t base = out.size();
            out.resize(base + static_cast<std::size_t>(frames) * channels, 0.0f);
            float* dst = out.data() + base;
            for (long i = 0; i < frames; ++i)
                for (int c = 0; c < shared; ++c)
                    dst[i * channels + c] = pcm[c][i];
            return true;
        }
        m_done = true;
        return false;
    }

private:
    // One link of a chained file (a plain file has one).
    struct Link {
        std::int64_t start = 0;   // where it starts, in the first link's frames
        std::int64_t pcm = 0;     // its samples at its own rate
        long rate = 0;
        std::int64_t frames = 0;  // its length in the first link's frames
    };

    // The sample of the whole file (libvorbisfile's count, each link at its own rate)
    // at `frame` of the first link's rate.
    std::int64_t pcmOf(std::int64_t frame) const
    {
        std::int64_t pcmStart = 0;
        for (const Link& link : m_links) {
            if (frame < link.start + link.frames) {
                const std::int64_t into = frame - link.start;
                return pcmStart + (link.rate == m_links.front().rate
                                       ? into
                                       : std::llround(static_cast<double>(into) * link.rate / m_links.front().rate));
            }
            pcmStart += link.pcm;
        }
        return m_links.empty() ? frame : pcmStart;
    }

    void close()
    {
        if (m_open)
            ov_clear(&m_file);
        m_open = false;
    }

    OggVorbis_File m_file{};
    bool m_open = false;
    std::vector<Link> m_links;
    SourceFormat m_format;
    std::int64_t m_length = -1;
    bool m_done = false;
};

bool readTags(const char* path, std::vector<RawTagSet>* sets)
{
    OggVorbis_File file;
    if (ov_fopen(path, &file) != 0)
        return false;
    RawTagSet set;
    if (const vorbis_comment* comments = ov_comment(&file, -1))
        for (int i = 0; i < comments->comments; ++i)
            TakeVorbisComment(std::string_view(comments->user_comments[i],
                                               static_cast<std::size_t>(comments->comment_lengths[i])),
                              set);
    ov_clear(&file);
    sets->push_back(set);
    return true;
}

} // namespace

} // namespace fsound

SORVEL_MODULE_ENTRY const fsound::DecodeApi* sorvel_decode_api()
{
    return fsound::DecodeTable<fsound::VorbisDecoder, fsound::readTags>();
}
