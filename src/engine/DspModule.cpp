// The DSP module's entry: libavutil's real transform for the spectrum and
// libswresample's rate converter, behind the table of DecodeModule.h. Small beside the
// FFmpeg module: libavutil and libswresample without the codecs and formats.

#include "DecodeModule.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/tx.h>
#include <libswresample/swresample.h>
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

class SwrResampler final : public ResamplerBackend {
public:
    SwrResampler(int channels, int inRate, int outRate)
        : m_channels(channels)
    {
        AVChannelLayout layout;
        av_channel_layout_default(&layout, channels);
        if (swr_alloc_set_opts2(&m_swr, &layout, AV_SAMPLE_FMT_FLT, outRate, &layout, AV_SAMPLE_FMT_FLT, inRate, 0,
                                nullptr)
            >= 0) {
            if (swr_init(m_swr) < 0)
                swr_free(&m_swr);
        }
        av_channel_layout_uninit(&layout);
    }
    ~SwrResampler() override { swr_free(&m_swr); }
    SwrResampler(const SwrResampler&) = delete;
    SwrResampler& operator=(const SwrResampler&) = delete;

    bool ready() const { return m_swr != nullptr; }
    void convert(const float* in, int frames, std::vector<float>& out) override
    {
        run(reinterpret_cast<const std::uint8_t*>(in), frames, out);
    }
    void flush(std::vector<float>& out) override { run(nullptr, 0, out); }

private:
    void run(const std::uint8_t* in, int frames, std::vector<float>& out)
    {
        const int capacity = swr_get_out_samples(m_swr, frames) + 64;
        const std::size_t base = out.size();
        out.resize(base + static_cast<std::size_t>(capacity) * m_channels);
        auto* dst = reinterpret_cast<std::uint8_t*>(out.data() + base);
        const std::uint8_t* src[1] = {in};
        const int made = swr_convert(m_swr, &dst, capacity, in ? src : nullptr, frames);
        out.resize(base + static_cast<std::size_t>(std::max(made, 0)) * m_channels);
    }

    SwrContext* m_swr = nullptr;
    int m_channels;
};

FftBackend* makeFft(int size)
{
    auto* fft = new FfmpegFft(size);
    if (fft->ready())
        return fft;
    delete fft;
    return nullptr;
}

ResamplerBackend* makeResampler(int channels, int inRate, int outRate)
{
    auto* resampler = new SwrResampler(channels, inRate, outRate);
    if (resampler->ready())
        return resampler;
    delete resampler;
    return nullptr;
}

const DspApi* table()
{
    av_log_set_level(AV_LOG_QUIET);
    static const DspApi api{kDecodeApiVersion, &makeFft, &makeResampler};
    return &api;
}

} // namespace

} // namespace fsound

extern "C" __attribute__((visibility("default"))) const fsound::DspApi* sorvel_dsp_api()
{
    static const fsound::DspApi* const api = fsound::table();
    return api;
}
