#pragma once
// The desktop's notification area for `TTrayIcon`: one QSystemTrayIcon per icon. Its
// activations become the notifications the icon expects (a click is a button down and
// up, a double click a double click and an up, the context request a right button down
// and up, the middle button the same), a click on a balloon the balloon-click
// notification. A visible icon comes back by itself when the notification area does
// (Qt watches for it); a hidden one does not.

#include "Trayicon.h"

#include <QObject>

class QSystemTrayIcon;

class QtTrayShell : public QObject, public ITrayShell {
    Q_OBJECT
public:
    // Notifications go to the icons of `handler`, which must outlive the shell.
    explicit QtTrayShell(TTrayIconHandler& handler);
    ~QtTrayShell() override;

    bool NotifyIcon(TNotifyMessage message, const TNotifyIconData& data) override;
    bool Available() const override;

private:
    void Send(std::uint32_t message);

    TTrayIconHandler& m_handler;
    QSystemTrayIcon* m_icon;
    std::uintptr_t m_id = 0;
    bool m_added = false;
};
