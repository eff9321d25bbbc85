// The tray icon's state machine fed with notifications directly: clicks and double
// clicks, the popup, balloons, texts cut to size, the icon list, a shell restart, and the
// main window going to the tray and back.

#include "support/QtApplication.h"
#include "Simpletimer.h"
#include "Trayicon.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

struct ShellLog {
    std::vector<TNotifyMessage> messages;
    TNotifyIconData last;
    bool added = false;
    bool available = true;
};

class FakeShell : public ITrayShell {
public:
    explicit FakeShell(ShellLog& log) : m_log(log) {}
    bool NotifyIcon(TNotifyMessage message, const TNotifyIconData& data) override
    {
        m_log.messages.push_back(message);
        m_log.last = data;
        switch (message) {
        case NIM_ADD:
            if (m_log.added)
                return false;
            m_log.added = true;
            return true;
        case NIM_DELETE:
            if (!m_log.added)
                return false;
            m_log.added = false;
            return true;
        default:
            return m_log.added;
        }
    }
    bool Available() const override { return m_log.available; }

private:
    ShellLog& m_log;
};

// Made first, so the application exists before the fixture's widgets.
struct WithApplication {
    WithApplication() { EnsureQtApplication(); }
};

class TrayIcon : public ::testing::Test, private WithApplication {
protected:
    void SetUp() override
    {
        icon = std::make_unique<TTrayIcon>(&owner, icons, timers, std::make_unique<FakeShell>(shell));
        icon->CursorPos = [this] { return cursor; };
        icon->KeyState = [] { return TShiftState{0}; };
        icon->DoubleClickTime = [] { return 400; };
        icon->PopupMenuAt = [this](QMenu* menu, QPoint at) { popups.push_back({menu, at}); };
        icon->OnClick = [this](QObject*) { events.push_back("click"); };
        icon->OnMouseDown = [this](QObject*, TMouseButton b, TShiftState s, int x, int y) {
            events.push_back(QStringLiteral("down %1 %2 %3,%4").arg(b).arg(s).arg(x).arg(y).toStdString());
        };
        icon->OnMouseUp = [this](QObject*, TMouseButton b, TShiftState s, int, int) {
            events.push_back(QStringLiteral("up %1 %2").arg(b).arg(s).toStdString());
        };
    }
    void Send(std::uint32_t message) { icons.TrayCallback(reinterpret_cast<std::uintptr_t>(icon.get()), message); }
    void ClickTimerTick() { timers.TimerMessage(icon->ClickTimer().SystemId()); }
    void WithDoubleClick() { icon->OnDblClick = [this](QObject*) { events.push_back("dblclick"); }; }

    TTrayIconHandler icons;
    TSimpleTimerHandler timers;
    ShellLog shell;
    QWidget owner;
    std::unique_ptr<TTrayIcon> icon;
    QPoint cursor{700, 10};
    std::vector<std::string> events;
    std::vector<std::pair<QMenu*, QPoint>> popups;
};

TEST_F(TrayIcon, ClickComesOnButtonUpWithoutADoubleClickHandler)
{
    Send(WM_LBUTTONDOWN);
    EXPECT_FALSE(icon->ClickTimer().Enabled());
    Send(WM_LBUTTONUP);
    EXPECT_EQ(events, (std::vector<std::string>{"down 0 8 700,10", "click", "up 0 8"}));
}

TEST_F(TrayIcon, SingleClickWaitsForTheDoubleClickTime)
{
    WithDoubleClick();
    Send(WM_LBUTTONDOWN);
    EXPECT_TRUE(icon->ClickTimer().Enabled());
    EXPECT_EQ(icon->ClickTimer().Interval(), 400u);
    Send(WM_LBUTTONUP);
    EXPECT_EQ(events, (std::vector<std::string>{"down 0 8 700,10", "up 0 8"}));
    ClickTimerTick();
    EXPECT_EQ(events.back(), "click");
    EXPECT_FALSE(icon->ClickTimer().Enabled());
}

TEST_F(TrayIcon, DoubleClickNeverGivesAClick)
{
    WithDoubleClick();
    Send(WM_LBUTTONDOWN);
    Send(WM_LBUTTONUP);
    Send(WM_LBUTTONDBLCLK);
    Send(WM_LBUTTONUP);
    ClickTimerTick();
    EXPECT_EQ(std::count(events.begin(), events.end(), "dblclick"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "click"), 0);
}

TEST_F(TrayIcon, LongPressClicksAtButtonUpBeforeMouseUp)
{
    WithDoubleClick();
    Send(WM_LBUTTONDOWN);
    ClickTimerTick();  // held longer than the double-click time
    Send(WM_LBUTTONUP);
    EXPECT_EQ(events, (std::vector<std::string>{"down 0 8 700,10", "click", "up 0 8"}));
}

TEST_F(TrayIcon, RightButtonPopsTheMenuUpAndModesDecideTheUp)
{
    QMenu menu;
    icon->SetPopupMenu(&menu);
    icon->LeftPopup = false;
    Send(WM_RBUTTONDOWN);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].first, &menu);
    EXPECT_EQ(popups[0].second, cursor);
    Send(WM_RBUTTONUP);
    Send(WM_CONTEXTMENU);
    EXPECT_EQ(events, (std::vector<std::string>{"down 1 16 700,10", "up 1 16"}));

    events.clear();
    icon->SetBehavior(bhWin2000);
    EXPECT_EQ(icon->NotifyData().uTimeoutOrVersion, 3u);
    Send(WM_RBUTTONUP);
    Send(NIN_SELECT);
    EXPECT_EQ(events, (std::vector<std::string>{"up 1 16"}));

    // No popup without a menu that pops up by itself.
    menu.setProperty("AutoPopup", false);
    Send(WM_RBUTTONDOWN);
    EXPECT_EQ(popups.size(), 1u);
}

TEST_F(TrayIcon, DoubleClickChoosesTheMenusDefaultItemUnlessLeftPopup)
{
    WithDoubleClick();
    QMenu menu;
    QAction* about = menu.addAction(QStringLiteral("about"));
    int chosen = 0;
    QObject::connect(about, &QAction::triggered, [&] { ++chosen; });
    menu.setDefaultAction(about);
    icon->SetPopupMenu(&menu);
    Send(WM_LBUTTONDBLCLK);
    EXPECT_EQ(chosen, 1);
    icon->LeftPopup = true;
    Send(WM_LBUTTONDBLCLK);
    EXPECT_EQ(chosen, 1);
    Send(WM_LBUTTONDOWN);  // LeftPopup also pops the menu up on the left button
    EXPECT_EQ(popups.size(), 1u);
}

TEST_F(TrayIcon, DisabledIconIgnoresTheMouseButNotBalloons)
{
    int balloons = 0;
    for (TNotifyEvent* handler :
         {&icon->OnBalloonHintShow, &icon->OnBalloonHintHide, &icon->OnBalloonHintTimeout, &icon->OnBalloonHintClick})
        *handler = [&](QObject*) { ++balloons; };
    QMenu menu;
    icon->SetPopupMenu(&menu);
    icon->Enabled = false;
    for (std::uint32_t message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN,
                                  WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP})
        Send(message);
    for (std::uint32_t message : {NIN_BALLOONSHOW, NIN_BALLOONHIDE, NIN_BALLOONTIMEOUT, NIN_BALLOONUSERCLICK})
        Send(message);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(popups.empty());
    EXPECT_EQ(balloons, 4);
}

TEST_F(TrayIcon, TextsAreCutToTheRecordsSizes)
{
    icon->SetHint(QString(200, QLatin1Char('h')));
    EXPECT_EQ(shell.last.szTip.size(), 127);
    icon->SetShowHint(false);
    EXPECT_TRUE(shell.last.szTip.isEmpty());
    icon->SetIconVisible(true);
    ASSERT_TRUE(icon->ShowBalloonHint(QString(100, QLatin1Char('t')), QString(300, QLatin1Char('x')), bitWarning, 10));
    EXPECT_EQ(shell.last.szInfo.size(), 255);
    EXPECT_EQ(shell.last.szInfoTitle.size(), 63);
    EXPECT_EQ(shell.last.uTimeoutOrVersion, 10000u);
    EXPECT_EQ(shell.last.dwInfoFlags, 2u);
    EXPECT_TRUE(shell.last.uFlags & NIF_INFO);
    EXPECT_EQ(icon->NotifyData().uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
}

TEST_F(TrayIcon, VisibleTwiceIsRefusedAndARestartAddsOnlyVisibleIcons)
{
    EXPECT_TRUE(shell.messages.empty());  // construction adds nothing
    EXPECT_TRUE(icon->ShowIcon());
    EXPECT_FALSE(icon->ShowIcon());
    EXPECT_TRUE(icon->IconVisible());

    shell.added = false;  // the notification area went away and came back
    shell.messages.clear();
    icons.TaskbarCreated();
    EXPECT_EQ(shell.messages, std::vector<TNotifyMessage>{NIM_ADD});
    icon->SetIconVisible(false);
    shell.messages.clear();
    icons.TaskbarCreated();
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(TrayIcon, IconIndexIsHeldToTheListAndCycles)
{
    QPixmap red(16, 16), green(16, 16), blue(16, 16);
    red.fill(Qt::red);
    green.fill(Qt::green);
    blue.fill(Qt::blue);
    icon->SetIconList({QIcon(red), QIcon(green), QIcon(blue)});
    icon->SetIconIndex(7);
    EXPECT_EQ(icon->IconIndex(), 2);
    std::vector<int> next;
    icon->OnCycle = [&](QObject*, int n) { next.push_back(n); };
    icon->SetCycleInterval(100);
    icon->SetCycleIcons(true);
    EXPECT_TRUE(icon->CycleTimer().Enabled());
    for (int i = 0; i < 4; ++i)
        timers.TimerMessage(icon->CycleTimer().SystemId());
    EXPECT_EQ(next, (std::vector<int>{1, 2, 0, 1}));
    EXPECT_EQ(icon->IconIndex(), 1);
    icon->SetIconList({});
    EXPECT_EQ(icon->IconIndex(), 0);
}

TEST_F(TrayIcon, EnterAndExitFollowTheCursor)
{
    int enters = 0, exits = 0;
    icon->OnMouseEnter = [&](QObject*) { ++enters; };
    icon->OnMouseExit = [&](QObject*) { ++exits; };
    Send(WM_MOUSEMOVE);
    EXPECT_EQ(enters, 0);  // only when asked for
    icon->SetWantEnterExitEvents(true);
    EXPECT_TRUE(icon->ExitTimer().Enabled());
    Send(WM_MOUSEMOVE);
    Send(WM_MOUSEMOVE);
    EXPECT_EQ(enters, 1);
    timers.TimerMessage(icon->ExitTimer().SystemId());
    EXPECT_EQ(exits, 0);
    cursor = {500, 300};
    timers.TimerMessage(icon->ExitTimer().SystemId());
    timers.TimerMessage(icon->ExitTimer().SystemId());
    EXPECT_EQ(exits, 1);
    Send(WM_MOUSEMOVE);
    EXPECT_EQ(enters, 2);
}

TEST_F(TrayIcon, MainWindowGoesToTheTrayAndComesBack)
{
    owner.show();
    icon->HideMainForm();
    EXPECT_FALSE(owner.isVisible());
    icon->ShowMainForm();
    EXPECT_TRUE(owner.isVisible());

    // Minimising: the normal minimise unless MinimizeToTray says the tray.
    owner.showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(owner.isMinimized());
    icon->ShowMainForm();
    EXPECT_FALSE(owner.isMinimized());
    QApplication::processEvents();  // the window system's answers to both changes
    icon->MinimizeToTray = true;
    int told = 0;
    icon->OnMinimizeToTray = [&](QObject*) { ++told; };
    owner.showMinimized();
    QApplication::processEvents();
    EXPECT_FALSE(owner.isVisible());
    EXPECT_TRUE(icon->IconVisible());
    EXPECT_EQ(told, 1);
    icon->ShowMainForm();
    EXPECT_TRUE(owner.isVisible());
    EXPECT_FALSE(owner.isMinimized());
}

TEST_F(TrayIcon, SharedHandlerCountsTheIcons)
{
    EXPECT_EQ(icons.RefCount, 1u);
    {
        ShellLog other;
        TTrayIcon second(nullptr, icons, timers, std::make_unique<FakeShell>(other));
        EXPECT_EQ(icons.RefCount, 2u);
        second.SetIconVisible(true);
    }
    EXPECT_EQ(icons.RefCount, 1u);
    icon.reset();
    EXPECT_EQ(icons.RefCount, 0u);
    EXPECT_EQ(timers.RefCount, 0u) << "the icon's timers went with it";
}

} // namespace
