// The track a knob slides on, as the keyboard, the mouse and a screen reader use it.

#include "KnobTrack.h"
#include "StyledTestSupport.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// A bar like the playlist window's master volume: a 63-wide track at (34, 6) with a
// 12 x 7 knob, its value a percentage kept here (as the strip keeps its volume in the
// transport) and every value set written down.
class KnobTrackFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        window = std::make_unique<QWidget>();
        window->resize(120, 20);
        track = new KnobTrack(window.get(), QColor(0, 255, 0));
        track->setGeometry(34, 6, 63, 5);
        track->setFocusPolicy(Qt::TabFocus);
        track->setAccessibleName(QStringLiteral("마스터 볼륨"));
        knob = new QLabel(window.get());
        knob->setGeometry(34, 5, 12, 7);
        track->SetKnob(knob);
        KnobTrack::ValueAccess access;
        access.value = [this] { return level; };
        access.maximum = [] { return 100.0; };
        access.setValue = [this](double percent) {
            set.push_back(percent);
            level = percent;
            track->PlaceKnob(track->Bar().KnobLeftFor(KnobBar::WholeValue(percent), 100));
        };
        access.step = 5;
        access.page = 25;
        access.describe = [this] { return QStringLiteral("%1 %").arg(level); };
        track->SetValueAccess(access);
    }

    void ShowActive()
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    std::unique_ptr<QWidget> window;
    KnobTrack* track = nullptr;
    QLabel* knob = nullptr;
    double level = 30;
    std::vector<double> set;
};

TEST_F(KnobTrackFixture, KeysMoveTheValueInItsUnitsWithinItsRange)
{
    QTest::keyClick(track, Qt::Key_Home);
    EXPECT_EQ(knob->x(), 34);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(track, Qt::Key_Right);
    EXPECT_EQ(set.back(), 15);
    QTest::keyClick(track, Qt::Key_PageUp);
    EXPECT_EQ(set.back(), 40);
    QTest::keyClick(track, Qt::Key_Up, Qt::KeypadModifier);
    EXPECT_EQ(set.back(), 45) << "the keypad's arrows are arrows";
    QTest::keyClick(track, Qt::Key_End);
    EXPECT_EQ(knob->x(), 34 + 51);
    QTest::keyClick(track, Qt::Key_Right);
    EXPECT_EQ(set.back(), 100) << "held at the end";
    QTest::keyClick(track, Qt::Key_PageDown);
    EXPECT_EQ(set.back(), 75);
    QTest::keyClick(track, Qt::Key_Down);
    EXPECT_EQ(set.back(), 70);
    QTest::keyClick(track, Qt::Key_Home);
    QTest::keyClick(track, Qt::Key_Left);
    EXPECT_EQ(set.back(), 0) << "held at the start";

    const std::size_t before = set.size();
    QTest::keyClick(track, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(track, Qt::Key_A);
    EXPECT_EQ(set.size(), before) << "other keys and chords are not the bar's";

    // A track that is only a picture takes no keys.
    KnobTrack picture(window.get());
    QTest::keyClick(&picture, Qt::Key_End);
}

TEST_F(KnobTrackFixture, TheOrangeOutlineMarksFocusFromTheKeyboardOnly)
{
    const QColor orange(231, 150, 0);
    ShowActive();
    auto outline = [this] { return QColor(track->grab().toImage().pixel(0, 0)); };
    EXPECT_EQ(outline(), QColor(Qt::black));

    // The window handing the focus on as it comes up, or a program's setFocus: no mark.
    track->setFocus(Qt::ActiveWindowFocusReason);
    ASSERT_TRUE(track->hasFocus());
    EXPECT_FALSE(track->ShowsFocusMark());
    EXPECT_EQ(outline(), QColor(Qt::black));
    // ... until the keys move it.
    QTest::keyClick(track, Qt::Key_Right);
    EXPECT_TRUE(track->ShowsFocusMark());
    EXPECT_EQ(outline(), orange);

    track->clearFocus();
    EXPECT_EQ(outline(), QColor(Qt::black));
    track->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(track->ShowsFocusMark());
    track->clearFocus();
    track->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(track->ShowsFocusMark());
    EXPECT_EQ(outline(), orange);
    EXPECT_EQ(QColor(track->grab().toImage().pixel(5, 2)), QColor(0, 255, 0)) << "the fill stays";
}

TEST_F(KnobTrackFixture, TheMouseMovesTheKnobAndSaysWhatItDid)
{
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(31, 2), QPointF(31, 2), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    EXPECT_EQ(track->HandleMouse(track, &click), KnobTrack::KnobMove::Clicked);
    EXPECT_EQ(knob->x(), 34 + 25);
    QMouseEvent trackUp(QEvent::MouseButtonRelease, QPointF(31, 2), QPointF(31, 2), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    EXPECT_EQ(track->HandleMouse(track, &trackUp), KnobTrack::KnobMove::None);

    auto onKnob = [this](QEvent::Type type, int x) {
        QMouseEvent event(type, QPointF(x, 3), QPointF(x, 3), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        return track->HandleMouse(knob, &event);
    };
    EXPECT_EQ(onKnob(QEvent::MouseMove, 9), KnobTrack::KnobMove::None) << "not held";
    EXPECT_EQ(onKnob(QEvent::MouseButtonPress, 5), KnobTrack::KnobMove::None);
    EXPECT_TRUE(track->Bar().Dragging());
    EXPECT_EQ(onKnob(QEvent::MouseMove, 5 + 20), KnobTrack::KnobMove::Dragged);
    EXPECT_EQ(knob->x(), 34 + 45);
    EXPECT_EQ(onKnob(QEvent::MouseMove, 5 + 7), KnobTrack::KnobMove::None) << "past the end";
    EXPECT_EQ(knob->x(), 34 + 45);
    EXPECT_EQ(onKnob(QEvent::MouseButtonRelease, 5), KnobTrack::KnobMove::LetGo);
    EXPECT_EQ(onKnob(QEvent::MouseButtonRelease, 5), KnobTrack::KnobMove::None);
    EXPECT_EQ(track->HandleMouse(window.get(), &click), KnobTrack::KnobMove::None) << "not the bar's";
}

TEST_F(KnobTrackFixture, AScreenReaderSeesASliderAndHearsOnlyTheUsersChanges)
{
    QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(track);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->role(), QAccessible::Slider);
    EXPECT_EQ(slider->text(QAccessible::Name), QStringLiteral("마스터 볼륨"));
    QAccessibleValueInterface* value = slider->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->maximumValue().toInt(), 100);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->minimumStepSize().toInt(), 5);

    // Readers are told through the platform's bridge, which offscreen has none; what is
    // told is counted here.
    QSignalSpy told(track, &KnobTrack::UserChangedValue);
    value->setCurrentValue(49);
    EXPECT_EQ(knob->x(), 34 + 24);
    EXPECT_EQ(value->currentValue().toInt(), 49);
    EXPECT_EQ(slider->text(QAccessible::Value), "49");
    EXPECT_EQ(slider->text(QAccessible::Description), "49 %");
    value->setCurrentValue(999);
    EXPECT_EQ(set.back(), 100) << "held to the maximum";
    QTest::keyClick(track, Qt::Key_Left);
    EXPECT_EQ(told.count(), 3) << "two settings by the reader, one key";
    // The program moving the knob (the song playing on, a mixer changed elsewhere).
    track->PlaceKnob(34 + 10);
    EXPECT_EQ(told.count(), 3);
}

} // namespace
