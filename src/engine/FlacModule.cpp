// The FLAC module: libFLAC's stream decoder, which seeks to the sample, and its
// metadata reader for the Vorbis comments. A file whose header is damaged so that
// libFLAC cannot seek in it (a block size or frame size changed) seeks by decoding from
// the start and dropping what lies before the target.

#include "DecodeModule.h"
#include "ModuleEntry.h"
#include "VorbisComment.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cstring>

namespace fsound {

namespace {

// Rates and channel counts no real file has mark a damaged header.
constexpr unsigned kMinRate = 1000;
constexpr unsigned kMaxRate = 768000;

// FLAC's channel orders, from its format description.
std::vector<Speaker> flacSpeakers(unsigned channels)
{
    using S = Speaker;
    switch (channels) {
    case 1: return {S::FrontCenter};
    case 2: return {S::FrontLeft, S::FrontRight};
    case 3: return {S::FrontLeft, S::FrontRight, S::FrontCenter};
    case 4: return {S::FrontLeft, S::FrontRight, S::BackLeft, S::BackRight};
    case 5: return {S::FrontLeft, S::FrontRight, S::FrontCenter, S::BackLeft, S::BackRight};
    case 6: return {S::FrontLeft, S::FrontRight, S::FrontCenter, S::LowFrequency, S::BackLeft, S::BackRight};
    case 7: return {S::FrontLeft, S::FrontRight, S::FrontCenter, S::LowFrequency, S::BackCenter, S::SideLeft,
                    S::SideRight};
    default: return {S::FrontLeft, S::FrontRight, S::FrontCenter, S::LowFrequency, S::BackLeft, S::BackRight,
                     S::SideLeft, S::SideRight};
    }
}

class FlacDecoder final : public DecoderBackend {
public:
    ~FlacDecoder() override { close(); }

    bool open(const std::string& path, unsigned) override
    {
        close();
        m_decoder = FLAC__stream_decoder_new();
        if (!m_decoder)
            return false;
        FLAC__stream_decoder_set_md5_checking(m_decoder, false);
        if (FLAC__stream_decoder_init_file(m_decoder, path.c_str(), &FlacDecoder::onWrite, &FlacDecoder::onMetadata,
                                           &FlacDecoder::onError, this)
                != FLAC__STREAM_DECODER_INIT_STATUS_OK
            || !FLAC__stream_decoder_process_until_end_of_metadata(m_decoder) || m_format.rate == 0) {
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
        if (!m_decoder)
            return;
        m_pending.clear();
        m_done = false;
        frame = std::max<std::int64_t>(frame, 0);
        if (m_length >= 0 && frame >= m_length) {
            m_done = true;
            return;
        }
        m_skipUntil = 0;
        if (!m_scanning && FLAC__stream_decoder_seek_absolute(m_decoder, static_cast<FLAC__uint64>(frame)))
            return;
        // libFLAC could not seek (or failed before in this file): from the start, with
        // everything before the target decoded and dropped. A failed seek leaves the
        // decoder needing a flush first.
        m_scanning = true;
        FLAC__stream_decoder_flush(m_decoder);
        m_pending.clear();
        if (!FLAC__stream_decoder_reset(m_decoder) || !FLAC__stream_decoder_process_until_end_of_metadata(m_decoder)) {
            m_done = true;
            return;
        }
        m_position = 0;
        m_skipUntil = frame;
    }
    bool decode(std::vector<float>& out) override
    {
        if (!m_decoder)
            return false;
        // Frames dropped before a scanning seek's target do not count as tries.
        for (int tries = 0; m_pending.empty() && !m_done && tries < 64; tries += m_position >= m_skipUntil ? 1 : 0) {
            if (!FLAC__stream_decoder_process_single(m_decoder)
                || FLAC__stream_decoder_get_state(m_decoder) == FLAC__STREAM_DECODER_END_OF_STREAM)
                m_done = true;
        }
        if (m_pending.empty())
            return false;
        out.insert(out.end(), m_pending.begin(), m_pending.end());
        m_pending.clear();
        return true;
    }

private:
    void close()
    {
        if (m_decoder) {
            FLAC__stream_decoder_finish(m_decoder);
            FLAC__stream_decoder_delete(m_decoder);
            m_decoder = nullptr;
        }
        m_pending.clear();
    }

    static FLAC__StreamDecoderWriteStatus onWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                  const FLAC__int32* const buffer[], void* data)
    {
        auto* self = static_cast<FlacDecoder*>(data);
        const unsigned channels = static_cast<unsigned>(self->m_format.channels());
        const unsigned bits = frame->header.bits_per_sample ? frame->header.bits_per_sample : self->m_bits;
        const unsigned frames = frame->header.blocksize;
        // While scanning to a seek target, what lies before it is dropped.
        const std::int64_t at = self->m_position;
        self->m_position += frames;
        if (frame->header.channels != channels || bits == 0 || bits > 32)
            return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;  // a frame that does not fit is skipped
        const float scale = 1.0f / static_cast<float>(1ull << (bits - 1));
        const unsigned skip = static_cast<unsigned>(std::clamp<std::int64_t>(self->m_skipUntil - at, 0, frames));
        const std::size_t base = self->m_pending.size();
        self->m_pending.resize(base + static_cast<std::size_t>(frames - skip) * channels);
        float* dst = self->m_pending.data() + base;
        for (unsigned i = skip; i < frames; ++i)
            for (unsigned c = 0; c < channels; ++c)
                *dst++ = static_cast<float>(buffer[c][i]) * scale;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    static void onMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* data)
    {
        auto* self = static_cast<FlacDecoder*>(data);
        if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO)
            return;
        const auto& info = metadata->data.stream_info;
        if (info.sample_rate < kMinRate || info.sample_rate > kMaxRate || info.channels < 1 || info.channels > 8)
            return;
        self->m_format.rate = static_cast<int>(info.sample_rate);
        self->m_format.speakers = flacSpeakers(info.channels);
        self->m_bits = info.bits_per_sample;
        self->m_length = info.total_samples > 0 ? static_cast<std::int64_t>(info.total_samples) : -1;
    }
    static void onError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

    FLAC__StreamDecoder* m_decoder = nullptr;
    SourceFormat m_format;
    unsigned m_bits = 16;
    std::int64_t m_length = -1;
    std::vector<float> m_pending;  // decoded by the callbacks, not yet handed out
    bool m_done = false;
    bool m_scanning = false;       // libFLAC could not seek in this file: seeks decode from the start
    std::int64_t m_position = 0;   // frames decoded since the last scan from the start
    std::int64_t m_skipUntil = 0;  // what lies before it is dropped
};

bool readTags(const char* path, std::vector<RawTagSet>* sets)
{
    FLAC__StreamMetadata* tags = nullptr;
    if (!FLAC__metadata_get_tags(path, &tags)) {
        FLAC__StreamMetadata info;
        if (!FLAC__metadata_get_streaminfo(path, &info))
            return false;
        sets->push_back({});
        return true;
    }
    RawTagSet set;
    const auto& comments = tags->data.vorbis_comment;
    for (FLAC__uint32 i = 0; i < comments.num_comments; ++i) {
        TakeVorbisComment(std::string_view(reinterpret_cast<const char*>(comments.comments[i].entry),
                                           comments.comments[i].length),
                          set);
    }
    FLAC__metadata_object_delete(tags);
    sets->push_back(set);
    return true;
}

} // namespace

} // namespace fsound

SORVEL_MODULE_ENTRY const fsound::DecodeApi* sorvel_decode_api()
{
    return fsound::DecodeTable<fsound::FlacDecoder, fsound::readTags>();
}
