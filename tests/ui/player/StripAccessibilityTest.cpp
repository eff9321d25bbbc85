// What a screen reader and the keyboard reach on the strip.

#include "KnobTrack.h"
#include "PlayerFixture.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// Every node under `root`, depth first.
void Collect(QAccessibleInterface* root, QList<QAccessibleInterface*>& out)
{
    out << root;
    for (int i = 0; i < root->childCount(); ++i)
        if (QAccessibleInterface* child = root->child(i))
            Collect(child, out);
}

class StripAccessibility : public PlayerWindow {
protected:
    QList<QAccessibleInterface*> Tree()
    {
        QList<QAccessibleInterface*> nodes;
        Collect(QAccessible::queryAccessibleInterface(form.get()), nodes);
        return nodes;
    }
    QAccessibleInterface* Named(const QString& name)
    {
        for (QAccessibleInterface* node : Tree())
            if (node->text(QAccessible::Name) == name)
                return node;
        return nullptr;
    }
};

TEST_F(StripAccessibility, EveryNodeHasARoleAndANameAPersonWouldSay)
{
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(form.get());
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), "마루엘의 뮤직플레이어 Sorvel");

    const QRegularExpression internal(QStringLiteral("^(T|Img|Image|Panel|Shape|Label|dx|Edit|Button|L[A-Z])\\w*$"));
    QStringList names;
    for (QAccessibleInterface* node : Tree()) {
        const QString name = node->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty()) << "a node without a name, role " << node->role();
        EXPECT_FALSE(internal.match(name).hasMatch()) << "internal name " << name.toStdString();
        EXPECT_NE(node->role(), QAccessible::Client) << name.toStdString() << " is a filler";
        names << name;
    }
    for (const char* hidden : {"start", "stop", "pause", "resume", "Add File", "Label1"})
        EXPECT_FALSE(names.contains(QString::fromUtf8(hidden))) << hidden << " is outside the strip";
    EXPECT_EQ(names.filter("트레이로 숨김").size(), 1);
    EXPECT_EQ(names.count("Stop"), 1);
    EXPECT_FALSE(names.contains("최대화")) << "the decoration under the playlist button is never seen";
}

TEST_F(StripAccessibility, PressStopReadTheClockSetTheVolume)
{
    QAccessibleInterface* play = Named("Start / Pause");
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->role(), QAccessible::Button);
    play->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    ASSERT_TRUE(playing());

    QAccessibleInterface* stop = Named("Stop");
    ASSERT_NE(stop, nullptr);
    ASSERT_EQ(stop->actionInterface()->actionNames().value(0), QAccessibleActionInterface::pressAction());
    stop->actionInterface()->doAction(stop->actionInterface()->actionNames().value(0));
    QCoreApplication::processEvents();
    EXPECT_FALSE(playing());

    form->Timer1Timer();
    QAccessibleInterface* clock = QAccessible::queryAccessibleInterface(form->LTime);
    EXPECT_EQ(clock->role(), QAccessible::StaticText);
    EXPECT_EQ(clock->text(QAccessible::Name), "00:00-00:03");
    EXPECT_FALSE(clock->text(QAccessible::Description).isEmpty());

    // The sliders speak the user's units: the volume in percent, the position in seconds.
    QAccessibleInterface* volume = Named("볼륨");
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->role(), QAccessible::Slider);
    QAccessibleValueInterface* value = volume->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 55) << "the knob 30 of 55 pixels in";
    EXPECT_EQ(value->maximumValue().toInt(), 100);
    value->setCurrentValue(50);
    EXPECT_DOUBLE_EQ(form->TransportOf().Volume(), 0.5);
    EXPECT_EQ(form->ImgVolume->x(), 132 + 28);
    EXPECT_EQ(volume->text(QAccessible::Description), "50 %");
    value->setCurrentValue(999);
    EXPECT_EQ(value->currentValue().toInt(), 100) << "clamped";
    QAccessibleInterface* seek = Named("재생 위치");
    ASSERT_NE(seek, nullptr);
    ASSERT_TRUE(form->PlayFile(longSong));
    EXPECT_EQ(seek->valueInterface()->maximumValue().toInt(), 200);
    seek->valueInterface()->setCurrentValue(101);
    EXPECT_EQ(seek->valueInterface()->currentValue().toInt(), 101);
    EXPECT_EQ(seek->text(QAccessible::Description), "1:41 of 3:20");
}

// What a reader finds on the play button: pressed while a song is heard, and the state
// in words. (That changes are announced needs a live accessibility bridge: the
// end-to-end test listens for them.)
TEST_F(StripAccessibility, ThePlayButtonSaysWhetherASongIsHeard)
{
    QAccessibleInterface* play = QAccessible::queryAccessibleInterface(form->BPlay);
    EXPECT_TRUE(play->state().checkable);
    EXPECT_FALSE(play->state().checked);
    EXPECT_EQ(play->text(QAccessible::Description), "정지");
    form->BPlay->Click();
    EXPECT_TRUE(play->state().checked);
    EXPECT_EQ(play->text(QAccessible::Description), "재생 중");
    EXPECT_EQ(play->role(), QAccessible::Button) << "still a push button";
    form->BPlay->Click();
    EXPECT_FALSE(play->state().checked);
    EXPECT_EQ(play->text(QAccessible::Description), "일시 정지");
}

TEST_F(StripAccessibility, TabReachesEveryControlAndArrowsMoveTheBarsInTheirUnits)
{
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->BPlay->setFocus(Qt::TabFocusReason);
    QStringList stops;
    for (int i = 0; i < 10; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(focus->isVisible()) << focus->objectName().toStdString();
        if (stops.contains(focus->objectName()))
            break;
        stops << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(stops,
              QStringList({"BPlay", "BStop", "dxButton1", "ShapeVolume", "ShapePosition", "BToTray", "BPlayList"}));

    // Volume: 5 % a step, a quarter a page.
    form->ShapeVolume->setFocus();
    QTest::keyClick(form->ShapeVolume, Qt::Key_Home);
    EXPECT_EQ(form->TransportOf().VolumeLevel(), 0);
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(form->ShapeVolume, Qt::Key_Right);
    EXPECT_DOUBLE_EQ(form->TransportOf().Volume(), 0.5);
    QTest::keyClick(form->ShapeVolume, Qt::Key_PageDown);
    EXPECT_DOUBLE_EQ(form->TransportOf().Volume(), 0.25);
    QTest::keyClick(form->ShapeVolume, Qt::Key_End);
    EXPECT_EQ(form->ImgVolume->x(), 132 + 55);
    QTest::keyClick(form->ShapeVolume, Qt::Key_Right);
    EXPECT_DOUBLE_EQ(form->TransportOf().Volume(), 1.0);

    // Position: 5 s a step, 30 s a page.
    ASSERT_TRUE(form->PlayFile(longSong));
    form->BPlay->Click();  // paused, so the song does not move on meanwhile
    form->ShapePosition->setFocus();
    QTest::keyClick(form->ShapePosition, Qt::Key_Home);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(form->ShapePosition, Qt::Key_Right);
    EXPECT_EQ(form->TransportOf().PositionMs(), 15000);
    QTest::keyClick(form->ShapePosition, Qt::Key_PageUp);
    EXPECT_EQ(form->TransportOf().PositionMs(), 45000);
    QTest::keyClick(form->ShapePosition, Qt::Key_Left);
    EXPECT_EQ(form->TransportOf().PositionMs(), 40000);
}

// Readers hear of what the user does with the bars, not of the song playing on or of a
// volume set from elsewhere (the desktop's media controls).
TEST_F(StripAccessibility, ReadersHearTheUsersBarChangesOnly)
{
    QSignalSpy volumeTold(form->ShapeVolume, &KnobTrack::UserChangedValue);
    QSignalSpy positionTold(form->ShapePosition, &KnobTrack::UserChangedValue);
    QTest::mouseClick(form->ShapeVolume, Qt::LeftButton, {}, QPoint(20, 2));
    EXPECT_EQ(volumeTold.count(), 1);
    QTest::mousePress(form->ImgVolume, Qt::LeftButton, {}, QPoint(5, 3));
    QMouseEvent move(QEvent::MouseMove, QPointF(9, 3), form->ImgVolume->mapToGlobal(QPointF(9, 3)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->ImgVolume, &move);
    EXPECT_EQ(volumeTold.count(), 1) << "told once the knob is let go";
    QTest::mouseRelease(form->ImgVolume, Qt::LeftButton, {}, QPoint(5, 3));
    EXPECT_EQ(volumeTold.count(), 2);
    form->TransportOf().SetVolume(0.2);
    EXPECT_EQ(form->ImgVolume->x(), 132 + 11);
    EXPECT_EQ(volumeTold.count(), 2);

    ASSERT_TRUE(form->PlayFile(longSong));
    form->TransportOf().SeekTo(100000);
    form->TimerPositionTimer();
    EXPECT_GT(form->ImgPosition->x(), 63);
    EXPECT_EQ(positionTold.count(), 0);
    QTest::mouseClick(form->ShapePosition, Qt::LeftButton, {}, QPoint(6, 2));
    EXPECT_EQ(positionTold.count(), 1);
}

// A press by the keyboard leaves the focus where it was, so a second Space pauses; a
// mouse press moves it to the tray button, which takes Space and Enter itself.
TEST_F(StripAccessibility, KeyboardPressesKeepTheFocusAndTheTrayButtonTakesKeys)
{
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->BPlay->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->BPlay, Qt::Key_Space);
    EXPECT_TRUE(playing());
    EXPECT_TRUE(form->BPlay->hasFocus());
    QTest::keyClick(form->BPlay, Qt::Key_Space);
    EXPECT_EQ(form->TransportOf().State(), TransportState::Paused) << "a second Space pauses";
    QTest::keyClick(form->dxButton1, Qt::Key_Space);
    EXPECT_TRUE(playing());

    QTest::mouseClick(form->BStop, Qt::LeftButton);
    EXPECT_FALSE(playing());
    EXPECT_TRUE(form->BToTray->hasFocus()) << "a mouse press moves the focus as the strip always did";

    int trayClicks = 0;
    QObject::connect(form->BToTray, &TdxCustomControl::clicked, [&] { ++trayClicks; });
    form->BToTray->OnClick = {};  // count the presses without hiding the window
    QTest::keyClick(form->BToTray, Qt::Key_Space);
    EXPECT_EQ(trayClicks, 1);
    QTest::keyClick(form->BToTray, Qt::Key_Return);
    EXPECT_EQ(trayClicks, 2);
}

} // namespace
