#pragma once
// Where the spectrum thread delivers its frames. Qt widgets may only be painted on the
// window thread, so the thread copies each 60 x 30 frame in here under one mutex and
// the display panel paints the latest copy at (1, 1) of the spectrum area.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

// A device-independent bitmap header followed by one colour entry: 44 bytes.
struct BitmapInfo {
    std::uint32_t biSize;
    std::int32_t biWidth;
    std::int32_t biHeight;   // positive: bottom row first
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    std::uint32_t biCompression;
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
    std::uint8_t bmiColors[4];
};
static_assert(sizeof(BitmapInfo) == 44, "header of 40 bytes plus one colour entry");

class SpectrumFrameSink {
public:
    static constexpr int kWidth = 60;
    static constexpr int kHeight = 30;
    static constexpr int kBytes = kWidth * kHeight * 4;
    using Frame = std::array<std::uint8_t, kBytes>;  // BGRA, bottom row first

    // Spectrum thread. Copies `info.biHeight` scan lines (at most 30) of 32-bit pixels,
    // then calls the repaint request outside the lock. Frames in another format are
    // ignored, and so is a frame drawn before the last Clear: `generation` is what
    // Generation() said before the thread looked whether a stream was open, so a stop
    // that erased the area while the frame was being drawn is never undone by it.
    void SetDIBits(const BitmapInfo& info, const std::uint8_t* bits, std::uint64_t generation);
    std::uint64_t Generation() const;

    // Window thread.
    bool HasFrame() const;
    Frame LatestFrame() const;
    std::uint64_t FrameCount() const { return m_count.load(); }
    // Forgets the last frame, so the panel shows its background again, and refuses
    // frames that were begun before.
    void Clear();
    // Called on the spectrum thread after every frame; the panel passes a queued update.
    // Set it before the thread starts.
    void SetRepaintRequest(std::function<void()> request) { m_repaint = std::move(request); }

private:
    mutable std::mutex m_mutex;  // guards m_frame, m_hasFrame, m_generation
    Frame m_frame{};
    bool m_hasFrame = false;
    std::uint64_t m_generation = 0;
    std::atomic<std::uint64_t> m_count{0};
    std::function<void()> m_repaint;
};
