#pragma once
// Puts pictures straight onto an area of the strip's X window, past the toolkit's backing
// store: for the parts that change many times a minute (the spectrum, the clock), so that
// a change costs one bitmap transfer and not a repaint and a flush of the window. Only at
// 100 %, and on an X server whose 24- or 32-bit pixels lie in memory as
// QImage::Format_RGB32's do (blue, green, red, unused); otherwise Attach() says no.

#include <QPoint>

#include <cstdint>

class QWidget;

class XWindowImage {
public:
    XWindowImage() = default;
    ~XWindowImage();
    XWindowImage(const XWindowImage&) = delete;
    XWindowImage& operator=(const XWindowImage&) = delete;

    // Window thread: for `area` as it is now (its native window may have been made anew,
    // or the area moved). False when pictures cannot go this way.
    bool Attach(const QWidget* area);
    // Window thread: still attached to `area`'s window at its place and scale.
    bool StillFor(const QWidget* area) const;
    // Window thread: `area`'s window is still the one attached to (it may have been
    // made anew). Cheaper than StillFor, for a caller that knows nothing moved.
    bool SameWindow(const QWidget* area) const;
    // Any thread once attached (xcb serialises its users): `bits` top row first, four
    // bytes a pixel, rows `width` pixels long and unpadded, at the area's top left.
    void Put(const std::uint8_t* bits, int width, int height) const;

private:
    void* m_connection = nullptr;  // the toolkit's xcb connection
    std::uint32_t m_window = 0;
    std::uint32_t m_gc = 0;
    QPoint m_at;
    std::uint8_t m_depth = 0;
};
