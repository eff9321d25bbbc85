#pragma once
// Where the spectrum thread delivers its frames. Qt widgets may only be painted on the
// window thread, so the thread copies each 60 x 30 frame in here under one mutex and
// the display panel paints the latest copy at (1, 1) of the spectrum area. With the frame
// come the values its bars were drawn from, so that a display with more device pixels
// can draw the same bars at its own resolution.

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
    static constexpr int kBars = 30;
    using Frame = std::array<std::uint8_t, kBytes>;  // BGRA, bottom row first
    // The spectrum value of each bar, bar 0 (the lowest frequency, the rightmost column) first.
    using Levels = std::array<float, kBars>;

    // Spectrum thread. Copies `info.biHeight` scan lines (at most 30) of 32-bit pixels,
    // then, when they differ from the frame before, presents them (see SetPresenter) or
    // calls the repaint request outside the lock. Frames in another format are
    // ignored, and so is a frame drawn before the last Clear: `generation` is what
    // Generation() said before the thread looked whether a stream was open, so a stop
    // that erased the area while the frame was being drawn is never undone by it.
    // `spectrum`, when given, is what the bars were drawn from: bar b from spectrum[2 b].
    void SetDIBits(const BitmapInfo& info, const std::uint8_t* bits, std::uint64_t generation,
                   const float* spectrum = nullptr);
    std::uint64_t Generation() const;

    // Window thread.
    bool HasFrame() const;
    Frame LatestFrame() const;
    // Copies the latest frame into `topRowFirst`, 30 rows of `bytesPerLine` bytes whose
    // first 240 bytes are a row's pixels, turned the right way up; false (and nothing
    // written) when there is none.
    bool CopyLatestFrame(std::uint8_t* topRowFirst, std::ptrdiff_t bytesPerLine) const;
    // The values of the latest frame's bars (zero when it came without them).
    Levels LatestLevels() const;
    std::uint64_t FrameCount() const { return m_count.load(); }
    // Forgets the last frame, so the panel shows its background again, and refuses
    // frames that were begun before.
    void Clear();
    // Called on the spectrum thread after every frame; the panel passes a queued update.
    // The sink outlives the panels that show it: a panel that goes takes its request back
    // (an empty one), which waits for a request under way to return. Window thread.
    void SetRepaintRequest(std::function<void()> request);

    // Whether anyone can see the frames: false while the window that shows them is hidden,
    // minimised or covered. The spectrum thread sleeps while it is false; the wake request
    // runs (on the caller's thread) when it turns true. Window thread; Shown() any thread.
    void SetShown(bool shown);
    bool Shown() const { return m_shown.load(); }
    // Set by the spectrum thread's owner, on the window thread; empty for none.
    void SetWakeRequest(std::function<void()> request) { m_wakeRequest = std::move(request); }

    // Puts a new frame on the screen at once, on the spectrum thread while the sink's lock
    // is held (`bits` bottom row first, as SetDIBits was given them), so that the window
    // thread does not wake for it. It returns false when it could not; the repaint request
    // then runs as it does without one. Frames are presented only while Shown(). Setting
    // it (empty for none) waits for a frame being presented, so that once it returns the
    // old one is never called again. Window thread.
    using Presenter = std::function<bool(const std::uint8_t* bits)>;
    void SetPresenter(Presenter presenter);

private:
    mutable std::mutex m_mutex;  // guards m_frame, m_levels, m_hasFrame, m_generation, m_presenter
    Frame m_frame{};
    Levels m_levels{};
    bool m_hasFrame = false;
    std::uint64_t m_generation = 0;
    std::atomic<std::uint64_t> m_count{0};
    std::mutex m_repaintMutex;  // guards m_repaint; held while it runs, never with m_mutex
    std::function<void()> m_repaint;
    Presenter m_presenter;
    std::atomic<bool> m_shown{true};  // written under m_mutex, so no frame is presented after it falls
    std::function<void()> m_wakeRequest;  // window thread only
};
