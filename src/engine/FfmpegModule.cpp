// The decoding module's entry: FFmpeg's decoder, its real transform for the spectrum,
// and its demuxers' tags, behind the table of DecodeModule.h.

#include "DecodeModule.h"
#include "FfmpegDecoder.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

namespace fsound {

namespace {

class FfmpegFft final : public FftBackend {
public:
    explicit FfmpegFft(int size)
    {
        const float scale = 1.0f;
        // Room for size / 2 + 1 complex values, aligned as the transform wants.
        m_in = static_cast<float*>(av_malloc(sizeof(float) * (static_cast<std::size_t>(size) + 2)));
        m_out = static_cast<float*>(av_malloc(sizeof(float) * (static_cast<std::size_t>(size) + 2)));
        if (!m_in || !m_out || av_tx_init(&m_tx, &m_transform, AV_TX_FLOAT_RDFT, 0, size, &scale, 0) < 0)
            m_transform = nullptr;
    }
    ~FfmpegFft() override
    {
        av_tx_uninit(&m_tx);
        av_free(m_in);
        av_free(m_out);
    }
    FfmpegFft(const FfmpegFft&) = delete;
    FfmpegFft& operator=(const FfmpegFft&) = delete;

    bool ready() const { return m_transform != nullptr; }
    float* input() override { return m_in; }
    const float* transform() override
    {
        m_transform(m_tx, m_out, m_in, sizeof(float));
        return m_out;
    }

private:
    AVTXContext* m_tx = nullptr;
    av_tx_fn m_transform = nullptr;
    float* m_in = nullptr;
    float* m_out = nullptr;
};

DecoderBackend* makeDecoder()
{
    return new FfmpegDecoder;
}

FftBackend* makeFft(int size)
{
    auto* fft = new FfmpegFft(size);
    if (fft->ready())
        return fft;
    delete fft;
    return nullptr;
}

std::string value(const AVDictionary* tags, const char* key)
{
    const AVDictionaryEntry* entry = av_dict_get(tags, key, nullptr, 0);
    return entry && entry->value ? std::string(entry->value) : std::string();
}

RawTagSet tagSet(const AVDictionary* tags)
{
    return {value(tags, "title"), value(tags, "artist"), value(tags, "album_artist"), value(tags, "album")};
}

bool readTags(const char* path, std::vector<RawTagSet>* sets)
{
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path, nullptr, nullptr) != 0)
        return false;
    sets->push_back(tagSet(context->metadata));
    for (unsigned i = 0; i < context->nb_streams; ++i)
        if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            sets->push_back(tagSet(context->streams[i]->metadata));
    avformat_close_input(&context);
    return true;
}

const DecodeApi* table()
{
    av_log_set_level(AV_LOG_QUIET);  // damaged files are expected; the library stays silent
    static const DecodeApi api{kDecodeApiVersion, &makeDecoder, &makeFft, &readTags};
    return &api;
}

} // namespace

} // namespace fsound

extern "C" __attribute__((visibility("default"))) const fsound::DecodeApi* sorvel_decode_api()
{
    static const fsound::DecodeApi* const api = fsound::table();
    return api;
}
