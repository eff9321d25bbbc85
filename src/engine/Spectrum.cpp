#include "Spectrum.h"

#include "DecodeModule.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <cmath>
#include <numbers>

namespace fsound {

FftAnalyser::FftAnalyser()
{
    for (int i = 0; i < kFftSize; ++i)
        m_window[i] = 0.5f * (1.0f - std::cos(2.0f * std::numbers::pi_v<float> * i / kFftSize));
    if (const FftApi* api = FftModule())
        m_fft.reset(api->makeFft(kFftSize));
}

FftAnalyser::~FftAnalyser() = default;

void FftAnalyser::analyse(const float* samples, float* out)
{
    if (!m_fft) {
        std::fill(out, out + kSpectrumBins, 0.0f);
        return;
    }
    float* in = m_fft->input();
    for (int i = 0; i < kFftSize; ++i)
        in[i] = samples[i] * m_window[i];
    const float* spectrum = m_fft->transform();
    // The Hann window's sum is N/2, and a real sine splits over two mirrored bins.
    const float scale = 4.0f / kFftSize;
    for (int k = 0; k < kSpectrumBins; ++k) {
        const float re = spectrum[2 * k];
        const float im = spectrum[2 * k + 1];
        out[k] = std::min(1.0f, std::sqrt(re * re + im * im) * scale);
    }
}

PlayedHistory::PlayedHistory()
    // calloc takes a block this large straight from the system, already zero: no page
    // is touched until the ring writes to it.
    : m_samples(static_cast<float*>(std::calloc(kSize, sizeof(float))))
    , m_span(SpanFor(44100))
{
    if (!m_samples)
        throw std::bad_alloc();
}

PlayedHistory::~PlayedHistory()
{
    std::free(m_samples);
}

std::size_t PlayedHistory::SpanFor(int rate)
{
    const auto steps = static_cast<std::size_t>(std::ceil(std::max(rate, 1) / 44100.0));
    const std::size_t need = static_cast<std::size_t>(std::max(rate, 1)) + 2 * kFftSize * steps;
    constexpr std::size_t kPage = 4096 / sizeof(float);
    return std::min(kSize, (need + kPage - 1) / kPage * kPage);
}

void PlayedHistory::append(const float* stereo, std::size_t frames, float gain, int rate)
{
    const std::size_t span = SpanFor(rate);
    std::uint64_t w = m_written.load(std::memory_order_relaxed);
    if (span != m_span.load(std::memory_order_relaxed)) {
        m_span.store(span, std::memory_order_relaxed);
        w = 0;
    }
    // One division a call, not one a sample.
    std::size_t at = static_cast<std::size_t>(w % span);
    for (std::size_t i = 0; i < frames; ++i) {
        std::atomic_ref(m_samples[at]).store(0.5f * gain * (stereo[2 * i] + stereo[2 * i + 1]), std::memory_order_relaxed);
        if (++at == span)
            at = 0;
    }
    m_written.store(w + frames, std::memory_order_release);
}

bool PlayedHistory::latest(float* out, std::size_t latencyFrames, double step) const
{
    const std::uint64_t written = m_written.load(std::memory_order_acquire);
    const std::size_t size = m_span.load(std::memory_order_relaxed);
    const auto span = static_cast<std::uint64_t>(std::ceil((kFftSize - 1) * step)) + 1;
    if (written < latencyFrames + span || latencyFrames + span > size)
        return false;
    const std::uint64_t first = written - latencyFrames - span;
    for (int i = 0; i < kFftSize; ++i) {
        const double at = i * step;
        const auto whole = static_cast<std::uint64_t>(at);
        const auto part = static_cast<float>(at - static_cast<double>(whole));
        const float a = std::atomic_ref(m_samples[(first + whole) % size]).load(std::memory_order_relaxed);
        const float b = part > 0 ? std::atomic_ref(m_samples[(first + whole + 1) % size]).load(std::memory_order_relaxed) : a;
        out[i] = a + (b - a) * part;
    }
    return true;
}

void PlayedHistory::clear()
{
    const std::size_t size = m_span.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < size; ++i)
        std::atomic_ref(m_samples[i]).store(0.0f, std::memory_order_relaxed);
    m_written.store(0, std::memory_order_release);
}

} // namespace fsound
