#pragma once
// Puts the spectrum thread's frames straight onto the strip's X window, one bitmap
// transfer a frame, so that the window thread does not wake, paint and flush its backing
// store 12.5 times a second. Where the window cannot take them (XWindowImage) Start()
// says no and the frames are painted as any widget is. The toolkit's copy of the window keeps an
// older frame meanwhile: whoever stops presenting repaints the area through the toolkit.

#include "FrameSink.h"
#include "XWindowImage.h"

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
    // Attached by Start() before the sink is given the presenter and used only while it
    // has it: the sink's lock orders them.
    XWindowImage m_image;
    std::array<std::uint8_t, SpectrumFrameSink::kBytes> m_rows{};  // the frame top row first
};
