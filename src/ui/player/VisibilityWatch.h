#pragma once
// Tells a window when it can no longer be seen, and when it can again: it listens to the
// window's showing, hiding and minimising, to its native window's exposure, and (on X11)
// to the X server's visibility notices, so that a window fully covered by others counts
// as unseen. Under a compositor the server reports every window as visible: hidden and
// minimised are then all it can tell. Window thread.

#include "StripVisibility.h"

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;
class QWindow;

class VisibilityWatch : public QObject, public QAbstractNativeEventFilter {
public:
    // `seenChanged` runs with the new value whenever it changes.
    VisibilityWatch(QWidget* window, std::function<void(bool seen)> seenChanged);
    ~VisibilityWatch() override;

    bool Seen() const { return m_state.Seen(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // The native window may be made anew (a change of window flags does): follow it.
    void FollowNativeWindow();
    void Changed(bool changed);

    QWidget* m_window;
    QPointer<QWindow> m_native;
    unsigned m_xWindow = 0;  // the X window asked for visibility notices; 0 for none
    StripVisibility m_state;
    std::function<void(bool)> m_seenChanged;
};
