#include "FrameSink.h"

#include <algorithm>
#include <cstring>
#include <utility>

void SpectrumFrameSink::SetDIBits(const BitmapInfo& info, const std::uint8_t* bits, std::uint64_t generation,
                                  const float* spectrum)
{
    if (!bits || info.biBitCount != 32 || info.biWidth != kWidth || info.biHeight <= 0)
        return;
    const std::size_t bytes = static_cast<std::size_t>(std::min<int>(info.biHeight, kHeight)) * kWidth * 4;
    bool changed = false;
    bool presented = false;
    {
        std::lock_guard guard(m_mutex);
        if (generation != m_generation)
            return;
        // Quiet passages give the same bars frame after frame: nothing to repaint then.
        changed = !m_hasFrame || std::memcmp(m_frame.data(), bits, bytes) != 0;
        if (changed)
            std::memcpy(m_frame.data(), bits, bytes);
        for (int bar = 0; bar < kBars; ++bar)
            m_levels[bar] = spectrum ? spectrum[2 * bar] : 0.0f;
        m_hasFrame = true;
        if (changed && m_presenter && m_shown.load())
            presented = m_presenter(m_frame.data());
    }
    m_count.fetch_add(1);
    if (!changed || presented)
        return;
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

bool SpectrumFrameSink::CopyLatestFrame(std::uint8_t* topRowFirst, std::ptrdiff_t bytesPerLine) const
{
    constexpr std::size_t rowBytes = kWidth * 4;
    std::lock_guard guard(m_mutex);
    if (!m_hasFrame)
        return false;
    for (int row = 0; row < kHeight; ++row)
        std::memcpy(topRowFirst + (kHeight - 1 - row) * bytesPerLine, m_frame.data() + row * rowBytes, rowBytes);
    return true;
}

void SpectrumFrameSink::SetPresenter(Presenter presenter)
{
    Presenter old;
    std::lock_guard guard(m_mutex);
    old = std::exchange(m_presenter, std::move(presenter));
}

void SpectrumFrameSink::SetShown(bool shown)
{
    {
        std::lock_guard guard(m_mutex);
        if (m_shown.exchange(shown) == shown || !shown)
            return;
    }
    if (m_wakeRequest)
        m_wakeRequest();
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
