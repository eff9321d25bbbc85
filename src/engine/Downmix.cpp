#include "Downmix.h"

#include <algorithm>
#include <cmath>

namespace fsound {

namespace {

constexpr float kMinus3dB = 0.70710678f;

std::pair<float, float> gainsOf(Speaker speaker)
{
    switch (speaker) {
    case Speaker::FrontLeft: return {1.0f, 0.0f};
    case Speaker::FrontRight: return {0.0f, 1.0f};
    case Speaker::FrontCenter: return {kMinus3dB, kMinus3dB};
    case Speaker::LowFrequency: return {0.0f, 0.0f};
    case Speaker::BackLeft:
    case Speaker::SideLeft: return {kMinus3dB, 0.0f};
    case Speaker::BackRight:
    case Speaker::SideRight: return {0.0f, kMinus3dB};
    case Speaker::FrontLeftOfCenter: return {0.9239f, 0.3827f};
    case Speaker::FrontRightOfCenter: return {0.3827f, 0.9239f};
    case Speaker::BackCenter: return {0.5f, 0.5f};
    case Speaker::Unknown: break;
    }
    return {0.0f, 0.0f};
}

} // namespace

Downmix::Downmix(const std::vector<Speaker>& speakers, int outChannels)
    : m_in(static_cast<int>(speakers.size()))
    , m_out(outChannels == 1 ? 1 : 2)
    , m_gains(speakers.size() * 2, 0.0f)
{
    if (m_in == 1) {
        m_gains = {1.0f, 1.0f};  // mono is heard on both sides at its own loudness
    } else {
        int unknown = 0;
        for (int c = 0; c < m_in; ++c) {
            auto [left, right] = gainsOf(speakers[c]);
            if (speakers[c] == Speaker::Unknown)
                (unknown++ % 2 == 0 ? left : right) = 1.0f;
            m_gains[2 * c] = left;
            m_gains[2 * c + 1] = right;
        }
        float sumLeft = 0.0f;
        float sumRight = 0.0f;
        for (int c = 0; c < m_in; ++c) {
            sumLeft += m_gains[2 * c];
            sumRight += m_gains[2 * c + 1];
        }
        const float largest = std::max(sumLeft, sumRight);
        if (largest > 1.0f)
            for (float& gain : m_gains)
                gain /= largest;
    }
    if (m_out == 1)
        for (int c = 0; c < m_in; ++c)
            m_gains[2 * c] = 0.5f * (m_gains[2 * c] + m_gains[2 * c + 1]);
}

void Downmix::apply(const float* in, std::size_t frames, std::vector<float>& out) const
{
    const std::size_t base = out.size();
    out.resize(base + frames * m_out);
    float* dst = out.data() + base;
    if (m_out == 2 && m_in == 2 && m_gains[0] == 1.0f && m_gains[3] == 1.0f && m_gains[1] == 0.0f
        && m_gains[2] == 0.0f) {
        std::copy(in, in + frames * 2, dst);
        return;
    }
    for (std::size_t f = 0; f < frames; ++f) {
        const float* frame = in + f * m_in;
        float left = 0.0f;
        float right = 0.0f;
        for (int c = 0; c < m_in; ++c) {
            left += m_gains[2 * c] * frame[c];
            right += m_gains[2 * c + 1] * frame[c];
        }
        if (m_out == 2) {
            dst[2 * f] = left;
            dst[2 * f + 1] = right;
        } else {
            dst[f] = left;
        }
    }
}

} // namespace fsound
