#pragma once
// Folds any number of channels into the output's one or two. Channels whose place is
// known go where they are heard (centre to both sides at -3 dB, surrounds to their side
// at -3 dB, the low-frequency channel left out); channels of unknown place go left and
// right in turn. The gains are scaled so that no output sum can exceed full scale.

#include "DecodeModule.h"

#include <vector>

namespace fsound {

class Downmix {
public:
    Downmix() = default;
    Downmix(const std::vector<Speaker>& speakers, int outChannels);

    int inChannels() const { return m_in; }
    // Appends `frames` frames of `in` (inChannels() interleaved) to `out`, mixed down.
    void apply(const float* in, std::size_t frames, std::vector<float>& out) const;

private:
    int m_in = 0;
    int m_out = 2;
    std::vector<float> m_gains;  // m_in pairs: left, right
};

} // namespace fsound
