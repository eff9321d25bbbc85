#pragma once
// The notification-area icon. `TTrayIcon` keeps the icon's record (icon, tooltip,
// balloon), hands it to the shell (`ITrayShell`; on this desktop `QtTrayShell` over
// QSystemTrayIcon), and turns the shell's notifications about the icon into events:
// click and double click told apart by the system's double-click time, mouse down, up
// and move, enter and exit, balloon shown, hidden, timed out and clicked, the popup menu
// at the cursor, icon cycling. It also hides and shows its owner, the main window, and
// takes it to the tray when it is minimised. The icons of a program share one
// `TTrayIconHandler`, which passes each notification to its icon; whoever builds the
// program owns it, with the timers' handler. Window thread only.

#include "Simpletimer.h"

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QWidget;
class TTrayIcon;

// Notifications, as the tray callback message carries them in its LParam.
constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
constexpr std::uint32_t WM_RBUTTONDBLCLK = 0x0206;
constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
constexpr std::uint32_t WM_CONTEXTMENU = 0x007B;
constexpr std::uint32_t NIN_SELECT = 0x0400;
constexpr std::uint32_t NIN_KEYSELECT = 0x0401;
constexpr std::uint32_t NIN_BALLOONSHOW = 0x0402;
constexpr std::uint32_t NIN_BALLOONHIDE = 0x0403;
constexpr std::uint32_t NIN_BALLOONTIMEOUT = 0x0404;
constexpr std::uint32_t NIN_BALLOONUSERCLICK = 0x0405;
constexpr std::uint32_t TrayCallbackMessage = 0x0800;

// The record's flags.
constexpr std::uint32_t NIF_MESSAGE = 0x01;
constexpr std::uint32_t NIF_ICON = 0x02;
constexpr std::uint32_t NIF_TIP = 0x04;
constexpr std::uint32_t NIF_INFO = 0x10;

enum TNotifyMessage { NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2, NIM_SETVERSION = 4 };
enum TBehavior { bhWin95 = 0, bhWin2000 = 1 };
enum TBalloonHintIcon { bitNone = 0, bitInfo = 1, bitWarning = 2, bitError = 3 };
// Whole seconds, 10 to 60.
using TBalloonHintTimeOut = int;
enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Shift state: keys held and the button concerned.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 0x01;
constexpr TShiftState ssAlt = 0x02;
constexpr TShiftState ssCtrl = 0x04;
constexpr TShiftState ssLeft = 0x08;
constexpr TShiftState ssRight = 0x10;
constexpr TShiftState ssMiddle = 0x20;

// What the shell is told about one icon.
struct TNotifyIconData {
    static constexpr int TipLength = 127;
    static constexpr int InfoLength = 255;
    static constexpr int InfoTitleLength = 63;

    std::uint32_t cbSize = 488;
    const QObject* hWnd = nullptr;         // the shared handler
    std::uintptr_t uID = 0;                // the icon's identity
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    QIcon hIcon;
    QString szTip;                          // at most TipLength characters
    QString szInfo;                         // at most InfoLength characters
    std::uint32_t uTimeoutOrVersion = 0;    // balloon time-out in ms, or the version
    QString szInfoTitle;                    // at most InfoTitleLength characters
    std::uint32_t dwInfoFlags = 0;          // the balloon's icon, 0 to 3
};

// The notification area.
class ITrayShell {
public:
    virtual ~ITrayShell() = default;
    // Adds, changes or deletes the icon, or sets the version; false when the shell refused.
    virtual bool NotifyIcon(TNotifyMessage message, const TNotifyIconData& data) = 0;
    // Whether a notification area is there to hold an icon now.
    virtual bool Available() const = 0;
};

// The program's one handler: counts the icons and passes each notification to its icon.
class TTrayIconHandler : public QObject {
    Q_OBJECT
public:
    // Icons alive.
    std::uint32_t RefCount = 0;

    // A notification for the icon `uID` (the tray callback message with its LParam).
    void TrayCallback(std::uintptr_t uID, std::uint32_t message);
    // The notification area came back (the shell restarted): visible icons are added again.
    void TaskbarCreated();

private:
    friend class TTrayIcon;
    QList<TTrayIcon*> m_icons;
};

using TNotifyEvent = std::function<void(QObject* sender)>;
using TTrayMouseEvent = std::function<void(QObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TTrayMouseMoveEvent = std::function<void(QObject* sender, TShiftState shift, int x, int y)>;
using TCycleEvent = std::function<void(QObject* sender, int nextIndex)>;
using TStartupEvent = std::function<void(QObject* sender, bool& showMainForm)>;

class TTrayIcon : public QObject {
    Q_OBJECT
public:
    // `owner` is the main window the icon hides and shows; `shell` the notification
    // area (null: the desktop's, through QSystemTrayIcon). Both handlers must outlive the
    // icon: `icons` passes the shell's notifications to it, `timers` runs its timers.
    TTrayIcon(QWidget* owner, TTrayIconHandler& icons, TSimpleTimerHandler& timers,
              std::unique_ptr<ITrayShell> shell = nullptr);
    ~TTrayIcon() override;

    // --- properties ---
    bool DesignPreview = false;
    const QList<QIcon>& IconList() const { return m_IconList; }
    void SetIconList(const QList<QIcon>& list);
    bool CycleIcons() const { return m_CycleIcons; }
    void SetCycleIcons(bool value);
    std::uint32_t CycleInterval() const { return m_CycleInterval; }
    void SetCycleInterval(std::uint32_t ms);
    bool Enabled = true;
    QString Hint() const { return m_Hint; }
    void SetHint(const QString& text);
    bool ShowHint() const { return m_ShowHint; }
    void SetShowHint(bool value);
    QIcon Icon() const { return m_Icon; }
    void SetIcon(const QIcon& icon);
    bool IconVisible() const { return m_IconVisible; }
    void SetIconVisible(bool value);
    int IconIndex() const { return m_IconIndex; }
    void SetIconIndex(int index);
    QMenu* PopupMenu() const { return m_PopupMenu; }
    void SetPopupMenu(QMenu* menu) { m_PopupMenu = menu; }
    bool LeftPopup = false;
    bool WantEnterExitEvents() const { return m_WantEnterExitEvents; }
    void SetWantEnterExitEvents(bool value);
    bool MinimizeToTray = false;
    TBehavior Behavior() const { return m_Behavior; }
    bool SetBehavior(TBehavior mode);

    // --- events ---
    TNotifyEvent OnClick, OnDblClick;
    TTrayMouseEvent OnMouseDown, OnMouseUp;
    TTrayMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter, OnMouseExit;
    TCycleEvent OnCycle;
    TNotifyEvent OnBalloonHintShow, OnBalloonHintHide, OnBalloonHintTimeout, OnBalloonHintClick;
    TNotifyEvent OnMinimizeToTray;
    TStartupEvent OnStartup;

    // --- icon operations (false when the shell refused) ---
    bool InitIcon();
    bool ShowIcon();
    bool HideIcon();
    bool ModifyIcon();
    bool Refresh() { return ModifyIcon(); }
    bool ShowBalloonHint(const QString& title, const QString& text, TBalloonHintIcon iconType,
                         TBalloonHintTimeOut timeOut);
    bool HideBalloonHint();
    // Pops the menu up at the cursor; returns when it closes.
    void PopupAtCursor();
    const TNotifyIconData& NotifyData() const { return m_NotifyData; }
    bool ShellAvailable() const { return m_shell && m_shell->Available(); }

    // --- the main window ---
    void DoMinimizeToTray();
    void HideMainForm();
    void ShowMainForm();
    // What reading the component from a form resource would run; code-made icons, like
    // the player's, never call it.
    void Loaded();

    // One notification from the shell (the tray callback's LParam).
    void HandleTrayMessage(std::uint32_t message);

    // Seams for tests: where the cursor is, which keys are held, the system's double-click
    // time, and how a menu pops up (the default shows it and waits until it closes).
    std::function<QPoint()> CursorPos;
    std::function<TShiftState()> KeyState;
    std::function<int()> DoubleClickTime;
    std::function<void(QMenu*, QPoint)> PopupMenuAt;

    // The timers, for tests.
    TSimpleTimer& ClickTimer() { return *m_clickTimer; }
    TSimpleTimer& CycleTimer() { return *m_cycleTimer; }
    TSimpleTimer& ExitTimer() { return *m_exitTimer; }

protected:
    virtual void Click();
    virtual void DblClick();
    virtual void CycleIcon();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseEnter();
    virtual void MouseExit();
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ClickTimerProc();
    void CycleTimerProc();
    void MouseExitTimerProc();
    void ClickDefaultItem();
    bool Notify(TNotifyMessage message);

    QPointer<QWidget> m_owner;
    TTrayIconHandler& m_handler;
    std::unique_ptr<ITrayShell> m_shell;
    TNotifyIconData m_NotifyData;
    QList<QIcon> m_IconList;
    bool m_CycleIcons = false;
    std::uint32_t m_CycleInterval = 0;
    QString m_Hint;
    bool m_ShowHint = true;
    QIcon m_Icon;
    bool m_IconVisible = false;
    int m_IconIndex = 0;
    QPointer<QMenu> m_PopupMenu;
    bool m_WantEnterExitEvents = false;
    TBehavior m_Behavior = bhWin95;

    std::unique_ptr<TSimpleTimer> m_cycleTimer;
    std::unique_ptr<TSimpleTimer> m_clickTimer;
    std::unique_ptr<TSimpleTimer> m_exitTimer;
    bool ButtonDownSeen = false;
    bool ClickPending = false;
    bool DblClickSeen = false;
    bool CursorOutside = true;
    QPoint LastCursorPos;
};
