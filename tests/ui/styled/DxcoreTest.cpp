#include "ControlHarness.h"

#include <QDialog>

using Control = Counted<TdxCustomStyleControl>;

class ControlStateTest : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        a = new Control(form);
        a->setGeometry(10, 10, 73, 21);
        a->SetCaption(QStringLiteral("&Apply"));
        b = new Control(form);
        b->setGeometry(100, 10, 73, 21);
        a->OnClick = [this](QObject* sender) {
            ++clicks;
            EXPECT_EQ(sender, a);
        };
        Show();
    }
    Control* a = nullptr;
    Control* b = nullptr;
    int clicks = 0;
};

TEST_F(ControlStateTest, PressDragOutAndBackThenReleaseInsideClicks)
{
    Enter(a);
    Press(a);
    EXPECT_TRUE(a->LeftButtonDown());
    EXPECT_EQ(a->PaintState(), dsDefault | dsHighlight | dsClicked | dsFocused);
    DragTo(a, {200, 5});
    EXPECT_EQ(a->PaintState(), dsDefault | dsClicked | dsFocused) << "leaving clears the hover, not the press";
    EXPECT_TRUE(a->Focused());
    DragTo(a, {6, 6});
    EXPECT_EQ(a->PaintState(), dsDefault | dsHighlight | dsClicked | dsFocused);
    Release(a);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(a->LeftButtonDown());
    EXPECT_EQ(a->PaintState(), dsDefault | dsHighlight | dsFocused);
}

TEST_F(ControlStateTest, ReleaseOutsideEndsThePressWithoutAClick)
{
    Enter(a);
    Press(a);
    DragTo(a, {200, 5});
    Release(a, {200, 5});
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(a->PaintState(), dsDefault | dsFocused);
    Leave(a);  // Qt's late leave after the release changes nothing
    EXPECT_EQ(a->PaintState(), dsDefault | dsFocused);
}

TEST_F(ControlStateTest, RightButtonNeitherPressesNorFocusesButItsReleaseEndsALeftPress)
{
    edit->setFocus();
    Press(a, {5, 5}, Qt::RightButton);
    EXPECT_FALSE(a->PaintState() & dsClicked);
    EXPECT_FALSE(a->Focused());
    Release(a, {5, 5}, Qt::RightButton);

    Press(a);
    Release(a, {5, 5}, Qt::RightButton);
    EXPECT_FALSE(a->LeftButtonDown());
    EXPECT_FALSE(a->PaintState() & dsClicked);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ControlStateTest, FocusMovingAwayWhileHeldClearsThePress)
{
    Press(a);
    ASSERT_TRUE(a->PaintState() & dsClicked);
    edit->setFocus();
    EXPECT_EQ(a->PaintState() & (dsClicked | dsFocused), 0);
    EXPECT_FALSE(a->StyledFocus());
    b->setFocus();
    EXPECT_TRUE(a->StyledFocus()) << "the window's focus widget is a styled control";
    EXPECT_TRUE(b->PaintState() & dsFocused);
}

TEST_F(ControlStateTest, ReleaseOverAnotherStyledControlHighlightsItAtOnce)
{
    int entered = 0;
    b->OnMouseEnter = [&](QObject* sender) {
        ++entered;
        EXPECT_EQ(sender, b);
    };
    Press(a);
    DragTo(a, {95, 5});
    Release(a, {95, 5});  // a's (95, 5) is inside b
    EXPECT_TRUE(b->PaintState() & dsHighlight);
    EXPECT_EQ(entered, 1);
    Enter(b);  // the window system's own enter, after the release
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ControlStateTest, UpdateLockIsAFlagAndPostponesRepaints)
{
    a->repaints = 0;
    a->BeginUpdate();
    a->BeginUpdate();
    a->SetEnabled(false);
    a->Style()->SetTheme(OfficeXP);
    EXPECT_EQ(a->repaints, 0);
    a->EndUpdate();
    EXPECT_FALSE(a->UpdateLocked());
    EXPECT_EQ(a->repaints, 1);
}

TEST_F(ControlStateTest, DefaultRedrawEventsSkipMoveAndResize)
{
    EXPECT_EQ(a->RedrawEvents(), 0x037D);
    a->repaints = 0;
    a->move(20, 20);
    a->resize(80, 30);
    EXPECT_EQ(a->repaints, 0);
    a->SetEnabled(false);
    EXPECT_EQ(a->repaints, 1);
    a->SetRedrawEvents(dxDefaultRedrawEvents | csRedrawResized);
    a->resize(90, 30);
    EXPECT_EQ(a->repaints, 2);
}

TEST_F(ControlStateTest, AcceleratorNeedsAltUnlessTheControlIsFocused)
{
    edit->setFocus();
    Type(form, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    EXPECT_EQ(clicks, 0) << "the edit takes plain letters";
    EXPECT_EQ(edit->text(), QStringLiteral("a"));
    Type(form, Qt::Key_A, Qt::AltModifier, QStringLiteral("a"));
    EXPECT_EQ(clicks, 1);

    b->setFocus();
    Type(form, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    EXPECT_EQ(clicks, 1) << "unfocused without Alt: passed on";
    a->setFocus();
    Type(form, Qt::Key_A, Qt::ShiftModifier, QStringLiteral("A"));
    EXPECT_EQ(clicks, 2);
    Type(form, Qt::Key_B, Qt::AltModifier, QStringLiteral("b"));
    EXPECT_EQ(clicks, 2);
    a->clearFocus();
    ASSERT_EQ(form->focusWidget(), nullptr);
    Type(form, Qt::Key_A, Qt::AltModifier, QStringLiteral("a"));
    EXPECT_EQ(clicks, 3) << "with no focus widget the window itself receives the key";
    a->SetEnabled(false);
    Type(form, Qt::Key_A, Qt::AltModifier, QStringLiteral("a"));
    EXPECT_EQ(clicks, 3) << "a control that cannot take the focus ignores its accelerator";
}

TEST_F(ControlStateTest, ClickWritesTheModalResultEvenWhenZero)
{
    form->setProperty("ModalResult", 7);
    Press(a);
    Release(a);
    EXPECT_EQ(form->property("ModalResult").toInt(), 0);
    a->SetModalResult(2);
    a->Click();
    EXPECT_EQ(form->property("ModalResult").toInt(), 2);
}

TEST_F(ControlStateTest, AccessibleNameIsCaptionElseHintElseName)
{
    EXPECT_EQ(a->accessibleName(), QStringLiteral("Apply"));
    b->setObjectName(QStringLiteral("BNext"));
    EXPECT_EQ(b->accessibleName(), QStringLiteral("BNext"));
    b->SetHint(QStringLiteral("Next song"));
    EXPECT_EQ(b->accessibleName(), QStringLiteral("Next song"));
    // A doubled ampersand is one drawn; a single one only marks the accelerator.
    b->SetCaption(QStringLiteral("Rock && &Roll&"));
    EXPECT_EQ(b->accessibleName(), QStringLiteral("Rock & Roll"));
    b->SetCaption(QStringLiteral("&&&"));
    EXPECT_EQ(b->accessibleName(), QStringLiteral("&&"));
}

TEST(ModalDialogTest, NonZeroModalResultClosesAModalDialog)
{
    TestApp();
    QDialog dialog;
    auto* ok = new TdxCustomStyleControl(&dialog);
    ok->SetModalResult(1);
    dialog.open();
    ASSERT_TRUE(dialog.isVisible());
    ok->Click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 1);
}

class StyleManagerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestApp(); }
    QWidget form;
    Control* a = new Control(&form);
    Control* b = new Control(&form);
};

TEST_F(StyleManagerTest, RegistryKeepsEachControlOnceInOrder)
{
    TdxStyleManager manager(&form);
    manager.RegisterControls({b, a, b});
    manager.RegisterControls({a});
    EXPECT_EQ(manager.RegisteredControls(), (QList<TdxCustomStyleControl*>{b, a}));
    manager.UnregisterControls({b, b});
    EXPECT_EQ(manager.RegisteredControls(), (QList<TdxCustomStyleControl*>{a}));
}

TEST_F(StyleManagerTest, EffectiveThemeFollowsTheBoundManager)
{
    auto* manager = new TdxStyleManager(&form);
    manager->SetTheme(OfficeXP);
    EXPECT_EQ(a->Style()->GetTheme(), WindowsXP) << "no manager: the style's own theme";
    a->repaints = 0;
    a->SetStyleManager(manager);
    EXPECT_EQ(a->Style()->GetTheme(), OfficeXP);
    EXPECT_EQ(a->repaints, 1);
    a->Style()->SetUseStyleManager(false);
    EXPECT_EQ(a->Style()->GetTheme(), WindowsXP);
    a->Style()->SetUseStyleManager(true);

    int themeEvents = 0;
    manager->OnThemeChanged = [&](QObject* sender) {
        ++themeEvents;
        EXPECT_EQ(sender, manager);
    };
    a->repaints = 0;
    manager->SetTheme(WindowsXP);
    manager->SetTheme(WindowsXP);
    EXPECT_EQ(themeEvents, 1);
    EXPECT_EQ(a->repaints, 1);
}

TEST_F(StyleManagerTest, RebindingMovesTheControlBetweenRegistries)
{
    TdxStyleManager first(&form), second(&form);
    a->SetStyleManager(&first);
    a->SetStyleManager(&second);
    EXPECT_TRUE(first.RegisteredControls().isEmpty());
    EXPECT_EQ(second.RegisteredControls(), (QList<TdxCustomStyleControl*>{a}));
    delete a;
    EXPECT_TRUE(second.RegisteredControls().isEmpty()) << "a destroyed control leaves the registry";
}

TEST_F(StyleManagerTest, DestroyingAManagerClearsEveryBindingInItsWindow)
{
    auto* bound = new TdxStyleManager(&form);
    auto* other = new TdxStyleManager(&form);
    bound->SetTheme(OfficeXP);
    a->SetStyleManager(bound);
    b->SetStyleManager(other);
    delete other;
    EXPECT_EQ(b->StyleManager(), nullptr);
    EXPECT_EQ(a->StyleManager(), nullptr) << "any manager's removal clears the binding";
    EXPECT_TRUE(bound->RegisteredControls().isEmpty()) << "and no manager keeps a control that left it";
    EXPECT_EQ(a->Style()->GetTheme(), WindowsXP);
    delete bound;
}

TEST_F(StyleManagerTest, ManagerOutsideTheWindowStillReleasesItsControls)
{
    auto* manager = new TdxStyleManager;
    a->SetStyleManager(manager);
    delete manager;
    EXPECT_EQ(a->StyleManager(), nullptr);
}

// A window deletes its children in the order they were made; whichever of a control and
// its manager goes first, the one left must not keep a pointer to it.
TEST_F(StyleManagerTest, WindowTeardownInEitherOrderIsSafe)
{
    auto* window = new QWidget;
    auto* manager = new TdxStyleManager(window);
    auto* c = new Control(window);
    c->SetStyleManager(manager);
    bool managerGone = false;
    QObject::connect(manager, &QObject::destroyed, [&] {
        managerGone = true;
        EXPECT_EQ(c->StyleManager(), nullptr) << "the control still points at its destroyed manager";
    });
    delete window;  // manager created first, destroyed first
    EXPECT_TRUE(managerGone);

    auto* window2 = new QWidget;
    auto* c2 = new Control(window2);
    auto* manager2 = new TdxStyleManager(window2);
    c2->SetStyleManager(manager2);
    bool controlGone = false;
    QObject::connect(c2, &QObject::destroyed, [&] {
        controlGone = true;
        EXPECT_TRUE(manager2->RegisteredControls().isEmpty()) << "the manager still lists its destroyed control";
    });
    delete window2;  // control first
    EXPECT_TRUE(controlGone);
}

TEST_F(StyleManagerTest, GradientRebuildsOnColourChangesAndRepaintsOnEnable)
{
    a->resize(40, 20);
    TdxGradient gradient(a);
    EXPECT_EQ(gradient.Colors(), 16);
    EXPECT_TRUE(gradient.Dithered());
    EXPECT_FALSE(gradient.Enabled());
    EXPECT_EQ(gradient.StartColor(), clGray);
    EXPECT_EQ(gradient.EndColor(), clSilver);
    EXPECT_TRUE(gradient.BandImage().isNull());
    a->repaints = 0;
    gradient.SetStartColor(clRed);
    EXPECT_EQ(gradient.BandImage().size(), QSize(40, 20));
    EXPECT_EQ(PixelAt(gradient.BandImage(), 0, 10), clRed);
    EXPECT_EQ(a->repaints, 1);
    gradient.SetStartColor(clRed);
    EXPECT_EQ(a->repaints, 1);
    a->resize(60, 20);
    gradient.SetEnabled(true);
    EXPECT_EQ(a->repaints, 2);
    EXPECT_EQ(gradient.BandImage().width(), 40) << "enabling does not rebuild";
    gradient.SetColors(1);
    EXPECT_EQ(gradient.Colors(), 2);
    EXPECT_EQ(gradient.BandImage().width(), 60);
}
