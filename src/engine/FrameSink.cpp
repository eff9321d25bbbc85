#include "FrameSink.h"

#include <algorithm>
#include <cstring>

void SpectrumFrameSink::SetDIBits(const BitmapInfo& info, const std::uint8_t* bits, std::uint64_t generation,
                                  const float* spectrum)
{
    if (!bits || info.biBitCount != 32 || info.biWidth != kWidth || info.biHeight <= 0)
        return;
    const int lines = std::min<int>(info.biHeight, kHeight);
    {
        std::lock_guard guard(m_mutex);
        if (generation != m_generation)
            return;
        std::memcpy(m_frame.data(), bits, static_cast<std::size_t>(lines) * kWidth * 4);
        for (int bar = 0; bar < kBars; ++bar)
            m_levels[bar] = spectrum ? spectrum[2 * bar] : 0.0f;
        m_hasFrame = true;
    }
    m_count.fetch_add(1);
    std::lock_guard guard(m_repaintMutex);
    if (m_repaint)
        m_repaint();
}

void SpectrumFrameSink::SetRepaintRequest(std::function<void()> request)
{
    std::lock_guard guard(m_repaintMutex);
    m_repaint = std::move(request);
}

bool SpectrumFrameSink::HasFrame() const
{
    std::lock_guard guard(m_mutex);
    return m_hasFrame;
}

SpectrumFrameSink::Frame SpectrumFrameSink::LatestFrame() const
{
    std::lock_guard guard(m_mutex);
    return m_frame;
}

SpectrumFrameSink::Levels SpectrumFrameSink::LatestLevels() const
{
    std::lock_guard guard(m_mutex);
    return m_levels;
}

void SpectrumFrameSink::Clear()
{
    std::lock_guard guard(m_mutex);
    m_hasFrame = false;
    ++m_generation;
}

std::uint64_t SpectrumFrameSink::Generation() const
{
    std::lock_guard guard(m_mutex);
    return m_generation;
}
