// The rate converter module's entry: libswresample, behind the table of DecodeModule.h.
// Opened only for a song whose rate is not the output's.

#include "DecodeModule.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

namespace fsound {

namespace {

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

ResamplerBackend* makeResampler(int channels, int inRate, int outRate)
{
    auto* resampler = new SwrResampler(channels, inRate, outRate);
    if (resampler->ready())
        return resampler;
    delete resampler;
    return nullptr;
}

const ResampleApi* table()
{
    av_log_set_level(AV_LOG_QUIET);
    static const ResampleApi api{kDecodeApiVersion, &makeResampler};
    return &api;
}

} // namespace

} // namespace fsound

extern "C" __attribute__((visibility("default"))) const fsound::ResampleApi* sorvel_resample_api()
{
    static const fsound::ResampleApi* const api = fsound::table();
    return api;
}
