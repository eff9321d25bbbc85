#include "Trayicon.h"

#include "TrayShell.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QWidget>
#include <QWindowStateChangeEvent>

namespace {

TShiftState keyboardState()
{
    const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
    TShiftState shift = 0;
    if (keys & Qt::ShiftModifier)
        shift |= ssShift;
    if (keys & Qt::ControlModifier)
        shift |= ssCtrl;
    if (keys & Qt::AltModifier)
        shift |= ssAlt;
    return shift;
}

// A menu pops up by itself unless it says otherwise (the "AutoPopup" property).
bool autoPopup(const QMenu* menu)
{
    const QVariant value = menu->property("AutoPopup");
    return !value.isValid() || value.toBool();
}

} // namespace

void TTrayIconHandler::TrayCallback(std::uintptr_t uID, std::uint32_t message)
{
    for (TTrayIcon* icon : m_icons)
        if (reinterpret_cast<std::uintptr_t>(icon) == uID) {
            icon->HandleTrayMessage(message);
            return;
        }
}

void TTrayIconHandler::TaskbarCreated()
{
    for (TTrayIcon* icon : QList<TTrayIcon*>(m_icons))
        if (icon->IconVisible())
            icon->ShowIcon();
}

TTrayIcon::TTrayIcon(QWidget* owner, TTrayIconHandler& icons, TSimpleTimerHandler& timers,
                     std::unique_ptr<ITrayShell> shell)
    : QObject(owner), m_owner(owner), m_handler(icons)
{
    ++m_handler.RefCount;
    m_handler.m_icons.append(this);
    m_NotifyData.hWnd = &m_handler;
    m_NotifyData.uID = reinterpret_cast<std::uintptr_t>(this);
    m_NotifyData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_NotifyData.uCallbackMessage = TrayCallbackMessage;
    m_shell = shell ? std::move(shell) : std::make_unique<QtTrayShell>(m_handler);

    m_cycleTimer = std::make_unique<TSimpleTimer>(timers);
    m_cycleTimer->SetOnTimer([this](TSimpleTimer*) { CycleTimerProc(); });
    m_clickTimer = std::make_unique<TSimpleTimer>(timers);
    m_clickTimer->SetOnTimer([this](TSimpleTimer*) { ClickTimerProc(); });
    m_exitTimer = std::make_unique<TSimpleTimer>(timers, 20, [this](TSimpleTimer*) { MouseExitTimerProc(); });
    CursorOutside = true;

    CursorPos = [] { return QCursor::pos(); };
    KeyState = keyboardState;
    DoubleClickTime = [] { return QApplication::doubleClickInterval(); };
    PopupMenuAt = [](QMenu* menu, QPoint at) { menu->exec(at); };

    // The window hooks: the owner's showing and minimising.
    if (owner)
        owner->installEventFilter(this);
}

TTrayIcon::~TTrayIcon()
{
    SetIconVisible(false);
    m_cycleTimer.reset();
    m_clickTimer.reset();
    m_exitTimer.reset();
    if (m_owner)
        m_owner->removeEventFilter(this);
    m_handler.m_icons.removeAll(this);
    if (m_handler.RefCount > 0)
        --m_handler.RefCount;
}

// --- icon operations ---

bool TTrayIcon::Notify(TNotifyMessage message)
{
    return m_shell && m_shell->NotifyIcon(message, m_NotifyData);
}

bool TTrayIcon::InitIcon()
{
    m_NotifyData.hIcon = m_Icon;
    if (!m_Hint.isEmpty() && m_ShowHint)
        m_NotifyData.szTip = m_Hint.left(TNotifyIconData::TipLength);
    else
        m_NotifyData.szTip.clear();
    return true;
}

bool TTrayIcon::ShowIcon()
{
    m_IconVisible = true;
    InitIcon();
    return Notify(NIM_ADD);
}

bool TTrayIcon::HideIcon()
{
    m_IconVisible = false;
    InitIcon();
    return Notify(NIM_DELETE);
}

bool TTrayIcon::ModifyIcon()
{
    InitIcon();
    return Notify(NIM_MODIFY);
}

bool TTrayIcon::SetBehavior(TBehavior mode)
{
    m_Behavior = mode;
    m_NotifyData.uTimeoutOrVersion = mode == bhWin95 ? 0 : 3;
    return Notify(NIM_SETVERSION);
}

bool TTrayIcon::ShowBalloonHint(const QString& title, const QString& text, TBalloonHintIcon iconType,
                                TBalloonHintTimeOut timeOut)
{
    HideBalloonHint();
    m_NotifyData.uFlags |= NIF_INFO;
    m_NotifyData.szInfo = text.left(TNotifyIconData::InfoLength);
    m_NotifyData.szInfoTitle = title.left(TNotifyIconData::InfoTitleLength);
    m_NotifyData.uTimeoutOrVersion = static_cast<std::uint32_t>(timeOut) * 1000;
    m_NotifyData.dwInfoFlags = static_cast<std::uint32_t>(iconType);
    const bool result = ModifyIcon();
    m_NotifyData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    return result;
}

bool TTrayIcon::HideBalloonHint()
{
    m_NotifyData.uFlags |= NIF_INFO;
    m_NotifyData.szInfo.clear();
    return ModifyIcon();
}

// --- properties ---

void TTrayIcon::SetIcon(const QIcon& icon)
{
    m_Icon = icon;
    ModifyIcon();
}

void TTrayIcon::SetIconVisible(bool value)
{
    if (value)
        ShowIcon();
    else
        HideIcon();
}

void TTrayIcon::SetHint(const QString& text)
{
    m_Hint = text;
    ModifyIcon();
}

void TTrayIcon::SetShowHint(bool value)
{
    m_ShowHint = value;
    ModifyIcon();
}

void TTrayIcon::SetIconList(const QList<QIcon>& list)
{
    m_IconList = list;
    SetIconIndex(0);
}

void TTrayIcon::SetIconIndex(int index)
{
    if (!m_IconList.isEmpty()) {
        m_IconIndex = index < m_IconList.size() ? std::max(index, 0) : static_cast<int>(m_IconList.size()) - 1;
        m_Icon = m_IconList[m_IconIndex];
    } else {
        m_IconIndex = 0;
    }
    ModifyIcon();
}

void TTrayIcon::SetCycleIcons(bool value)
{
    m_CycleIcons = value;
    if (value) {
        SetIconIndex(0);
        m_cycleTimer->SetInterval(m_CycleInterval);
        m_cycleTimer->SetEnabled(true);
    } else {
        m_cycleTimer->SetEnabled(false);
    }
}

void TTrayIcon::SetCycleInterval(std::uint32_t ms)
{
    m_CycleInterval = ms;
    SetCycleIcons(m_CycleIcons);
}

void TTrayIcon::SetWantEnterExitEvents(bool value)
{
    m_WantEnterExitEvents = value;
    m_exitTimer->SetEnabled(value);
}

// --- events ---

void TTrayIcon::Click()
{
    if (OnClick)
        OnClick(this);
}

void TTrayIcon::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TTrayIcon::CycleIcon()
{
    if (!OnCycle)
        return;
    const int next = m_IconIndex + 1 < m_IconList.size() ? m_IconIndex + 1 : 0;
    OnCycle(this, next);
}

void TTrayIcon::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown)
        OnMouseDown(this, button, shift, x, y);
}

void TTrayIcon::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseUp)
        OnMouseUp(this, button, shift, x, y);
}

void TTrayIcon::MouseMove(TShiftState shift, int x, int y)
{
    if (OnMouseMove)
        OnMouseMove(this, shift, x, y);
}

void TTrayIcon::MouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TTrayIcon::MouseExit()
{
    if (OnMouseExit)
        OnMouseExit(this);
}

// --- notifications ---

void TTrayIcon::HandleTrayMessage(std::uint32_t message)
{
    const QPoint at = CursorPos();
    const int x = at.x();
    const int y = at.y();
    switch (message) {
    case WM_MOUSEMOVE:
        if (!Enabled)
            break;
        if (m_WantEnterExitEvents && CursorOutside) {
            MouseEnter();
            CursorOutside = false;
        }
        MouseMove(KeyState(), x, y);
        LastCursorPos = at;
        break;
    case WM_LBUTTONDOWN:
        if (!Enabled)
            break;
        if (OnDblClick) {
            m_clickTimer->SetInterval(static_cast<std::uint32_t>(std::max(DoubleClickTime(), 1)));
            m_clickTimer->SetEnabled(true);
        }
        MouseDown(mbLeft, KeyState() | ssLeft, x, y);
        ButtonDownSeen = true;
        if (LeftPopup)
            PopupAtCursor();
        break;
    case WM_LBUTTONUP:
        if (!Enabled)
            break;
        if (ButtonDownSeen) {
            ClickPending = true;
            if (!m_clickTimer->Enabled()) {
                ButtonDownSeen = false;
                ClickPending = false;
                Click();
            }
        }
        ButtonDownSeen = false;
        MouseUp(mbLeft, KeyState() | ssLeft, x, y);
        break;
    case WM_LBUTTONDBLCLK:
        if (!Enabled)
            break;
        ClickPending = false;
        DblClickSeen = true;
        DblClick();
        if (m_PopupMenu && autoPopup(m_PopupMenu) && !LeftPopup)
            ClickDefaultItem();
        break;
    case WM_RBUTTONDOWN:
        if (!Enabled)
            break;
        MouseDown(mbRight, KeyState() | ssRight, x, y);
        PopupAtCursor();
        break;
    case WM_RBUTTONUP:
        if (m_Behavior == bhWin95 && Enabled)
            MouseUp(mbRight, KeyState() | ssRight, x, y);
        break;
    case WM_MBUTTONDOWN:
        if (Enabled)
            MouseDown(mbMiddle, KeyState() | ssMiddle, x, y);
        break;
    case WM_MBUTTONUP:
        if (Enabled)
            MouseUp(mbMiddle, KeyState() | ssMiddle, x, y);
        break;
    case WM_CONTEXTMENU:
    case NIN_SELECT:
    case NIN_KEYSELECT:
        if (m_Behavior == bhWin2000 && Enabled)
            MouseUp(mbRight, KeyState() | ssRight, x, y);
        break;
    case NIN_BALLOONSHOW:
        if (OnBalloonHintShow)
            OnBalloonHintShow(this);
        break;
    case NIN_BALLOONHIDE:
        if (OnBalloonHintHide)
            OnBalloonHintHide(this);
        break;
    case NIN_BALLOONTIMEOUT:
        if (OnBalloonHintTimeout)
            OnBalloonHintTimeout(this);
        break;
    case NIN_BALLOONUSERCLICK:
        if (OnBalloonHintClick)
            OnBalloonHintClick(this);
        break;
    default:
        break;
    }
}

void TTrayIcon::ClickDefaultItem()
{
    // A menu has at most one default item here; it is what a double click chooses.
    if (QAction* item = m_PopupMenu->defaultAction())
        item->trigger();
}

void TTrayIcon::ClickTimerProc()
{
    m_clickTimer->SetEnabled(false);
    if (!DblClickSeen && ClickPending) {
        ClickPending = false;
        Click();
    }
    DblClickSeen = false;
}

void TTrayIcon::MouseExitTimerProc()
{
    if (CursorOutside)
        return;
    const QPoint at = CursorPos();
    if (at != LastCursorPos) {
        CursorOutside = true;
        MouseExit();
    }
}

void TTrayIcon::CycleTimerProc()
{
    if (m_IconList.isEmpty())
        return;
    m_Icon = m_IconList.value(m_IconIndex);
    CycleIcon();
    SetIconIndex(m_IconIndex < m_IconList.size() - 1 ? m_IconIndex + 1 : 0);
}

void TTrayIcon::PopupAtCursor()
{
    if (!m_PopupMenu || !autoPopup(m_PopupMenu))
        return;
    if (m_owner)
        m_owner->activateWindow();
    QCoreApplication::processEvents();
    PopupMenuAt(m_PopupMenu, CursorPos());
}

// --- the main window ---

void TTrayIcon::DoMinimizeToTray()
{
    HideMainForm();
    SetIconVisible(true);
}

void TTrayIcon::HideMainForm()
{
    if (m_owner)
        m_owner->hide();
}

void TTrayIcon::ShowMainForm()
{
    if (!m_owner)
        return;
    if (m_owner->isMinimized())
        m_owner->setWindowState(m_owner->windowState() & ~Qt::WindowMinimized);
    m_owner->show();
    m_owner->raise();
    m_owner->activateWindow();
}

void TTrayIcon::Loaded()
{
    if (m_owner) {
        bool showMainForm = true;
        if (OnStartup)
            OnStartup(this, showMainForm);
        if (!showMainForm)
            HideMainForm();
    }
    ModifyIcon();
    SetIconVisible(m_IconVisible);
    SetCycleIcons(m_CycleIcons);
    SetWantEnterExitEvents(m_WantEnterExitEvents);
    SetBehavior(m_Behavior);
}

bool TTrayIcon::eventFilter(QObject* watched, QEvent* event)
{
    // A main window that is shown comes to the front.
    if (watched == m_owner && event->type() == QEvent::Show)
        m_owner->activateWindow();
    if (watched == m_owner && event->type() == QEvent::WindowStateChange && MinimizeToTray) {
        const bool was = static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized;
        if (m_owner->isMinimized() && !was && m_owner->isVisible()) {
            // Minimised: to the tray instead, once the window system has settled the change.
            // The window stays minimised while hidden; ShowMainForm sets it back to normal.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    // Without a notification area a hidden window could not come back: the
                    // minimise stays an ordinary one.
                    if (!m_owner || !m_owner->isMinimized() || !m_owner->isVisible() || !ShellAvailable())
                        return;
                    if (OnMinimizeToTray)
                        OnMinimizeToTray(this);
                    DoMinimizeToTray();
                },
                Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}
