#include "VisibilityWatch.h"

#include <QCoreApplication>
#include <QEvent>
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

// Adds visibility notices to what this client hears of `window`, keeping the toolkit's own.
bool askForVisibility(xcb_connection_t* connection, xcb_window_t window)
{
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr);
    if (!attributes)
        return false;
    const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    std::free(attributes);
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    return true;
}

} // namespace

VisibilityWatch::VisibilityWatch(QWidget* window, std::function<void(bool seen)> seenChanged)
    : QObject(window)
    , m_window(window)
    , m_seenChanged(std::move(seenChanged))
{
    window->installEventFilter(this);
    if (xConnection())
        QCoreApplication::instance()->installNativeEventFilter(this);
}

VisibilityWatch::~VisibilityWatch()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

void VisibilityWatch::Changed(bool changed)
{
    if (changed && m_seenChanged)
        m_seenChanged(m_state.Seen());
}

void VisibilityWatch::FollowNativeWindow()
{
    QWindow* native = m_window->windowHandle();
    if (native != m_native) {
        if (m_native)
            m_native->removeEventFilter(this);
        m_native = native;
        if (native)
            native->installEventFilter(this);
    }
    // Asked at every showing: a window made anew, or given new flags, hears only the
    // toolkit's events until then. The server tells a window its visibility as it is mapped.
    xcb_connection_t* connection = xConnection();
    const auto id = static_cast<unsigned>(m_window->internalWinId());
    m_xWindow = connection && id != 0 && askForVisibility(connection, id) ? id : 0;
}

bool VisibilityWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Show:
            FollowNativeWindow();
            Changed(m_state.SetShown(true));
            break;
        case QEvent::Hide:
            Changed(m_state.SetShown(false));
            break;
        case QEvent::WindowStateChange:
            Changed(m_state.SetMinimised(m_window->isMinimized()));
            break;
        default:
            break;
        }
    } else if (watched == m_native && event->type() == QEvent::Expose) {
        Changed(m_state.SetExposed(m_native->isExposed()));
    }
    return false;
}

bool VisibilityWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (m_xWindow == 0 || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY)
        return false;
    const auto* visibility = static_cast<const xcb_visibility_notify_event_t*>(message);
    if (visibility->window == m_xWindow)
        Changed(m_state.SetCovered(visibility->state == XCB_VISIBILITY_FULLY_OBSCURED));
    return false;
}
