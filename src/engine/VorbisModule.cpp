// The Ogg Vorbis module: libvorbisfile, which places every sample by the stream's
// granule positions, seeks to the sample and ends where the last page says.

#include "DecodeModule.h"
#include "ModuleEntry.h"
#include "VorbisComment.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>

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
        const ogg_int64_t total = ov_pcm_total(&m_file, -1);
        m_length = total >= 0 ? static_cast<std::int64_t>(total) : -1;
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
        m_done = (m_length >= 0 && frame >= m_length) || ov_pcm_seek(&m_file, frame) != 0;
    }
    bool decode(std::vector<float>& out) override
    {
        if (!m_open || m_done)
            return false;
        const int channels = m_format.channels();
        for (int holes = 0; holes < 64; ++holes) {
            float** pcm = nullptr;
            int section = 0;
            const long frames = ov_read_float(&m_file, &pcm, kChunkFrames, &section);
            if (frames == OV_HOLE)
                continue;  // a gap in the data: decoding goes on after it
            if (frames <= 0)
                break;
            // A chained file whose later part has other channels keeps the first's count.
            const vorbis_info* info = ov_info(&m_file, -1);
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
    void close()
    {
        if (m_open)
            ov_clear(&m_file);
        m_open = false;
    }

    OggVorbis_File m_file{};
    bool m_open = false;
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
