#include "Panel.h"
#include "PlayerFixture.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

using namespace std::chrono_literals;
using fixtures::waitFor;

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new fixtures::EngineEnvironment);

TEST_F(PlayerWindow, StripGeometryNamesAndFirstStartDefaults)
{
    EXPECT_EQ(form->size(), QSize(218, 49));
    EXPECT_EQ(form->pos(), QPoint(200, 100));
    EXPECT_EQ(form->windowTitle(), "마루엘의 뮤직플레이어 Sorvel");
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    const std::pair<const char*, QRect> expected[] = {
        {"PanelBack", {0, 0, 218, 49}},      {"Panel1", {1, 1, 216, 33}},      {"Image1", {62, 1, 154, 49}},
        {"LKBPS", {64, 1, 27, 12}},          {"LFrequency", {95, 1, 23, 12}},  {"LTime", {121, 2, 77, 13}},
        {"BPlay", {63, 11, 18, 14}},         {"BStop", {81, 11, 19, 14}},      {"dxButton1", {100, 11, 19, 14}},
        {"ShapeVolume", {132, 18, 67, 5}},   {"ShapePosition", {63, 26, 136, 5}}, {"ImgPosition", {63, 25, 12, 7}},
        {"BToTray", {200, 0, 15, 15}},       {"BPlayList", {200, 16, 15, 16}}, {"PanelTitleBack", {19, 34, 197, 14}},
        {"Image4", {0, 32, 17, 16}},         {"Image3", {121, 15, 10, 11}},
    };
    for (const auto& [name, rect] : expected) {
        auto* widget = form->findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_EQ(widget->geometry(), rect) << name;
        EXPECT_FALSE(widget->accessibleName().isEmpty() && !qobject_cast<QLabel*>(widget)) << name;
    }
    for (const char* hidden : {"BPlayImg", "BPauseImg", "dxButton3", "ImgSpectrumBack", "ImgSpectrumBack2",
                               "ImgSpectrumBack3", "Label1", "Label2", "Label3"}) {
        auto* widget = form->findChild<QWidget*>(hidden);
        ASSERT_NE(widget, nullptr) << hidden;
        EXPECT_FALSE(QRect(0, 0, 218, 49).intersects(widget->geometry())) << hidden << " lies outside the strip";
    }
    // The volume knob stands 30 pixels into its track.
    EXPECT_EQ(form->ImgVolume->x(), 132 + 30);
    EXPECT_EQ(form->SpectrumBack().size(), QSize(60, 30));
}

TEST_F(PlayerWindow, TransportStateTable)
{
    // Idle.
    EXPECT_FALSE(playing());
    EXPECT_FALSE(showsPause());

    form->BPlay->Click();  // play
    EXPECT_TRUE(playing());
    EXPECT_TRUE(showsPause());
    EXPECT_EQ(form->BPlayTag(), 0);
    EXPECT_EQ(form->LTitle->text(), "tone.wav");
    EXPECT_TRUE(form->BToTray->hasFocus() || !form->isActiveWindow());
    ASSERT_TRUE(spinUntil([&] { return form->TransportOf().PositionMs() >= 1100; }, 3s));

    form->BPlay->Click();  // pause
    EXPECT_FALSE(playing());
    EXPECT_FALSE(showsPause());
    EXPECT_EQ(form->BPlayTag(), 1);
    // The strip shows where the song was held, as the media controls do.
    const qint64 held = form->TransportOf().PositionMs();
    EXPECT_EQ(form->LTime->text(), "00:01-00:03");
    EXPECT_EQ(form->ImgPosition->x(), KnobBar(63, 136, 12, 63).KnobLeftFor(held, 3000));
    EXPECT_GT(form->ImgPosition->x(), 63);

    form->BPlay->Click();  // resume
    EXPECT_TRUE(playing());
    EXPECT_TRUE(showsPause());
    EXPECT_EQ(form->BPlayTag(), 0);
    EXPECT_GE(form->TransportOf().PositionMs(), held);
    EXPECT_LE(form->TransportOf().PositionMs(), held + 150);

    form->BStop->Click();  // stop
    EXPECT_FALSE(playing());
    EXPECT_FALSE(showsPause());
    EXPECT_EQ(form->LTime->text(), "00:00-00:03");
    EXPECT_FALSE(form->FrameSink().HasFrame());
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(PlayerWindow, NextAfterPauseShowsWhatPlaysAndAPlayRequestRestarts)
{
    form->BPlay->Click();
    form->BPlay->Click();  // paused
    form->dxButton1->Click();
    EXPECT_TRUE(playing());
    EXPECT_TRUE(showsPause()) << "the next song is heard: the glyph says so";
    EXPECT_EQ(form->BPlayTag(), 0);
    EXPECT_EQ(form->LTitle->text(), "tone.ogg");
    form->BPlay->Click();  // the next click pauses the song that plays
    EXPECT_FALSE(playing());

    // The playlist's request starts the song it carries from its beginning.
    form->TransportOf().PlayPath(playList.CurrentSong());
    EXPECT_TRUE(playing());
    EXPECT_LT(form->TransportOf().PositionMs(), 300);
    EXPECT_TRUE(showsPause());
    EXPECT_EQ(form->BPlayTag(), 0);
}

TEST_F(PlayerWindow, NoCurrentSongShowsTheNoticeAndABadFileStaysStopped)
{
    playList.songs.clear();
    form->BPlay->Click();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], "알림|플레이할 음악 파일이 등록되어 있지 않습니다.\n\n탐색기에서 <음악파일리스트>창으로 "
                        "파일을 끌어다 놓으면 됩니다.|48");
    EXPECT_FALSE(showsPause());

    EXPECT_FALSE(form->PlayFile(dir.path() + "/missing.mp3"));
    playList.songs = {dir.path() + "/missing.mp3"};
    form->BPlay->Click();
    EXPECT_FALSE(playing());
    EXPECT_FALSE(showsPause()) << "nothing is heard: no pause glyph";
}

TEST_F(PlayerWindow, ASongPassedOverIsToldOnTheTitleStripForFiveSeconds)
{
    playList.songs = {dir.path() + "/missing & gone.mp3", longSong};
    form->BPlay->Click();
    EXPECT_TRUE(playing());
    EXPECT_EQ(form->LTitle->text(), "재생할 수 없는 파일을 건너뛰었습니다: missing & gone.mp3");
    EXPECT_TRUE(boxes.isEmpty()) << "no box while music plays";
    spin(std::chrono::milliseconds(TFormMain::SkipNoticeMs - 500));
    EXPECT_TRUE(form->LTitle->text().startsWith("재생할 수 없는")) << form->LTitle->text().toStdString();
    ASSERT_TRUE(spinUntil([&] { return form->LTitle->text() == "long.wav"; }, std::chrono::milliseconds(1500)));
}

TEST_F(PlayerWindow, TheFileDialogAddsItsFilesToTheList)
{
    form->ChooseFiles = [] { return QStringList{"/music/a.mp3", "/music/b.ogg"}; };
    form->dxButton3Click(nullptr);
    EXPECT_EQ(playList.temp, QStringList({"/music/a.mp3", "/music/b.ogg"}));
    EXPECT_EQ(playList.updates, 2);
    EXPECT_EQ(playList.saves, 1);
}

TEST_F(PlayerWindow, ClosingWritesTheSettings)
{
    form->move(321, 123);
    QTest::mouseClick(form->ShapeVolume, Qt::LeftButton, {}, QPoint(66, 2));
    playList.visible = false;
    form->close();
    form->Timer1Timer();  // a late tick changes nothing on a closed strip
    form->TimerPositionTimer();
    form->BPlay->Click();
    form.reset();
    QFile ini(dir.path() + "/Sorvel.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_TRUE(text.contains("ViewPlayList=0")) << text.constData();
    EXPECT_TRUE(text.contains("MainX=321"));
    EXPECT_TRUE(text.contains("PlayListW=410"));
    EXPECT_TRUE(text.contains("Volume=55"));
}

TEST_F(PlayerWindow, StoredPlacesOffTheScreenComeBackAndTheKnobStaysOnItsTrack)
{
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    RebuildWithSettings("[Data]\r\nMainX=-99999\r\nMainY=99999\r\nVolume=99999\r\n");
    EXPECT_TRUE(work.contains(form->frameGeometry())) << "the whole strip is on the screen";
    EXPECT_EQ(form->pos(), QPoint(work.left(), work.top() + work.height() - 49));
    EXPECT_EQ(form->ImgVolume->x(), 132 + 55) << "at the end of the track, not beyond it";
    form->close();
    form.reset();
    QFile ini(dir.path() + "/Sorvel.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_TRUE(text.contains("MainX=" + QByteArray::number(work.left()) + "\r\n")) << text.constData();
    EXPECT_TRUE(text.contains("Volume=55\r\n"));

    RebuildWithSettings("[Data]\r\nMainX=5\r\nMainY=7\r\nVolume=-3\r\n");
    EXPECT_EQ(form->pos(), QPoint(5, 7)) << "a place on the screen is kept exactly";
    EXPECT_EQ(form->ImgVolume->x(), 132);
}

TEST_F(PlayerWindow, PressesMoveTheWindowOnlyFromThePanelsAndTheClock)
{
    struct Recorder : IMoveSizeHook {
        int enters = 0, exits = 0;
        void EnterSizeMove() override { ++enters; }
        bool Moving(QRect&) override { return true; }
        void ExitSizeMove() override { ++exits; }
    } hook;
    form->SetMoveHook(&hook);
    QTest::mousePress(form->Panel1, Qt::RightButton, {}, QPoint(10, 10));
    QTest::mouseRelease(form->Panel1, Qt::RightButton, {}, QPoint(10, 10));
    QTest::mousePress(form->LTime, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseRelease(form->LTime, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(hook.enters, 2);
    EXPECT_EQ(hook.exits, 2);
    for (QWidget* still : {static_cast<QWidget*>(form->Image1), static_cast<QWidget*>(form->LKBPS),
                           static_cast<QWidget*>(form->LTitle), static_cast<QWidget*>(form->PanelTitleBack),
                           static_cast<QWidget*>(form->Image4)}) {
        QTest::mousePress(still, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseRelease(still, Qt::LeftButton, {}, QPoint(2, 2));
    }
    EXPECT_EQ(hook.enters, 2);

    // A drag moves the window by the pointer's travel.
    const QPoint start = form->pos();
    QTest::mousePress(form->Panel1, Qt::LeftButton, {}, QPoint(10, 10));
    const QPoint grab = form->Panel1->mapToGlobal(QPoint(10, 10));
    QMouseEvent drag(QEvent::MouseMove, QPointF(30, 25), QPointF(grab + QPoint(20, 15)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->Panel1, &drag);
    // Let go where the pointer is: over the same spot of the panel, which moved along.
    QTest::mouseRelease(form->Panel1, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(form->pos(), start + QPoint(20, 15));
}

TEST_F(PlayerWindow, PanelsPaintByTagAndStopLeavesTheBareBackground)
{
    const QImage back = form->PanelBack->grab().toImage();
    EXPECT_EQ(back.pixelColor(0, 0), QColor(192, 192, 192));
    EXPECT_EQ(back.pixelColor(217, 48), QColor(192, 192, 192));
    EXPECT_EQ(back.pixelColor(5, 47), QColor(Qt::white)) << "plain fill, no bevel";

    auto spectrumArea = [&] { return form->Panel1->grab(TPanel::kSpectrumArea).toImage().convertToFormat(QImage::Format_RGB32); };
    EXPECT_EQ(spectrumArea(), form->SpectrumBack());
    form->BPlay->Click();
    ASSERT_TRUE(waitFor([&] {
        QApplication::processEvents();
        return form->FrameSink().HasFrame() && spectrumArea() != form->SpectrumBack();
    }, 3s)) << "bars over the background while a song plays";
    form->BStop->Click();
    QApplication::processEvents();
    std::this_thread::sleep_for(200ms);  // a frame the thread was drawing at the stop would land by now
    EXPECT_EQ(spectrumArea(), form->SpectrumBack());
}

} // namespace

namespace {

// Hidden (as the tray hides it) or minimised, nothing of the strip runs; shown again, the
// clock is right at once and the spectrum draws again.
TEST_F(PlayerWindow, HiddenOrMinimisedTheStripWaitsAndCatchesUpWhenShown)
{
    form->show();
    form->BPlay->Click();
    ASSERT_TRUE(spinUntil([&] { return form->Timer1.isActive(); }, 1s));
    EXPECT_TRUE(form->FrameSink().Shown());

    form->hide();
    EXPECT_FALSE(form->FrameSink().Shown());
    EXPECT_FALSE(form->Timer1.isActive());
    EXPECT_FALSE(form->TimerPosition.isActive());
    ASSERT_TRUE(spinUntil([&] { return form->TransportOf().PositionMs() >= 1100; }, 3s));
    const QString clockWhileHidden = form->LTime->text();

    form->show();  // seen once the window system has exposed it again
    ASSERT_TRUE(spinUntil([&] { return form->FrameSink().Shown(); }, 2s));
    EXPECT_TRUE(form->Timer1.isActive());
    EXPECT_NE(form->LTime->text(), clockWhileHidden) << "the clock is brought up to date as the strip shows";
    const auto frames = form->FrameSink().FrameCount();
    EXPECT_TRUE(spinUntil([&] { return form->FrameSink().FrameCount() > frames; }, 2s));

    form->showMinimized();
    EXPECT_FALSE(form->FrameSink().Shown());
    form->showNormal();
    EXPECT_TRUE(spinUntil([&] { return form->FrameSink().Shown(); }, 2s));
}

} // namespace
