// The player's way to the notification area and back, its popup menu, the help notice,
// the about box and the hand-over of a second start.

#include "About.h"
#include "PlayerFixture.h"
#include "Trayicon.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>

namespace {

class Shell : public ITrayShell {
public:
    explicit Shell(bool& available) : m_available(available) {}
    bool NotifyIcon(TNotifyMessage, const TNotifyIconData&) override { return true; }
    bool Available() const override { return m_available; }

private:
    bool& m_available;
};

class PlayerTray : public PlayerWindow {
protected:
    void SetUp() override
    {
        PlayerWindow::SetUp();
        tray = std::make_unique<TTrayIcon>(form.get(), icons, timers, std::make_unique<Shell>(available));
        tray->OnDblClick = [this](QObject*) { form->RestoreFromTray(); };
        form->TrayIcon = tray.get();
        form->show();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        form->TrayIcon = nullptr;
        tray.reset();
        PlayerWindow::TearDown();
    }

    bool available = true;
    TTrayIconHandler icons;
    TSimpleTimerHandler timers;
    std::unique_ptr<TTrayIcon> tray;
};

TEST_F(PlayerTray, HidesBothWindowsAndADoubleClickBringsBackWhatWasShown)
{
    playList.visible = true;
    form->BToTray->Click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(playList.visible);
    EXPECT_TRUE(form->bPlayListWasVisible);
    icons.TrayCallback(reinterpret_cast<std::uintptr_t>(tray.get()), WM_LBUTTONDBLCLK);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(playList.visible);

    // Hidden with the playlist window closed: only the player comes back.
    playList.visible = false;
    form->BToTray->Click();
    form->HandOverMessage();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(playList.visible);
    // A hand-over while the player shows changes nothing.
    form->HandOverMessage();
    EXPECT_FALSE(playList.visible);
}

TEST_F(PlayerTray, WithoutANotificationAreaTheStripIsMinimisedAndReachable)
{
    available = false;
    playList.visible = true;
    form->BToTray->Click();
    QApplication::processEvents();
    EXPECT_TRUE(form->isMinimized());
    EXPECT_EQ(form->windowFlags() & Qt::WindowType_Mask, Qt::Window) << "a task-switcher entry while minimised";
    EXPECT_FALSE(playList.visible);
    form->HandOverMessage();
    QApplication::processEvents();
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(playList.visible);
}

TEST_F(PlayerTray, PopupMenuItemsHelpAboutAndEnd)
{
    QStringList items;
    for (QAction* action : form->PopupMenuTray->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(items, (QStringList{"프로그램 정보", "도움말", "-", "종료", "-", "리플레이게인"}));
    EXPECT_EQ(tray->PopupMenu(), nullptr);  // the program hands it over; this fixture did not

    form->N5->trigger();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], "알림|도움말이 필요없을 정도로 사용법이 간단해서\n\n이 버전에서는 생략합니다. ^^;\n\n|64");

    int abouts = 0;
    form->ShowAbout = [&] { ++abouts; };
    form->N4->trigger();
    EXPECT_EQ(abouts, 1);

    // The ReplayGain switch: checked at first, it reaches the player and the settings.
    ASSERT_TRUE(form->NReplayGain->isCheckable());
    EXPECT_TRUE(form->NReplayGain->isChecked());
    EXPECT_TRUE(form->TransportOf().ReplayGain());
    form->NReplayGain->trigger();
    EXPECT_FALSE(form->TransportOf().ReplayGain());
    EXPECT_FALSE(settings.ReplayGain);
    form->NReplayGain->trigger();
    EXPECT_TRUE(form->TransportOf().ReplayGain());

    form->N2->trigger();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(PlayerTray, AboutBoxLayout)
{
    TFormAbout about(form.get());
    EXPECT_EQ(about.windowTitle(), QStringLiteral("프로그램 정보"));
    EXPECT_EQ(about.size(), QSize(452, 152));
    EXPECT_EQ(about.Panel1->geometry(), QRect(96, 24, 249, 33));
    EXPECT_EQ(about.Label3->text(), QStringLiteral("Sorvel 소르벨"));
    EXPECT_TRUE(about.Label3->font().bold());
    EXPECT_EQ(about.Image4->geometry(), QRect(9, 8, 17, 16));
    EXPECT_EQ(about.Image1->geometry(), QRect(225, 8, 17, 16));
    EXPECT_TRUE(about.Label4->text().contains(QStringLiteral("FFmpeg")));
    for (QLabel* text : {about.Label1, about.Label2, about.Label3, about.Label4}) {
        const int ink = text->fontMetrics().horizontalAdvance(text->text());
        EXPECT_GE(text->width(), ink) << text->objectName().toStdString();
        // Whole, and not pressed against the box's edge (a longer text than the
        // design's ran into the right border).
        if (text->parentWidget() == &about) {
            EXPECT_GE(text->x(), 4) << text->objectName().toStdString();
            EXPECT_LE(text->x() + ink, about.width() - 4) << text->objectName().toStdString();
        }
    }
}

} // namespace
