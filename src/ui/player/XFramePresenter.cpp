#include "XFramePresenter.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

xcb_connection_t* xConnection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Pixels of `depth` take four bytes, lowest byte first, rows without padding past 240 bytes.
bool pixelsAsOurs(xcb_connection_t* connection, std::uint8_t depth)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    if (!setup || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || (depth != 24 && depth != 32))
        return false;
    for (auto format = xcb_setup_pixmap_formats_iterator(setup); format.rem; xcb_format_next(&format)) {
        if (format.data->depth == depth)
            return format.data->bits_per_pixel == 32 && (SpectrumFrameSink::kWidth * 32) % format.data->scanline_pad == 0;
    }
    return false;
}

} // namespace

XFramePresenter::XFramePresenter(QWidget* area, SpectrumFrameSink* sink)
    : m_area(area)
    , m_sink(sink)
{
}

XFramePresenter::~XFramePresenter()
{
    Stop();
    // Only while the toolkit's connection is still the one the context was made on.
    xcb_connection_t* connection = xConnection();
    if (m_gc && connection && connection == m_connection) {
        xcb_free_gc(connection, m_gc);
        xcb_flush(connection);
    }
}

bool XFramePresenter::Start()
{
    Stop();
    xcb_connection_t* connection = xConnection();
    QWidget* top = m_area->window();
    if (!connection || !m_sink || m_area->devicePixelRatioF() != 1.0 || !top->windowHandle()
        || !top->testAttribute(Qt::WA_WState_Created) || !m_area->isVisible())
        return false;
    const auto window = static_cast<xcb_window_t>(top->internalWinId());
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
    if (!geometry)
        return false;
    const std::uint8_t depth = geometry->depth;
    std::free(geometry);
    if (!pixelsAsOurs(connection, depth))
        return false;
    if (m_gc == 0 || m_depth != depth) {
        // A context is bound to a depth and a screen, not to a window: one serves every
        // native window of that depth the strip is given.
        if (m_gc)
            xcb_free_gc(connection, m_gc);
        m_gc = xcb_generate_id(connection);
        const std::uint32_t noExposures = 0;
        xcb_create_gc(connection, m_gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    }
    const QPoint at = m_area->mapTo(top, QPoint(0, 0));
    m_connection = connection;
    m_window = window;
    m_depth = depth;
    m_x = static_cast<std::int16_t>(at.x());
    m_y = static_cast<std::int16_t>(at.y());
    m_sink->SetPresenter([this](const std::uint8_t* bits) { return Present(bits); });
    m_started = true;
    return true;
}

void XFramePresenter::Stop()
{
    if (!m_started)
        return;
    m_sink->SetPresenter({});
    m_started = false;
}

bool XFramePresenter::Present(const std::uint8_t* bits)
{
    constexpr int rowBytes = SpectrumFrameSink::kWidth * 4;
    constexpr int height = SpectrumFrameSink::kHeight;
    for (int row = 0; row < height; ++row)
        std::memcpy(m_rows.data() + (height - 1 - row) * rowBytes, bits + row * rowBytes, rowBytes);
    auto* connection = static_cast<xcb_connection_t*>(m_connection);
    xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_window, m_gc, SpectrumFrameSink::kWidth, height, m_x, m_y,
                  0, m_depth, static_cast<std::uint32_t>(m_rows.size()), m_rows.data());
    xcb_flush(connection);
    return true;
}
