#include "XWindowImage.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

xcb_connection_t* xConnection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Pixels of `depth` take four bytes, lowest byte first, and rows need no padding.
bool pixelsAsOurs(xcb_connection_t* connection, std::uint8_t depth)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    if (!setup || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || (depth != 24 && depth != 32))
        return false;
    for (auto format = xcb_setup_pixmap_formats_iterator(setup); format.rem; xcb_format_next(&format)) {
        if (format.data->depth == depth)
            return format.data->bits_per_pixel == 32 && 32 % format.data->scanline_pad == 0;
    }
    return false;
}

} // namespace

XWindowImage::~XWindowImage()
{
    // Only while the toolkit's connection is still the one the context was made on.
    xcb_connection_t* connection = xConnection();
    if (m_gc && connection && connection == m_connection) {
        xcb_free_gc(connection, m_gc);
        xcb_flush(connection);
    }
}

bool XWindowImage::Attach(const QWidget* area)
{
    xcb_connection_t* connection = xConnection();
    const QWidget* top = area->window();
    if (!connection || area->devicePixelRatioF() != 1.0 || !top->windowHandle()
        || !top->testAttribute(Qt::WA_WState_Created) || !area->isVisible())
        return false;
    if (connection != m_connection)
        m_gc = 0;  // made on a connection that is gone
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
    m_connection = connection;
    m_window = window;
    m_depth = depth;
    m_at = area->mapTo(top, QPoint(0, 0));
    return true;
}

bool XWindowImage::StillFor(const QWidget* area) const
{
    const QWidget* top = area->window();
    return m_gc != 0 && top->testAttribute(Qt::WA_WState_Created) && top->internalWinId() == m_window
        && area->devicePixelRatioF() == 1.0 && area->mapTo(top, QPoint(0, 0)) == m_at;
}

bool XWindowImage::SameWindow(const QWidget* area) const
{
    const QWidget* top = area->window();
    return m_gc != 0 && top->testAttribute(Qt::WA_WState_Created) && top->internalWinId() == m_window;
}

void XWindowImage::Put(const std::uint8_t* bits, int width, int height) const
{
    auto* connection = static_cast<xcb_connection_t*>(m_connection);
    const auto bytes = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 4;
    xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_window, m_gc, static_cast<std::uint16_t>(width),
                  static_cast<std::uint16_t>(height), static_cast<std::int16_t>(m_at.x()),
                  static_cast<std::int16_t>(m_at.y()), 0, m_depth, bytes, bits);
    xcb_flush(connection);
}
