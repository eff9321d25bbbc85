#pragma once
// What the decoder tests measure with: whole decodes, the source signal as the encoders
// were given it, and where a decoded stretch lines up with it.

#include "Decoder.h"
#include "support/AudioFixtures.h"

#include <cstdint>
#include <vector>

namespace probe {

constexpr int kRate = 44100;

inline std::vector<float> decodeAll(fsound::Decoder& decoder, std::size_t limitSamples = SIZE_MAX)
{
    std::vector<float> out;
    while (out.size() < limitSamples && decoder.decodeChunk(out)) {
    }
    return out;
}

// The source signal itself, channel 0, as the encoders were fed it.
inline std::vector<float> sourceSignal(double seconds, int rate = kRate)
{
    auto signal = fixtures::Noise(42);
    std::vector<float> out(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = signal(static_cast<std::int64_t>(i), 0);
    return out;
}

// Frame of `source` where `decoded` (interleaved stereo, 4096 frames) lines up best,
// searched within `range` of `expected`.
inline long lagInSource(const std::vector<float>& source, const std::vector<float>& decoded, long expected, long range)
{
    double best = -1e30;
    long bestLag = 0;
    for (long lag = expected - range; lag <= expected + range; ++lag) {
        if (lag < 0 || static_cast<std::size_t>(lag + 4096) > source.size())
            continue;
        double sum = 0;
        for (int i = 0; i < 4096; ++i)
            sum += source[lag + i] * decoded[i * 2];
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    return bestLag;
}

} // namespace probe
