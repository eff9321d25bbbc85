#include "Spectrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace fsound {

FftAnalyser::FftAnalyser()
    : m_twiddle(kFftSize / 2)
    , m_work(kFftSize)
{
    for (int i = 0; i < kFftSize; ++i)
        m_window[i] = 0.5f * (1.0f - std::cos(2.0f * std::numbers::pi_v<float> * i / kFftSize));
    int bits = 0;
    while ((1 << bits) < kFftSize)
        ++bits;
    for (int i = 0; i < kFftSize; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            r |= ((i >> b) & 1) << (bits - 1 - b);
        m_bitReverse[i] = r;
    }
    for (int k = 0; k < kFftSize / 2; ++k)
        m_twiddle[k] = std::polar(1.0f, -2.0f * std::numbers::pi_v<float> * k / kFftSize);
}

void FftAnalyser::analyse(const float* samples, float* out)
{
    for (int i = 0; i < kFftSize; ++i)
        m_work[m_bitReverse[i]] = {samples[i] * m_window[i], 0.0f};
    for (int len = 2; len <= kFftSize; len <<= 1) {
        const int half = len / 2;
        const int step = kFftSize / len;
        for (int start = 0; start < kFftSize; start += len) {
            for (int k = 0; k < half; ++k) {
                const std::complex<float> t = m_twiddle[k * step] * m_work[start + k + half];
                m_work[start + k + half] = m_work[start + k] - t;
                m_work[start + k] += t;
            }
        }
    }
    // The Hann window's sum is N/2, and a real sine splits over two mirrored bins.
    const float scale = 4.0f / kFftSize;
    for (int k = 0; k < kSpectrumBins; ++k)
        out[k] = std::min(1.0f, std::abs(m_work[k]) * scale);
}

void PlayedHistory::append(const float* stereo, std::size_t frames)
{
    std::uint64_t w = m_written.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < frames; ++i, ++w)
        m_samples[w % kSize].store(0.5f * (stereo[2 * i] + stereo[2 * i + 1]), std::memory_order_relaxed);
    m_written.store(w, std::memory_order_release);
}

bool PlayedHistory::latest(float* out, std::size_t latencyFrames) const
{
    const std::uint64_t written = m_written.load(std::memory_order_acquire);
    if (written < latencyFrames + kFftSize)
        return false;
    const std::uint64_t first = written - latencyFrames - kFftSize;
    for (int i = 0; i < kFftSize; ++i)
        out[i] = m_samples[(first + i) % kSize].load(std::memory_order_relaxed);
    return true;
}

void PlayedHistory::clear()
{
    for (auto& s : m_samples)
        s.store(0.0f, std::memory_order_relaxed);
    m_written.store(0, std::memory_order_release);
}

} // namespace fsound
