#include "Dxbuttons.h"
#include "Dxglyphs.h"

#include <QPainter>
#include <QPointer>

namespace {

constexpr int kSize = 15;
constexpr TColor kOfficeOutline = 0x663300;
constexpr TColor kOfficeHot = 0xD6BEB5;
constexpr TColor kOfficePressed = 0xCC9999;

QColor ParentBackground(const QWidget* control)
{
    const QWidget* parent = control->parentWidget();
    if (!parent)
        return control->palette().color(QPalette::Window);
    if (const auto* styled = qobject_cast<const TdxCustomControl*>(parent))
        return dxColorToQColor(styled->Color(), styled->palette());
    return parent->palette().color(parent->backgroundRole());
}

}  // namespace

QString dxToolTypeName(TdxToolType type)
{
    switch (type) {
    case ttArrowLeft: return QStringLiteral("ArrowLeft");
    case ttArrowRight: return QStringLiteral("ArrowRight");
    case ttClose: return QStringLiteral("Close");
    case ttMaximize: return QStringLiteral("Maximize");
    case ttMinimize: return QStringLiteral("Minimize");
    case ttPopup: return QStringLiteral("Popup");
    case ttRestore: return QStringLiteral("Restore");
    }
    return {};
}

TdxCustomToolButton::TdxCustomToolButton(QWidget* parent) : TdxCustomStyleControl(parent)
{
    m_DoubleClicks = false;
    SetColor(clBlack);
    setFixedSize(kSize, kSize);
    HookResized();
    UpdateAccessibleName();
}

void TdxCustomToolButton::SetToolType(TdxToolType value)
{
    if (m_ToolType == value)
        return;
    m_ToolType = value;
    UpdateAccessibleName();
    InternalRedraw();
}

void TdxCustomToolButton::HookResized()
{
    if (width() != kSize || height() != kSize)
        resize(kSize, kSize);
}

// What a person sees on a tool button with neither caption nor hint: its symbol.
QString TdxCustomToolButton::DesignName() const
{
    switch (m_ToolType) {
    case ttArrowLeft: return QStringLiteral("왼쪽");
    case ttArrowRight: return QStringLiteral("오른쪽");
    case ttClose: return QStringLiteral("닫기");
    case ttMaximize: return QStringLiteral("최대화");
    case ttMinimize: return QStringLiteral("최소화");
    case ttPopup: return QStringLiteral("메뉴");
    case ttRestore: return QStringLiteral("이전 크기로");
    }
    return {};
}

void TdxCustomToolButton::Paint(QPainter& canvas)
{
    const int w = width(), h = height();
    TRect r{0, 0, w, h};
    const TdxTheme theme = Style()->GetTheme();
    const bool clicked = m_PaintState & dsClicked;
    const bool hot = m_PaintState & dsHighlight;

    canvas.fillRect(rect(), ParentBackground(this));
    if (theme == WindowsXP && clicked && !hot)
        dxFrame3d(canvas, r, clWhite, clBlack, false);
    if (hot) {
        if (theme == OfficeXP) {
            const QColor outline = dxColorToQColor(kOfficeOutline);
            canvas.fillRect(QRect(0, 0, w, 1), outline);
            canvas.fillRect(QRect(0, h - 1, w, 1), outline);
            canvas.fillRect(QRect(0, 0, 1, h), outline);
            canvas.fillRect(QRect(w - 1, 0, 1, h), outline);
            r = TRect{1, 1, w - 1, h - 1};
            canvas.fillRect(r.toQRect(), dxColorToQColor(clicked ? kOfficePressed : kOfficeHot));
        } else {
            dxFrame3d(canvas, r, clWhite, clBlack, clicked);
        }
    }
    const int p = (theme == WindowsXP && clicked) ? 1 : 0;

    QImage glyph = dxLoadGlyphResource(dxToolTypeName(m_ToolType));
    if (glyph.isNull())
        return;
    if (clicked && hot)
        dxColorizeBitmap(glyph, clWhite);
    else if (!isEnabled())
        dxColorizeBitmap(glyph, clGray);
    else if (Color() != clBlack)
        dxColorizeBitmap(glyph, Color());
    dxDrawTransparent(canvas, (w - glyph.width()) / 2 + p, (h - glyph.height()) / 2 + p, glyph);
    if ((m_PaintState & dsFocused) && KeyboardFocus())
        dxDrawFocusRect(canvas, TRect{1, 1, w - 1, h - 1});
}

// Space presses the button as the left mouse button does and the release clicks it;
// Enter clicks it at once. Only a button that has the focus sees either.
void TdxCustomToolButton::KeyDown(int& key, Qt::KeyboardModifiers shift)
{
    KeyDownPressingOnSpace(key, shift);
}

void TdxCustomToolButton::KeyUp(int& key, Qt::KeyboardModifiers shift)
{
    if ((m_PaintState & dsClicked) && key == Qt::Key_Space) {
        if (!rect().contains(mapFromGlobal(CursorPos())))
            m_PaintState &= ~dsHighlight;
        m_PaintState &= ~dsClicked;
        InternalRedraw();
        QPointer<TdxCustomToolButton> self(this);
        Click();
        if (!self)
            return;
    }
    TdxCustomStyleControl::KeyUp(key, shift);
}

bool TdxCustomToolButton::CMDialogKey(int key, Qt::KeyboardModifiers)
{
    if (key != VK_RETURN || !CanFocus() || !Focused())
        return false;
    Click();
    return true;
}
