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
                               "ImgSpectrumBack3", "Label1", "Label2", "Label3", "Edit1", "Button1", "Button4"}) {
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
    EXPECT_FALSE(Settings.Playing);

    form->BPlay->Click();  // play
    EXPECT_TRUE(playing());
    EXPECT_TRUE(showsPause());
    EXPECT_EQ(form->BPlayTag(), 0);
    EXPECT_TRUE(Settings.Playing);
    EXPECT_EQ(form->LTitle->text(), "tone.wav");
    EXPECT_TRUE(form->BToTray->hasFocus() || !form->isActiveWindow());
    ASSERT_TRUE(spinUntil([&] { return form->TransportOf().PositionMs() >= 1100; }, 3s));

    form->BPlay->Click();  // pause
    EXPECT_FALSE(playing());
    EXPECT_FALSE(showsPause());
    EXPECT_EQ(form->BPlayTag(), 1);
    EXPECT_TRUE(Settings.Playing);
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
    EXPECT_FALSE(Settings.Playing);
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
    EXPECT_FALSE(Settings.Playing);
    playList.songs = {dir.path() + "/missing.mp3"};
    form->BPlay->Click();
    EXPECT_FALSE(playing());
    EXPECT_FALSE(showsPause()) << "nothing is heard: no pause glyph";
}

TEST_F(PlayerWindow, TestControlsDriveTheTransport)
{
    form->Edit1->setText(songA);
    form->Button1->click();
    EXPECT_TRUE(playing());
    form->Button3->click();
    EXPECT_EQ(form->TransportOf().State(), TransportState::Paused);
    form->Button4->click();
    EXPECT_TRUE(playing());
    form->Button2->click();
    EXPECT_EQ(form->TransportOf().State(), TransportState::Stopped);
    EXPECT_FALSE(showsPause());
}

TEST_F(PlayerWindow, KnobsAndTracksSetVolumeAndSeek)
{
    QTest::mouseClick(form->ShapeVolume, Qt::LeftButton, {}, QPoint(0, 2));
    EXPECT_EQ(form->ImgVolume->x(), 132);
    EXPECT_EQ(form->TransportOf().VolumeLevel(), 0);
    QTest::mouseClick(form->ShapeVolume, Qt::RightButton, {}, QPoint(55 + 6, 2));
    EXPECT_EQ(form->ImgVolume->x(), 132 + 55);
    EXPECT_EQ(form->TransportOf().VolumeLevel(), 255);
    QTest::mouseClick(form->ShapeVolume, Qt::LeftButton, {}, QPoint(66, 2));
    EXPECT_EQ(form->ImgVolume->x(), 132 + 55);

    // Drag the volume knob left past the start: it stops at the last place inside.
    QTest::mousePress(form->ImgVolume, Qt::LeftButton, {}, QPoint(5, 3));
    QMouseEvent move(QEvent::MouseMove, QPointF(5 - 20, 3), form->ImgVolume->mapToGlobal(QPointF(5 - 20, 3)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->ImgVolume, &move);
    EXPECT_EQ(form->ImgVolume->x(), 132 + 35);
    QMouseEvent far(QEvent::MouseMove, QPointF(5 - 50, 3), form->ImgVolume->mapToGlobal(QPointF(5 - 50, 3)),
                    Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->ImgVolume, &far);
    EXPECT_EQ(form->ImgVolume->x(), 132 + 35);
    QTest::mouseRelease(form->ImgVolume, Qt::LeftButton, {}, QPoint(5, 3));
    EXPECT_EQ(form->TransportOf().VolumeLevel(), 35 * 255 / 55);
    // A volume set elsewhere (the media controls) moves the knob.
    form->TransportOf().SetVolume(0.5);
    EXPECT_EQ(form->ImgVolume->x(), 132 + 28);

    // Seek: knob at 62 of 124 in a 200 s song goes to 100 s.
    ASSERT_TRUE(form->PlayFile(longSong));
    QTest::mouseClick(form->ShapePosition, Qt::LeftButton, {}, QPoint(62 + 6, 2));
    EXPECT_EQ(form->ImgPosition->x(), 63 + 62);
    EXPECT_GE(form->TransportOf().PositionMs(), 100000);
    EXPECT_LT(form->TransportOf().PositionMs(), 100400);
    form->TimerPositionTimer();
    EXPECT_EQ(form->ImgPosition->x(), 63 + 62);

    // Stopped, the knob goes back to the start; put elsewhere, it stays there and the
    // next play starts from there.
    form->BStop->Click();
    EXPECT_EQ(form->ImgPosition->x(), 63);
    QTest::mouseClick(form->ShapePosition, Qt::LeftButton, {}, QPoint(31 + 6, 2));
    form->TimerPositionTimer();
    EXPECT_EQ(form->ImgPosition->x(), 63 + 31);
    EXPECT_EQ(form->LTime->text(), "00:50-03:20");
    playList.songs = {longSong};
    form->BPlay->Click();
    EXPECT_GE(form->TransportOf().PositionMs(), 50000);
    EXPECT_LT(form->TransportOf().PositionMs(), 50400);
}

TEST_F(PlayerWindow, AHeldSeekKnobIsTheUsersUntilLetGo)
{
    ASSERT_TRUE(form->PlayFile(longSong));
    // Grab the knob at the start and carry it 40 pixels on.
    QTest::mousePress(form->ImgPosition, Qt::LeftButton, {}, QPoint(6, 3));
    QMouseEvent move(QEvent::MouseMove, QPointF(46, 3), form->ImgPosition->mapToGlobal(QPointF(46, 3)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->ImgPosition, &move);
    EXPECT_EQ(form->ImgPosition->x(), 63 + 40);
    // Held still for longer than the knob's ticks: the song plays on, the knob stays put.
    spin(450ms);
    form->TimerPositionTimer();
    EXPECT_EQ(form->ImgPosition->x(), 63 + 40);
    EXPECT_LT(form->TransportOf().PositionMs(), 5000);
    QTest::mouseRelease(form->ImgPosition, Qt::LeftButton, {}, QPoint(6, 3));
    // 40 of 124 of 200 s.
    EXPECT_GE(form->TransportOf().PositionMs(), 64516);
    EXPECT_LT(form->TransportOf().PositionMs(), 64900);
    EXPECT_EQ(form->ImgPosition->x(), 63 + 40);
}

TEST_F(PlayerWindow, PausedTheKnobCanBeMovedAndResumeGoesOnFromThere)
{
    ASSERT_TRUE(form->PlayFile(longSong));
    form->BPlay->Click();  // pause
    QTest::mouseClick(form->ShapePosition, Qt::LeftButton, {}, QPoint(62 + 6, 2));
    spin(100ms);
    EXPECT_EQ(form->ImgPosition->x(), 63 + 62) << "the knob stays where it was put";
    EXPECT_EQ(form->LTime->text(), "01:40-03:20");
    form->BPlay->Click();  // resume
    EXPECT_GE(form->TransportOf().PositionMs(), 100000);
    EXPECT_LT(form->TransportOf().PositionMs(), 100400);
}

TEST_F(PlayerWindow, ClockLabelsAndTitle)
{
    form->Timer1Timer();
    EXPECT_EQ(form->LTime->text(), "00:00-00:00");
    ASSERT_TRUE(form->PlayFile(longSong));
    EXPECT_EQ(form->LFrequency->text(), " 8KH");
    EXPECT_EQ(form->LKBPS->text(), "128KB");  // 8 kHz mono 16-bit
    form->Timer1Timer();
    EXPECT_EQ(form->LTime->text(), "00:00-03:20");
    form->BStop->Click();
    form->Timer1Timer();
    EXPECT_EQ(form->LTime->text(), "00:00-03:20") << "the last total stays";

    const QString longName = dir.path() + "/a & b with a title far too long to fit into the strip.wav";
    ASSERT_TRUE(QFile::copy(songA, longName));
    ASSERT_TRUE(form->PlayFile(longName));
    EXPECT_EQ(form->LTitle->text(), "a & b with a title far too long to fit into the strip.wav");
    EXPECT_GT(form->LTitle->width(), 197);
    EXPECT_EQ(form->LTitle->x(), 14);
    form->TimerPositionTimer();
    EXPECT_EQ(form->LTitle->x(), 13);
    ASSERT_TRUE(form->PlayFile(songA));
    EXPECT_EQ(form->LTitle->x(), 197 / 2 - form->LTitle->width() / 2);
}

TEST_F(PlayerWindow, EndOfSongAdvancesAtItsLastSampleAndShowsTheNewSongAtOnce)
{
    // 1.9 s: its last whole second is reached at 1.0 s, its sound ends at 1.9 s.
    playList.songs = {QString::fromStdString(fixtures::Library::instance().tone("wav", 1.9)), songB};
    const auto start = std::chrono::steady_clock::now();
    form->BPlay->Click();
    ASSERT_TRUE(spinUntil([&] { return form->LTitle->text() == "tone.ogg"; }, 4s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1850ms);
    EXPECT_EQ(playList.current, 1);
    EXPECT_TRUE(playing());
    // The clock shows the new song at once, not the old song's time.
    EXPECT_EQ(form->LTime->text(), "00:00-00:03");
    EXPECT_EQ(form->ImgPosition->x(), 63);
}

TEST_F(PlayerWindow, TheLastSongEndingStopsThePlayer)
{
    // A page whose last entry is a folder heading: nothing comes after the song.
    playList.wraps = false;
    playList.songs = {QString::fromStdString(fixtures::Library::instance().tone("wav", 0.8))};
    form->BPlay->Click();
    ASSERT_TRUE(spinUntil([&] { return !playing(); }, 3s));
    EXPECT_EQ(form->TransportOf().State(), TransportState::Stopped);
    EXPECT_FALSE(showsPause());
    EXPECT_EQ(form->LTime->text(), "00:00-00:00");
    EXPECT_EQ(form->ImgPosition->x(), 63);
    EXPECT_FALSE(Settings.Playing);
}

// An idle or paused strip does not wake: the timers run only while a song is heard.
TEST_F(PlayerWindow, TimersRestWhileNothingIsHeard)
{
    EXPECT_FALSE(form->Timer1.isActive());
    EXPECT_FALSE(form->TimerPosition.isActive());
    form->BPlay->Click();
    EXPECT_TRUE(form->Timer1.isActive());
    EXPECT_TRUE(form->TimerPosition.isActive());
    // The clock changes when the song's second does, not up to a second later.
    EXPECT_LE(form->Timer1.remainingTime(), 1001);
    ASSERT_TRUE(spinUntil([&] { return form->TransportOf().PositionMs() >= 1100; }, 3s));
    EXPECT_EQ(form->LTime->text(), "00:01-00:03");
    EXPECT_GT(form->ImgPosition->x(), form->ShapePosition->x());

    form->BPlay->Click();  // pause
    EXPECT_FALSE(form->Timer1.isActive());
    EXPECT_FALSE(form->TimerPosition.isActive());

    form->BPlay->Click();  // resume
    EXPECT_TRUE(form->Timer1.isActive());
    form->BStop->Click();
    EXPECT_FALSE(form->Timer1.isActive());
    EXPECT_FALSE(form->TimerPosition.isActive());
}

TEST_F(PlayerWindow, PlayListButtonFileDialogAndFirstShow)
{
    Settings.ViewPlayList = true;
    form->FirstActivate();
    EXPECT_TRUE(playList.visible);
    form->FirstActivate();  // later activations change nothing
    form->BPlayList->Click();
    EXPECT_FALSE(playList.visible);
    form->BPlayList->Click();
    EXPECT_TRUE(playList.visible);

    form->ChooseFiles = [] { return QStringList{"/music/a.mp3", "/music/b.ogg"}; };
    form->dxButton3->Click();
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
    EXPECT_EQ(Ogg, nullptr);
    form->Timer1Timer();  // a late tick must not touch the deleted player
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
