#pragma once
// Magnitude spectrum of the last 1024 samples played: a Hann window and libavutil's
// real-input transform, scaled so that a full-scale sine centred on a bin reads 1.0.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace fsound {

class FftBackend;

constexpr int kFftSize = 1024;
constexpr int kSpectrumBins = kFftSize / 2;

// One per thread that asks for the spectrum; not thread-safe.
class FftAnalyser {
public:
    FftAnalyser();
    ~FftAnalyser();
    FftAnalyser(const FftAnalyser&) = delete;
    FftAnalyser& operator=(const FftAnalyser&) = delete;
    // samples: kFftSize mono samples, oldest first. out: kSpectrumBins magnitudes in 0..1.
    void analyse(const float* samples, float* out);

private:
    std::array<float, kFftSize> m_window{};
    std::unique_ptr<FftBackend> m_fft;  // the decoding module's transform; null without it
};

// History of the mono mix handed to the device, written by the device callback and
// read by whichever thread asks for the spectrum. Samples are read and written whole
// (atomically), so a reader racing the writer sees old or new values, never torn ones.
class PlayedHistory {
public:
    // Room for what a sound server keeps queued (a second) plus the windows' span, at
    // 192 kHz. The ring uses as much of it as the output's rate needs, and memory is
    // taken only for what it uses: 184 KiB at 44.1 kHz, 1 MiB at 192 kHz.
    static constexpr std::size_t kSize = 262144;

    PlayedHistory();
    ~PlayedHistory();
    PlayedHistory(const PlayedHistory&) = delete;
    PlayedHistory& operator=(const PlayedHistory&) = delete;

    // Callback side, at the output's `rate`. A change of rate starts the history afresh.
    void append(const float* stereo, std::size_t frames, float gain = 1.0f, int rate = 44100);
    // Copies the kFftSize samples that end `latencyFrames` before the newest one, taken
    // `step` frames apart (between two frames, what lies between them): a step of
    // rate / 44,100 gives every rate the bands of 44.1 kHz. Returns false (and leaves
    // `out` alone) when not enough has been played yet.
    bool latest(float* out, std::size_t latencyFrames, double step = 1.0) const;
    void clear();

    // The ring's length at `rate`: a second and two windows, in whole pages.
    static std::size_t SpanFor(int rate);

private:
    float* m_samples;  // kSize, zeroed by the system page by page as the ring first reaches it
    std::atomic<std::size_t> m_span;
    std::atomic<std::uint64_t> m_written{0};
};

} // namespace fsound
