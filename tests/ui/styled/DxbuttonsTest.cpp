#include "ControlHarness.h"
#include "Dxbuttons.h"
#include "Dxglyphs.h"

#include <QAccessible>
#include <QCursor>
#include <QFontMetrics>

namespace {

constexpr TColor kParent = 0x1E140A;  // RGB(10, 20, 30)
constexpr TColor kOutline = 0x733800, kOutlineOff = 0xBDC7CE, kCorner = 0xAD9E7B;

TColor ImagePixel(const QImage& img, int x, int y) { return PixelAt(img, x, y); }

// Dark green with a fuchsia bottom-left pixel, which makes that colour transparent.
QImage SolidGlyph(int w, int h, QRgb color = qRgb(0, 96, 0))
{
    QImage g(w, h, QImage::Format_RGB32);
    g.fill(color);
    g.setPixel(0, h - 1, qRgb(255, 0, 255));
    return g;
}

// Smallest x and smallest y of the pixels of `color` in the image, or (-1, -1).
QPoint FirstOf(const QImage& img, TColor color)
{
    int minX = -1, minY = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (PixelAt(img, x, y) == color) {
                minX = minX < 0 ? x : std::min(minX, x);
                minY = minY < 0 ? y : std::min(minY, y);
            }
    return QPoint(minX, minY);
}

}  // namespace

class ButtonFixture : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        QPalette pal = form->palette();
        pal.setColor(QPalette::Window, QColor(10, 20, 30));
        form->setPalette(pal);
        button = new Counted<TdxButton>(form);
        button->move(10, 10);
        button->OnClick = [this](QObject*) { ++clicks; };
        other = new TdxButton(form);
        other->move(10, 40);
        other->OnClick = [this](QObject*) { ++otherClicks; };
        Show();
        edit->setFocus();
    }
    QImage Render() { return button->PaintToImage(); }
    Counted<TdxButton>* button = nullptr;
    TdxButton* other = nullptr;
    int clicks = 0;
    int otherClicks = 0;
};

using ButtonLookTest = ButtonFixture;

TEST_F(ButtonLookTest, DefaultsAndGradientSizes)
{
    EXPECT_EQ(button->size(), QSize(73, 21));
    EXPECT_TRUE(button->TabStop());
    EXPECT_TRUE(button->AutoGray());
    EXPECT_EQ(button->Spacing(), 3);
    EXPECT_EQ(button->Layout(), blGlyphLeft);
    EXPECT_EQ(button->FaceImage().size(), QSize(71, 19));
    EXPECT_EQ(button->HotImage().size(), QSize(71, 19));
    EXPECT_EQ(ImagePixel(button->FaceImage(), 0, 0), dxRGB(255, 255, 255));
    EXPECT_EQ(ImagePixel(button->PressedImage(), 0, 0), dxRGB(214, 207, 198));
    EXPECT_EQ(ImagePixel(button->FocusImage(), 0, 0), dxRGB(206, 231, 255));
    EXPECT_EQ(ImagePixel(button->HotImage(), 0, 0), dxRGB(255, 243, 206));
}

TEST_F(ButtonLookTest, NormalFaceInsideARoundedOutlineWithSoftenedCorners)
{
    const QImage img = Render();
    for (QPoint corner : {QPoint(0, 0), QPoint(72, 0), QPoint(0, 20), QPoint(72, 20)})
        EXPECT_EQ(PixelAt(img, corner.x(), corner.y()), kParent) << corner.x() << "," << corner.y();
    for (QPoint soft : {QPoint(1, 0), QPoint(0, 1), QPoint(71, 0), QPoint(72, 1), QPoint(0, 19), QPoint(1, 20),
                        QPoint(71, 20), QPoint(72, 19)})
        EXPECT_EQ(PixelAt(img, soft.x(), soft.y()), kCorner) << soft.x() << "," << soft.y();
    for (QPoint edge : {QPoint(2, 0), QPoint(70, 0), QPoint(0, 2), QPoint(0, 18), QPoint(72, 10), QPoint(36, 20)})
        EXPECT_EQ(PixelAt(img, edge.x(), edge.y()), kOutline) << edge.x() << "," << edge.y();
    EXPECT_EQ(PixelAt(img, 1, 1), ImagePixel(button->FaceImage(), 0, 0));
    EXPECT_EQ(PixelAt(img, 71, 19), ImagePixel(button->FaceImage(), 70, 18));

    button->SetSmoothEdges(false);
    EXPECT_EQ(PixelAt(Render(), 1, 0), kOutline);
}

TEST_F(ButtonLookTest, HoverShowsATwoPixelOrangeRingAroundTheInsetFace)
{
    Enter(button);
    const QImage img = Render();
    const QImage& hot = button->HotImage();
    const QImage& face = button->FaceImage();
    EXPECT_EQ(PixelAt(img, 1, 1), ImagePixel(hot, 0, 0));
    EXPECT_EQ(PixelAt(img, 2, 10), ImagePixel(hot, 1, 9));
    EXPECT_EQ(PixelAt(img, 3, 3), ImagePixel(face, 0, 0));
    EXPECT_EQ(PixelAt(img, 69, 17), ImagePixel(face, 66, 14));
    EXPECT_EQ(PixelAt(img, 70, 18), ImagePixel(hot, 69, 17));
    EXPECT_EQ(PixelAt(img, 36, 19), ImagePixel(hot, 35, 18));
}

TEST_F(ButtonLookTest, FocusDefaultAndPressedOutsideShowTheBlueRing)
{
    button->setFocus();
    EXPECT_EQ(PixelAt(Render(), 1, 1), ImagePixel(button->FocusImage(), 0, 0));
    EXPECT_EQ(PixelAt(Render(), 3, 3), ImagePixel(button->FaceImage(), 0, 0));

    edit->setFocus();
    other->SetDefault(true);
    EXPECT_TRUE(other->IsSpecialDrawState(false));
    EXPECT_EQ(PixelAt(other->PaintToImage(), 2, 2), ImagePixel(other->FocusImage(), 1, 1));
    button->setFocus();
    EXPECT_FALSE(other->IsSpecialDrawState(false)) << "a styled control has the focus";

    Enter(button);
    Press(button);
    DragTo(button, {100, 5});
    const QImage img = Render();
    EXPECT_EQ(PixelAt(img, 1, 1), ImagePixel(button->FocusImage(), 0, 0));
}

TEST_F(ButtonLookTest, PressedInsideFillsTheWholeInsideWithThePressedFace)
{
    Enter(button);
    Press(button);
    const QImage img = Render();
    EXPECT_EQ(PixelAt(img, 1, 1), ImagePixel(button->PressedImage(), 0, 0));
    EXPECT_EQ(PixelAt(img, 71, 19), ImagePixel(button->PressedImage(), 70, 18));
    EXPECT_EQ(PixelAt(img, 2, 2), ImagePixel(button->PressedImage(), 1, 1));
}

TEST_F(ButtonLookTest, DisabledOutlineAndCornersArePale)
{
    button->SetEnabled(false);
    const QImage img = Render();
    EXPECT_EQ(PixelAt(img, 10, 0), kOutlineOff);
    EXPECT_EQ(PixelAt(img, 1, 0), kOutlineOff);
}

TEST_F(ButtonLookTest, FaceBuiltWhileRingedIsFourPixelsSmallerAndStillCoversTheInside)
{
    Enter(button);
    button->resize(80, 30);
    EXPECT_EQ(button->FaceImage().size(), QSize(74, 24));
    EXPECT_EQ(button->HotImage().size(), QSize(78, 28));
    Leave(button);
    const QImage img = Render();
    EXPECT_NE(PixelAt(img, 78, 28), kParent);
    EXPECT_NE(PixelAt(img, 40, 28), kParent);
    button->resize(81, 30);
    EXPECT_EQ(button->FaceImage().size(), QSize(79, 28));
}

TEST_F(ButtonLookTest, FocusRectangleIsDottedAndInverting)
{
    button->SetShowFocusRect(true);
    button->setFocus();
    const QImage with = Render();
    button->SetShowFocusRect(false);
    const QImage without = Render();
    const TColor a = PixelAt(without, 3, 3), b = PixelAt(with, 3, 3);
    EXPECT_EQ(b, a ^ 0xFFFFFF);
    EXPECT_EQ(PixelAt(with, 4, 3), PixelAt(without, 4, 3));
    EXPECT_EQ(PixelAt(with, 69, 3), PixelAt(without, 69, 3) ^ 0xFFFFFF);
}

class ButtonGlyphTest : public ButtonFixture {
protected:
    void SetUp() override
    {
        ButtonFixture::SetUp();
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(11);
        button->setFont(f);
        button->resize(90, 40);
        button->SetGlyph(SolidGlyph(10, 8));
    }
    QPoint GlyphAt() { return FirstOf(Render(), dxRGB(0, 96, 0)); }
    QFontMetrics Metrics() const { return QFontMetrics(button->font()); }
    const int g = 10 + 3, v = 8 + 3, W = 90, H = 40;
};

TEST_F(ButtonGlyphTest, EmptyCaptionCentresGlyphSpacingAndASpaceAsOneBlock)
{
    const int sw = Metrics().horizontalAdvance(u' ');
    EXPECT_EQ(GlyphAt(), QPoint((W - g - sw) / 2, (H - 8) / 2));
    Enter(button);
    Press(button);
    EXPECT_EQ(GlyphAt(), QPoint((W - g - sw) / 2 + 1, (H - 8) / 2 + 1)) << "pressed shifts by (1, 1)";
}

TEST_F(ButtonGlyphTest, RightLayoutPutsTheGlyphAfterTheCaption)
{
    button->SetCaption(QStringLiteral("Save"));
    button->SetLayout(blGlyphRight);
    const int tw = Metrics().horizontalAdvance(QStringLiteral("Save"));
    const int left = -g + (W - (-g + tw)) / 2;
    EXPECT_EQ(GlyphAt(), QPoint(left + tw + 3, (H - 8) / 2));
}

TEST_F(ButtonGlyphTest, TopAndBottomLayoutsStackGlyphAndCaption)
{
    button->SetCaption(QStringLiteral("Go"));
    const int th = Metrics().height();
    button->SetLayout(blGlyphTop);
    EXPECT_EQ(GlyphAt(), QPoint((W - 10) / 2, (H - v - th) / 2));
    button->SetLayout(blGlyphBottom);
    const int top = -v + (H - (-v + th)) / 2;
    EXPECT_EQ(GlyphAt(), QPoint((W - 10) / 2, top + th + 3));
}

TEST_F(ButtonGlyphTest, DisabledGlyphIsGreyedUnlessAutoGrayIsOff)
{
    button->SetEnabled(false);
    EXPECT_EQ(GlyphAt(), QPoint(-1, -1));
    EXPECT_NE(FirstOf(Render(), dxRGB(132, 132, 132)), QPoint(-1, -1));
    button->SetAutoGray(false);
    EXPECT_NE(GlyphAt(), QPoint(-1, -1));
}

TEST_F(ButtonGlyphTest, ActionImageIndexPicksTheGlyphWhenInRange)
{
    TdxImageList images;
    images.Add(SolidGlyph(10, 8, qRgb(200, 0, 0)));
    images.Add(SolidGlyph(10, 8, qRgb(0, 0, 200)));
    TdxActionList list;
    list.SetImages(&images);
    TdxAction action;
    action.setText(QStringLiteral("&Play"));
    action.SetActionList(&list);
    action.SetImageIndex(1);
    int triggered = 0;
    QObject::connect(&action, &QAction::triggered, [&] { ++triggered; });

    button->OnClick = nullptr;
    button->SetAction(&action);
    EXPECT_EQ(button->Caption(), QStringLiteral("&Play"));
    EXPECT_EQ(button->ActionImageIndex(), 1);
    EXPECT_NE(FirstOf(Render(), dxRGB(0, 0, 200)), QPoint(-1, -1));

    action.SetImageIndex(5);
    EXPECT_EQ(button->ActionImageIndex(), 5) << "the link stores the index unchecked";
    EXPECT_NE(GlyphAt(), QPoint(-1, -1)) << "out of range: the button's own glyph";

    action.SetImageIndex(1);
    images.Delete(0);
    EXPECT_EQ(button->ActionImageIndex(), -1) << "the image list shrank below the index";

    action.setEnabled(false);
    EXPECT_FALSE(button->isEnabled());
    action.setEnabled(true);
    button->Click();
    EXPECT_EQ(triggered, 1);
}

TEST_F(ButtonGlyphTest, DestroyedActionUnlinksTheButton)
{
    auto* action = new TdxAction;
    button->SetAction(action);
    delete action;
    EXPECT_EQ(button->Action(), nullptr);
    button->Click();
}

class ButtonKeyboardTest : public ButtonFixture {};

TEST_F(ButtonKeyboardTest, SpaceWithTheMouseElsewhereClicksOnceAndDropsTheHover)
{
    QCursor::setPos(form->mapToGlobal(QPoint(250, 180)));
    button->setFocus();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(button, &down);
    EXPECT_EQ(button->PaintState() & (dsHighlight | dsClicked), dsHighlight | dsClicked);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(button, &up);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->PaintState() & (dsHighlight | dsClicked), 0);
}

TEST_F(ButtonKeyboardTest, SpaceWithTheMouseOverTheButtonKeepsTheHover)
{
    QCursor::setPos(button->mapToGlobal(QPoint(20, 10)));
    button->setFocus();
    Type(form, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(button->PaintState() & dsHighlight);
    Type(form, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(clicks, 1) << "space with a modifier does nothing";
}

TEST_F(ButtonKeyboardTest, AnyKeyReleasedDuringAMousePressClicks)
{
    Enter(button);
    Press(button);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(button, &up);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button->PaintState() & dsClicked);
}

TEST_F(ButtonKeyboardTest, EnterClicksTheFocusedButtonOrTheDefaultOne)
{
    button->SetDefault(true);
    Type(form, Qt::Key_Return);
    EXPECT_EQ(clicks, 1) << "focus in an ordinary control: the default button";
    Type(form, Qt::Key_Enter, Qt::ShiftModifier);
    EXPECT_EQ(clicks, 2) << "modifiers do not matter for Enter";
    other->setFocus();
    Type(form, Qt::Key_Return);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(otherClicks, 1) << "a focused styled button takes Enter itself";
    button->setFocus();
    Type(form, Qt::Key_Return);
    EXPECT_EQ(clicks, 3);
    button->SetEnabled(false);
    edit->setFocus();
    Type(form, Qt::Key_Return);
    EXPECT_EQ(clicks, 3) << "a disabled default button ignores Enter";
}

TEST_F(ButtonKeyboardTest, EscapeClicksTheCancelButtonWithoutModifiers)
{
    button->SetCancel(true);
    Type(form, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(clicks, 0);
    Type(form, Qt::Key_Escape);
    EXPECT_EQ(clicks, 1);
    other->setFocus();
    Type(form, Qt::Key_Escape);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(otherClicks, 0);
}

TEST_F(ButtonKeyboardTest, QuickSecondPressIsASecondClick)
{
    Press(button);
    Release(button);
    SendMouse(button, QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton, Qt::LeftButton);
    Release(button);
    EXPECT_EQ(clicks, 2);
}

// What a screen reader gets: a push button named by caption or hint whose default action
// clicks it once the reader's request has been answered.
class ButtonAccessibilityTest : public ButtonFixture {
protected:
    static QAccessibleActionInterface* Actions(QWidget* w)
    {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        return iface ? iface->actionInterface() : nullptr;
    }
};

TEST_F(ButtonAccessibilityTest, PushButtonWhosePressActionClicks)
{
    button->SetHint(QStringLiteral("Stop"));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Button);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Stop"));
    QAccessibleActionInterface* actions = Actions(button);
    ASSERT_NE(actions, nullptr);
    ASSERT_FALSE(actions->actionNames().isEmpty());
    EXPECT_EQ(actions->actionNames().first(), QAccessibleActionInterface::pressAction()) << "the default action";
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks, 0) << "the click waits until the request is answered";
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 1);

    button->SetDefault(true);
    EXPECT_TRUE(iface->state().defaultButton);
    button->SetEnabled(false);
    EXPECT_FALSE(Actions(button)->actionNames().contains(QAccessibleActionInterface::pressAction()));
    Actions(button)->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 1) << "a disabled button cannot be pressed";
}

TEST_F(ButtonAccessibilityTest, ToolButtonIsAPushButtonNamedByItsSymbolOrHint)
{
    auto* tool = new TdxToolButton(form);
    tool->setObjectName(QStringLiteral("dxToolButton2"));
    tool->SetToolType(ttMaximize);
    int toolClicks = 0;
    tool->OnClick = [&](QObject*) { ++toolClicks; };
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(tool);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Button);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("최대화"));
    tool->SetHint(QStringLiteral("트레이로 숨김"));
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("트레이로 숨김"));
    Actions(tool)->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_EQ(toolClicks, 1);
}

class ToolButtonTest : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        QPalette pal = form->palette();
        pal.setColor(QPalette::Window, QColor(10, 20, 30));
        form->setPalette(pal);
        tool = new Counted<TdxToolButton>(form);
        tool->move(50, 50);
        Show();
        edit->setFocus();
    }
    // Checks the glyph's pixels: 'X' in `ink`, '.' in the background, at (left, top).
    void ExpectGlyph(const QImage& img, TdxToolType type, TColor ink, int left, int top, TColor background)
    {
        const QImage glyph = dxLoadGlyphResource(dxToolTypeName(type));
        for (int y = 0; y < glyph.height(); ++y)
            for (int x = 0; x < glyph.width(); ++x) {
                const bool inked = PixelAt(glyph, x, y) == clBlack;
                ASSERT_EQ(PixelAt(img, left + x, top + y), inked ? ink : background)
                    << dxToolTypeName(type).toStdString() << " at " << x << "," << y;
            }
    }
    Counted<TdxToolButton>* tool = nullptr;
};

TEST_F(ToolButtonTest, AlwaysFifteenSquare)
{
    EXPECT_EQ(tool->size(), QSize(15, 15));
    tool->resize(40, 22);
    tool->setGeometry(0, 0, 30, 30);
    EXPECT_EQ(tool->size(), QSize(15, 15));
    EXPECT_EQ(tool->ToolType(), ttClose);
    EXPECT_EQ(tool->Color(), clBlack);
    EXPECT_EQ(tool->accessibleName(), QStringLiteral("닫기")) << "named by its symbol, never by its object name";
}

TEST_F(ToolButtonTest, EveryGlyphIsCentredBlackOnTheParentColour)
{
    const QPoint expected[] = {{3, 3}, {3, 3}, {2, 3}, {2, 3}, {2, 3}, {4, 5}, {2, 3}};
    for (int t = ttArrowLeft; t <= ttRestore; ++t) {
        tool->SetToolType(TdxToolType(t));
        const QImage img = tool->PaintToImage();
        ExpectGlyph(img, TdxToolType(t), clBlack, expected[t].x(), expected[t].y(), kParent);
        EXPECT_EQ(PixelAt(img, 0, 0), kParent);
    }
    EXPECT_TRUE(dxLoadGlyphResource(QStringLiteral("popup")).size() == QSize(7, 4));
    EXPECT_TRUE(dxLoadGlyphResource(QStringLiteral("NOSUCH")).isNull());
}

TEST_F(ToolButtonTest, TintDisabledGreyAndWhiteWhilePressed)
{
    tool->SetColor(clLime);
    ExpectGlyph(tool->PaintToImage(), ttClose, clLime, 2, 3, kParent);
    tool->SetEnabled(false);
    ExpectGlyph(tool->PaintToImage(), ttClose, clGray, 2, 3, kParent);
    tool->SetEnabled(true);
    tool->Style()->SetTheme(OfficeXP);
    Enter(tool);
    Press(tool, {7, 7});
    ExpectGlyph(tool->PaintToImage(), ttClose, clWhite, 2, 3, dxRGB(153, 153, 204));
}

TEST_F(ToolButtonTest, OfficeLooks)
{
    tool->Style()->SetTheme(OfficeXP);
    tool->SetColor(clAqua);
    tool->SetToolType(ttPopup);
    Enter(tool);
    QImage img = tool->PaintToImage();
    EXPECT_EQ(PixelAt(img, 0, 0), dxRGB(0, 51, 102));
    EXPECT_EQ(PixelAt(img, 14, 14), dxRGB(0, 51, 102));
    ExpectGlyph(img, ttPopup, clAqua, 4, 5, dxRGB(181, 190, 214));
    Press(tool, {7, 7});
    DragTo(tool, {40, 7});
    img = tool->PaintToImage();
    EXPECT_EQ(PixelAt(img, 0, 0), kParent);
    ExpectGlyph(img, ttPopup, clAqua, 4, 5, kParent);
}

TEST_F(ToolButtonTest, WindowsXpFramesAndShiftedGlyph)
{
    Enter(tool);
    QImage img = tool->PaintToImage();
    EXPECT_EQ(PixelAt(img, 0, 0), clWhite);
    EXPECT_EQ(PixelAt(img, 14, 14), clBlack);
    Press(tool, {7, 7});
    EXPECT_TRUE(tool->Focused()) << "not a tab stop, but a press focuses it";
    img = tool->PaintToImage();
    EXPECT_EQ(PixelAt(img, 0, 0), clBlack) << "sunken";
    EXPECT_EQ(PixelAt(img, 14, 14), clWhite);
    ExpectGlyph(img, ttClose, clWhite, 3, 4, kParent);
    DragTo(tool, {40, 7});
    img = tool->PaintToImage();
    EXPECT_EQ(PixelAt(img, 0, 0), clWhite) << "raised again, glyph still moved";
    ExpectGlyph(img, ttClose, clBlack, 3, 4, kParent);
}

TEST_F(ToolButtonTest, ThemeChangeThroughTheManagerRepaints)
{
    TdxStyleManager manager(form);
    tool->SetStyleManager(&manager);
    tool->repaints = 0;
    manager.SetTheme(OfficeXP);
    EXPECT_EQ(tool->repaints, 1);
    Enter(tool);
    EXPECT_EQ(PixelAt(tool->PaintToImage(), 0, 0), dxRGB(0, 51, 102));
    tool->SetStyleManager(nullptr);
}
