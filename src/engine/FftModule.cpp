// The transform module's entry: libavutil's real transform for the spectrum, behind the
// table of DecodeModule.h. Every song opens it; it maps libavutil and what that links,
// none of FFmpeg's codecs and formats.

#include "DecodeModule.h"

extern "C" {
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

FftBackend* makeFft(int size)
{
    auto* fft = new FfmpegFft(size);
    if (fft->ready())
        return fft;
    delete fft;
    return nullptr;
}

const FftApi* table()
{
    av_log_set_level(AV_LOG_QUIET);
    static const FftApi api{kDecodeApiVersion, &makeFft};
    return &api;
}

} // namespace

} // namespace fsound

extern "C" __attribute__((visibility("default"))) const fsound::FftApi* sorvel_fft_api()
{
    static const fsound::FftApi* const api = fsound::table();
    return api;
}
