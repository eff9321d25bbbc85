// What a screen reader and the keyboard reach on the strip.

#include "PlayerFixture.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpression>
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
    EXPECT_FALSE(Settings.Playing);

    form->Timer1Timer();
    QAccessibleInterface* clock = QAccessible::queryAccessibleInterface(form->LTime);
    EXPECT_EQ(clock->role(), QAccessible::StaticText);
    EXPECT_EQ(clock->text(QAccessible::Name), "00:00-00:03");
    EXPECT_FALSE(clock->text(QAccessible::Description).isEmpty());

    QAccessibleInterface* volume = Named("볼륨");
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->role(), QAccessible::Slider);
    QAccessibleValueInterface* value = volume->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 30);
    EXPECT_EQ(value->maximumValue().toInt(), 55);
    value->setCurrentValue(40);
    EXPECT_EQ(form->ImgVolume->x(), 132 + 40);
    value->setCurrentValue(999);
    EXPECT_EQ(value->currentValue().toInt(), 55) << "clamped to the track";
    QAccessibleInterface* seek = Named("재생 위치");
    ASSERT_NE(seek, nullptr);
    EXPECT_EQ(seek->valueInterface()->maximumValue().toInt(), 124);
}

TEST_F(StripAccessibility, TabReachesOnlyWhatIsShownAndArrowsMoveTheBars)
{
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->BPlay->setFocus();
    QStringList stops;
    for (int i = 0; i < 8; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(focus->isVisible()) << focus->objectName().toStdString();
        if (stops.contains(focus->objectName()))
            break;
        stops << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(stops, QStringList({"BPlay", "BStop", "dxButton1", "ShapeVolume", "ShapePosition", "BPlayList"}));

    form->ShapeVolume->setFocus();
    QTest::keyClick(form->ShapeVolume, Qt::Key_Right);
    EXPECT_EQ(form->ImgVolume->x(), 132 + 31);
    QTest::keyClick(form->ShapeVolume, Qt::Key_PageDown);
    EXPECT_EQ(form->ImgVolume->x(), 132 + 21);
    QTest::keyClick(form->ShapeVolume, Qt::Key_End);
    EXPECT_EQ(form->ImgVolume->x(), 132 + 55);
    QTest::keyClick(form->ShapeVolume, Qt::Key_Right);
    EXPECT_EQ(form->ImgVolume->x(), 132 + 55);

    ASSERT_TRUE(form->PlayFile(longSong));
    form->ShapePosition->setFocus();
    for (int i = 0; i < 62; ++i)
        QTest::keyClick(form->ShapePosition, Qt::Key_Right);
    EXPECT_GE(Ogg->m_GetTimeMs(), 100000) << "62 of 124 steps into a 200 s song";
    EXPECT_LT(Ogg->m_GetTimeMs(), 100400);
}

} // namespace
