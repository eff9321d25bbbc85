#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

QList<QRect> ScreenWorkAreas()
{
    QList<QRect> areas;
    if (QScreen* primary = QGuiApplication::primaryScreen())
        areas << primary->availableGeometry();
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            areas << screen->availableGeometry();
    return areas;
}

std::optional<QPoint> WindowSystemPosition(const QWidget* window)
{
    if (!window || !window->windowHandle() || !window->testAttribute(Qt::WA_WState_Created))
        return std::nullopt;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
    if (!geometry)
        return std::nullopt;
    const xcb_window_t root = geometry->root;
    std::free(geometry);
    xcb_translate_coordinates_reply_t* place =
        xcb_translate_coordinates_reply(connection, xcb_translate_coordinates(connection, id, root, 0, 0), nullptr);
    if (!place)
        return std::nullopt;
    const QPoint position(place->dst_x, place->dst_y);
    std::free(place);
    return position;
}

bool SyncPositionWithWindowSystem(QWidget* window)
{
    const std::optional<QPoint> real = WindowSystemPosition(window);
    const QPoint client = window->geometry().topLeft();
    if (!real || *real == client)
        return false;
    window->move(*real - (client - window->pos()));
    return true;
}

PositionSettler::PositionSettler(QWidget* window) : m_window(window)
{
    m_again.setSingleShot(true);
    QObject::connect(&m_again, &QTimer::timeout, window, [this] { SyncPositionWithWindowSystem(m_window); });
}

void PositionSettler::Moved()
{
    SyncPositionWithWindowSystem(m_window);
    m_again.start(kSettleMs);
}
