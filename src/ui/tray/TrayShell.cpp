#include "TrayShell.h"

#include <QSystemTrayIcon>

QtTrayShell::QtTrayShell(TTrayIconHandler& handler) : m_handler(handler), m_icon(new QSystemTrayIcon(this))
{
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            Send(WM_LBUTTONDOWN);
            Send(WM_LBUTTONUP);
            break;
        case QSystemTrayIcon::DoubleClick:
            Send(WM_LBUTTONDBLCLK);
            Send(WM_LBUTTONUP);
            break;
        case QSystemTrayIcon::Context:
            Send(WM_RBUTTONDOWN);
            Send(WM_RBUTTONUP);
            break;
        case QSystemTrayIcon::MiddleClick:
            Send(WM_MBUTTONDOWN);
            Send(WM_MBUTTONUP);
            break;
        default:
            break;
        }
    });
    connect(m_icon, &QSystemTrayIcon::messageClicked, this, [this] { Send(NIN_BALLOONUSERCLICK); });
}

QtTrayShell::~QtTrayShell() = default;

void QtTrayShell::Send(std::uint32_t message)
{
    m_handler.TrayCallback(m_id, message);
}

bool QtTrayShell::Available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTrayShell::NotifyIcon(TNotifyMessage message, const TNotifyIconData& data)
{
    m_id = data.uID;
    switch (message) {
    case NIM_ADD:
        if (m_added)
            return false;  // the icon is there already
        m_icon->setIcon(data.hIcon);
        m_icon->setToolTip(data.szTip);
        m_icon->show();
        m_added = true;
        // Shown even without a notification area: Qt adds it when one appears.
        return Available();
    case NIM_MODIFY:
        if (!m_added)
            return false;
        m_icon->setIcon(data.hIcon);
        m_icon->setToolTip(data.szTip);
        if ((data.uFlags & NIF_INFO) && !data.szInfo.isEmpty()) {
            const QSystemTrayIcon::MessageIcon icons[] = {QSystemTrayIcon::NoIcon, QSystemTrayIcon::Information,
                                                         QSystemTrayIcon::Warning, QSystemTrayIcon::Critical};
            m_icon->showMessage(data.szInfoTitle, data.szInfo, icons[data.dwInfoFlags & 3],
                                static_cast<int>(data.uTimeoutOrVersion));
            Send(NIN_BALLOONSHOW);
        }
        return true;
    case NIM_DELETE:
        if (!m_added)
            return false;
        m_icon->hide();
        m_added = false;
        return true;
    case NIM_SETVERSION:
        return m_added;
    }
    return false;
}
