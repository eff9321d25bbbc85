#pragma once
// Puts the spectrum thread's frames straight onto the strip's X window, one bitmap
// transfer a frame, so that the window thread does not wake, paint and flush its backing
// store 12.5 times a second. Only at 100 %, and on an X server whose 24- or 32-bit pixels
// lie in memory as the frames do (blue, green, red, unused); otherwise Start() says no and
// the frames are painted as any widget is. The toolkit's copy of the window keeps an
// older frame meanwhile: whoever stops presenting repaints the area through the toolkit.

#include "FrameSink.h"

#include <array>
#include <cstdint>

class QWidget;

class XFramePresenter {
public:
    // `area` is the spectrum area; both must outlive the presenter.
    XFramePresenter(QWidget* area, SpectrumFrameSink* sink);
    // Stops presenting.
    ~XFramePresenter();
    XFramePresenter(const XFramePresenter&) = delete;
    XFramePresenter& operator=(const XFramePresenter&) = delete;

    // Window thread. Starts (again, for the window as it is now: its native window may
    // have been made anew) when the window can take frames this way; false otherwise.
    bool Start();
    // Window thread. Once it returns no frame is presented until the next Start().
    void Stop();
    bool Started() const { return m_started; }

private:
    // Spectrum thread, under the sink's lock: `bits` bottom row first.
    bool Present(const std::uint8_t* bits);

    QWidget* const m_area;
    SpectrumFrameSink* const m_sink;
    bool m_started = false;
    // Written by Start() before the sink is given the presenter and read only while it has
    // it: the sink's lock orders them.
    void* m_connection = nullptr;  // the toolkit's xcb connection; xcb serialises its users
    std::uint32_t m_window = 0;
    std::uint32_t m_gc = 0;
    std::int16_t m_x = 0;
    std::int16_t m_y = 0;
    std::uint8_t m_depth = 0;
    std::array<std::uint8_t, SpectrumFrameSink::kBytes> m_rows{};  // the frame top row first
};
