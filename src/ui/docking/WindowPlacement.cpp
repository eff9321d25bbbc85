#include "WindowPlacement.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHash>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QtMath>
#include <QWindow>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

xcb_connection_t* xConnection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

bool hasNativeWindow(const QWidget* window)
{
    return window && window->windowHandle() && window->testAttribute(Qt::WA_WState_Created);
}

// The window's rectangle on the X server in device pixels of the root window.
std::optional<QRect> windowSystemRect(const QWidget* window)
{
    xcb_connection_t* connection = hasNativeWindow(window) ? xConnection() : nullptr;
    if (!connection)
        return std::nullopt;
    const auto id = static_cast<xcb_window_t>(window->winId());
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
    if (!geometry)
        return std::nullopt;
    const xcb_window_t root = geometry->root;
    const QSize size(geometry->width, geometry->height);
    std::free(geometry);
    xcb_translate_coordinates_reply_t* place =
        xcb_translate_coordinates_reply(connection, xcb_translate_coordinates(connection, id, root, 0, 0), nullptr);
    if (!place)
        return std::nullopt;
    const QRect rect(QPoint(place->dst_x, place->dst_y), size);
    std::free(place);
    return rect;
}

// Asks the window system to put the window at `device` (position only, or also the size).
void configureOnScreen(const QWidget* window, const QRect& device, bool size)
{
    xcb_connection_t* connection = hasNativeWindow(window) ? xConnection() : nullptr;
    if (!connection)
        return;
    std::uint16_t mask = XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
    std::uint32_t values[4] = {static_cast<std::uint32_t>(device.x()), static_cast<std::uint32_t>(device.y()),
                               static_cast<std::uint32_t>(device.width()), static_cast<std::uint32_t>(device.height())};
    if (size)
        mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
    xcb_configure_window(connection, static_cast<xcb_window_t>(window->winId()), mask, values);
    xcb_flush(connection);
}

// Qt asks the window manager to size a resizable window in steps of one logical pixel
// made device pixels and rounded: 2 at 150 %. Openbox then keeps the height at the
// minimum height plus a multiple of 2, so a window of 600 logical pixels (900 device
// pixels) comes out 899 high, 599 logical pixels. The program sizes its windows itself:
// the steps are taken out of the hints. True when there were steps to take out.
bool dropSizeIncrement(const QWidget* window)
{
    xcb_connection_t* connection = hasNativeWindow(window) ? xConnection() : nullptr;
    if (!connection)
        return false;
    constexpr std::uint32_t kFields = 18;  // WM_SIZE_HINTS: flags, 4 obsolete, min, max, increment, aspects, base, gravity
    constexpr std::uint32_t kResizeIncrement = 1u << 6;
    constexpr std::uint32_t kBaseSize = 1u << 8;
    const auto id = static_cast<xcb_window_t>(window->winId());
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 0, kFields), nullptr);
    if (!reply)
        return false;
    std::uint32_t hints[kFields] = {};
    const bool whole = reply->format == 32 && xcb_get_property_value_length(reply) >= int(sizeof hints);
    if (whole)
        std::memcpy(hints, xcb_get_property_value(reply), sizeof hints);
    std::free(reply);
    if (!whole || !(hints[0] & kResizeIncrement) || (hints[9] <= 1 && hints[10] <= 1))
        return false;
    hints[0] &= ~(kResizeIncrement | kBaseSize);
    hints[9] = hints[10] = 1;
    hints[15] = hints[16] = 0;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32,
                        kFields, hints);
    xcb_flush(connection);
    return true;
}

ScreenScale scaleOfScreen(const QScreen* screen)
{
    if (!screen)
        return {};
    return {screen->geometry().topLeft(), screen->devicePixelRatio()};
}

// Where the program last placed a window, and when.
struct Placement : PlacedRect {
    QElapsedTimer since;
    // A place given this recently may not have reached the window system yet: a window
    // manager carries out a drag's many moves one after another, and reports each.
    bool MayBeUnderway() const { return since.isValid() && since.elapsed() < 500; }
};

// Window thread only: the docked windows, and where the program last placed each window.
struct Places {
    QList<QPointer<QWidget>> docked;
    QHash<const QWidget*, Placement> placed;
};

Places& places()
{
    static Places p;
    return p;
}

void remember(QWidget* window, const PlacedRect& place)
{
    Places& p = places();
    if (!p.placed.contains(window))
        QObject::connect(window, &QObject::destroyed, [window] { places().placed.remove(window); });
    Placement placement;
    placement.logical = place.logical;
    placement.device = place.device;
    placement.since.start();
    p.placed.insert(window, placement);
}

// Qt still has the window where the program put it: at the logical place it gave, or at
// Qt's rounding of the device place it gave (what a configure notification leaves). The
// size is not asked: the window manager may have rounded it (see dropSizeIncrement).
bool holdsPlace(const QWidget* window, const PlacedRect& place)
{
    const QPoint qt = window->geometry().topLeft();
    return qt == place.logical.topLeft() || qt == FromDevice(place.device.topLeft(), ScaleOf(window));
}

// Where a docked window stands now, logically and on the screen. While Qt still has the
// place the program gave it, the device place given with it holds (the window system may
// not have carried it out yet).
PlacedRect standing(const QWidget* window)
{
    const QRect logical = LogicalWindowRect(window);
    const auto record = places().placed.constFind(window);
    if (record != places().placed.constEnd() && holdsPlace(window, *record))
        return {logical, record->device};
    if (const std::optional<QRect> onScreen = windowSystemRect(window))
        return {logical, *onScreen};
    return {logical, DeviceRect(logical, ScaleOf(window))};
}

} // namespace

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

ScreenScale ScaleOf(const QWidget* window)
{
    const QScreen* screen = window ? window->screen() : nullptr;
    return scaleOfScreen(screen ? screen : QGuiApplication::primaryScreen());
}

std::optional<QPoint> WindowSystemPosition(const QWidget* window)
{
    const std::optional<QRect> rect = windowSystemRect(window);
    if (!rect)
        return std::nullopt;
    return rect->topLeft();
}

bool SyncPositionWithWindowSystem(QWidget* window)
{
    const std::optional<QPoint> real = WindowSystemPosition(window);
    if (!real)
        return false;
    const QPoint client = window->geometry().topLeft();
    const QPoint frameOffset = client - window->pos();
    const ScreenScale scale = ScaleOf(window);
    const QPoint logical = FromDevice(*real, scale);
    const auto record = places().placed.constFind(window);
    if (record != places().placed.constEnd() && record->device.topLeft() == *real) {
        // Where the program put it: Qt may round that device place either way.
        if (client == record->logical.topLeft() || client == logical)
            return false;
        window->move(record->logical.topLeft() - frameOffset);
        if (ToDevice(record->logical.topLeft(), scale) != *real)
            configureOnScreen(window, record->device, false);
        return true;
    }
    // The window system still shows an earlier step of a drag: moving Qt there would send
    // the window back after the program's latest place.
    if (record != places().placed.constEnd() && record->MayBeUnderway())
        return false;
    if (logical == client)
        return false;
    window->move(logical - frameOffset);
    return true;
}

void RegisterDockedWindow(QWidget* window)
{
    if (window && !places().docked.contains(window))
        places().docked << window;
}

void PlaceWindow(QWidget* window, const QRect& logical, bool resizing, const QWidget* leader, const QRect& leaderRect)
{
    if (!window)
        return;
    if (resizing || window->size() != logical.size())
        window->setGeometry(logical);
    else
        window->move(logical.topLeft());

    const QScreen* target = QGuiApplication::screenAt(logical.center());
    const ScreenScale scale = target ? scaleOfScreen(target) : ScaleOf(window);
    const QRect qtDevice = DeviceRect(logical, scale);
    QList<PlacedRect> others;
    for (const QPointer<QWidget>& other : std::as_const(places().docked)) {
        if (!other || other == window || !other->isVisible())
            continue;
        if (other == leader)
            others << PlacedRect{leaderRect, DeviceRect(leaderRect, ScaleOf(other))};
        else
            others << standing(other);
    }
    const QRect device = AlignedDeviceRect(logical, qtDevice, others, resizing);
    remember(window, {logical, device});
    // Qt sets the hints again with its steps at every move; the size may not stand.
    const bool stepsDropped = dropSizeIncrement(window);
    if (device != qtDevice || stepsDropped)
        configureOnScreen(window, device, device.size() != qtDevice.size() || stepsDropped);
}

bool SettlePlace(QWidget* window)
{
    SyncPositionWithWindowSystem(window);
    const auto record = places().placed.constFind(window);
    const std::optional<QRect> onScreen = windowSystemRect(window);
    if (!window->isVisible() || !onScreen || record == places().placed.constEnd())
        return false;
    if (*onScreen != record->device && record->MayBeUnderway())
        return true;
    // Shown again (mapped where Qt's rounding of its logical place puts it), or sized by
    // the window manager in Qt's steps: back to the device place the program gave it.
    if (*onScreen != record->device && holdsPlace(window, *record)) {
        dropSizeIncrement(window);
        configureOnScreen(window, record->device, onScreen->size() != record->device.size());
        return false;
    }
    if (!places().docked.contains(window))
        return false;
    // A window that touches another docked window stands on its device edge.
    const QRect logical = LogicalWindowRect(window);
    QList<PlacedRect> others;
    for (const QPointer<QWidget>& other : std::as_const(places().docked))
        if (other && other != window && other->isVisible())
            others << standing(other);
    if (AlignedDeviceRect(logical, *onScreen, others, false) != *onScreen)
        PlaceWindow(window, logical);
    return false;
}

QRect LogicalWindowRect(const QWidget* window)
{
    if (!window)
        return {};
    const auto record = places().placed.constFind(window);
    if (record != places().placed.constEnd()) {
        if (holdsPlace(window, *record))
            return record->logical;
        const std::optional<QRect> onScreen = windowSystemRect(window);
        if (onScreen && *onScreen == record->device)
            return record->logical;
    }
    return window->geometry();
}

PositionSettler::PositionSettler(QWidget* window) : m_window(window)
{
    m_again.setSingleShot(true);
    QObject::connect(&m_again, &QTimer::timeout, window, [this] {
        if (SettlePlace(m_window))
            m_again.start(kSettleMs);
    });
}

void PositionSettler::Moved()
{
    SyncPositionWithWindowSystem(m_window);
    m_again.start(kSettleMs);
}
