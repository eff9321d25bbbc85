#include "Dxbuttons.h"

#include "Artwork.h"

#include <QCursor>
#include <QPainter>
#include <QtMath>

#include <algorithm>

namespace {

// Gradient colours of the face, the pressed face and the two rings (0x00BBGGRR).
constexpr TColor kFaceTop = 0xFFFFFF, kFaceBottom = 0xE7EBEF;
constexpr TColor kPressedTop = 0xC6CFD6, kPressedBottom = 0xEBF3F7;
constexpr TColor kFocusTop = 0xFFE7CE, kFocusBottom = 0xEF846D;
constexpr TColor kHotTop = 0xCEF3FF, kHotBottom = 0x0096E7;
constexpr TdxGradientColors kBands = 64;

constexpr TColor kOutline = 0x733800, kOutlineDisabled = 0xBDC7CE;
constexpr TColor kCorner = 0xAD9E7B, kCornerDisabled = 0xBDC7CE;

}  // namespace

// The system's dotted focus rectangle: every other pixel of the border inverted.
void dxDrawFocusRect(QPainter& canvas, const TRect& r)
{
    canvas.save();
    canvas.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    auto dot = [&canvas](int x, int y) {
        if (((x + y) & 1) == 0)
            canvas.fillRect(QRect(x, y, 1, 1), QColor(255, 255, 255));
    };
    for (int x = r.Left; x < r.Right; ++x) {
        dot(x, r.Top);
        dot(x, r.Bottom - 1);
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
        dot(r.Left, y);
        dot(r.Right - 1, y);
    }
    canvas.restore();
}

// ---------------------------------------------------------------------------------------
// TdxCustomButtonActionLink

TdxCustomButtonActionLink::TdxCustomButtonActionLink(TdxCustomButton* client) : m_ButtonClient(client) {}

TdxCustomButtonActionLink::~TdxCustomButtonActionLink()
{
    for (const QMetaObject::Connection& c : m_Connections)
        QObject::disconnect(c);
    m_ButtonClient->InternalRedraw();
}

void TdxCustomButtonActionLink::SetAction(TdxAction* action)
{
    for (const QMetaObject::Connection& c : m_Connections)
        QObject::disconnect(c);
    m_Connections.clear();
    m_Action = action;
    if (!action)
        return;
    TdxCustomButton* button = m_ButtonClient;
    m_Connections << QObject::connect(action, &QAction::changed, button,
                                      [button, action] { button->ActionChange(action, false); });
    m_Connections << QObject::connect(action, &TdxAction::ImageIndexChanged, button,
                                      [this](int index) { SetImageIndex(index); });
    m_Connections << QObject::connect(action, &QObject::destroyed, button, [button] { button->SetAction(nullptr); });
    button->ActionChange(action, true);
}

void TdxCustomButtonActionLink::SetImageIndex(int index)
{
    m_ButtonClient->m_ActionImageIndex = index;
    m_ButtonClient->InternalRedraw();
}

bool TdxCustomButtonActionLink::Execute()
{
    if (!m_Action)
        return false;
    m_Action->trigger();
    return true;
}

// ---------------------------------------------------------------------------------------
// TdxCustomButton

TdxCustomButton::TdxCustomButton(QWidget* parent)
    : TdxCustomStyleControl(parent),
      m_ImagesLink(std::make_unique<TdxChangeLink>([this](TdxImageList* sender) { ImageListChange(sender); }))
{
    m_DoubleClicks = false;
    resize(73, 21);
    SetTabStop(true);
}

TdxCustomButton::~TdxCustomButton()
{
    m_ImagesLink->ClearHandler();
    m_ImagesLink.reset();
    m_ActionLink.reset();
}

void TdxCustomButton::SetAutoGray(bool value)
{
    if (m_AutoGray == value)
        return;
    m_AutoGray = value;
    InternalRedraw();
}

void TdxCustomButton::SetDefault(bool value)
{
    if (m_Default == value)
        return;
    m_Default = value;
    // Every control of the window re-evaluates its focus state, which refreshes
    // StyledFocus and repaints this button with or without the default ring.
    if (parentWidget())
        BroadcastFocusChanged(window());
}

void TdxCustomButton::SetGlyph(const QImage& value)
{
    m_Glyph = value;
    InternalRedraw();
}

void TdxCustomButton::SetLayout(TdxLayout value)
{
    if (m_Layout == value)
        return;
    m_Layout = value;
    InternalRedraw();
}

void TdxCustomButton::SetShowAccelChar(bool value)
{
    if (m_ShowAccelChar == value)
        return;
    m_ShowAccelChar = value;
    InternalRedraw();
}

void TdxCustomButton::SetShowFocusRect(bool value)
{
    if (m_ShowFocusRect == value)
        return;
    m_ShowFocusRect = value;
    InternalRedraw();
}

void TdxCustomButton::SetSmoothEdges(bool value)
{
    if (m_SmoothEdges == value)
        return;
    m_SmoothEdges = value;
    InternalRedraw();
}

void TdxCustomButton::SetSpacing(std::uint8_t value)
{
    if (m_Spacing == value)
        return;
    m_Spacing = value;
    InternalRedraw();
}

void TdxCustomButton::SetWordWrap(bool value)
{
    if (m_WordWrap == value)
        return;
    m_WordWrap = value;
    InternalRedraw();
}

TdxAction* TdxCustomButton::Action() const
{
    return m_ActionLink ? m_ActionLink->Action() : nullptr;
}

void TdxCustomButton::SetAction(TdxAction* action)
{
    if (!action) {
        m_ActionLink.reset();
        return;
    }
    if (!m_ActionLink)
        m_ActionLink = std::make_unique<TdxCustomButtonActionLink>(this);
    m_ActionLink->SetAction(action);
}

bool TdxCustomButton::ExecuteAction()
{
    return m_ActionLink && m_ActionLink->Execute();
}

// Caption, enabled state and hint follow the action (on the first link only where the
// button still has its defaults); the image index is taken when it is valid.
void TdxCustomButton::ActionChange(QObject* sender, bool checkDefaults)
{
    auto* action = qobject_cast<TdxAction*>(sender);
    if (!action)
        return;
    if (!checkDefaults || Caption().isEmpty())
        SetCaption(action->text());
    if (!checkDefaults || isEnabled())
        setEnabled(action->isEnabled());
    if (!checkDefaults || Hint().isEmpty())
        SetHint(action->toolTip());
    TdxImageList* images = action->ActionList() ? action->ActionList()->Images() : nullptr;
    if (images && m_ImagesLink->Images() != images)
        m_ImagesLink->RegisterWith(images);
    if (images && action->ImageIndex() >= 0 && action->ImageIndex() < images->Count())
        m_ActionImageIndex = action->ImageIndex();
    InternalRedraw();
}

void TdxCustomButton::ImageListChange(TdxImageList* sender)
{
    TdxAction* action = Action();
    TdxImageList* images = action && action->ActionList() ? action->ActionList()->Images() : nullptr;
    if (sender && images && action->ImageIndex() < images->Count())
        m_ActionImageIndex = action->ImageIndex();
    else
        m_ActionImageIndex = -1;
    InternalRedraw();
}

bool TdxCustomButton::IsSpecialDrawState(bool ignoreDefault) const
{
    bool special;
    if (m_PaintState & dsClicked)
        special = !(m_PaintState & dsHighlight);
    else
        special = m_PaintState & (dsHighlight | dsFocused);
    if (!ignoreDefault && m_Default && CanFocus() && !StyledFocus())
        special = true;
    return special;
}

// The face is built smaller while the ring shows, so that it fits inside the ring.
void TdxCustomButton::HookResized()
{
    TdxCustomStyleControl::HookResized();
    const int ring = IsSpecialDrawState(true) ? 4 : 0;
    const int w = width(), h = height();
    dxCreateGradientRect(w - 2 - ring, h - 2 - ring, kFaceTop, kFaceBottom, kBands, gsTop, true, m_FaceImage);
    dxCreateGradientRect(w - 2, h - 2, kPressedTop, kPressedBottom, kBands, gsTop, true, m_PressedImage);
    dxCreateGradientRect(w - 2, h - 2, kFocusTop, kFocusBottom, kBands, gsTop, true, m_FocusImage);
    dxCreateGradientRect(w - 2, h - 2, kHotTop, kHotBottom, kBands, gsTop, true, m_HotImage);
    m_faceRing = ring;
    m_deviceFaces = {};
    InternalRedraw();
}

// The same gradients over the same area in the device's pixels: as many bands, each as
// many device pixels high as it covers there, so no band is a doubled row.
const TdxCustomButton::Faces& TdxCustomButton::FacesFor(qreal ratio)
{
    if (m_deviceFaces.ratio == ratio)
        return m_deviceFaces;
    const int w = width(), h = height();
    auto build = [ratio](int logicalW, int logicalH, TColor top, TColor bottom) {
        QImage image;
        dxCreateGradientRect(qCeil(logicalW * ratio), qCeil(logicalH * ratio), top, bottom, kBands, gsTop, true, image);
        image.setDevicePixelRatio(ratio);
        return image;
    };
    m_deviceFaces.ratio = ratio;
    m_deviceFaces.face = build(w - 2 - m_faceRing, h - 2 - m_faceRing, kFaceTop, kFaceBottom);
    m_deviceFaces.pressed = build(w - 2, h - 2, kPressedTop, kPressedBottom);
    m_deviceFaces.focus = build(w - 2, h - 2, kFocusTop, kFocusBottom);
    m_deviceFaces.hot = build(w - 2, h - 2, kHotTop, kHotBottom);
    return m_deviceFaces;
}

QImage TdxCustomButton::CurrentGlyph() const
{
    const TdxAction* action = Action();
    const TdxImageList* images = action && action->ActionList() ? action->ActionList()->Images() : nullptr;
    if (images && m_ActionImageIndex >= 0 && m_ActionImageIndex < images->Count())
        return images->GetBitmap(m_ActionImageIndex);
    return m_Glyph;
}

void TdxCustomButton::Paint(QPainter& canvas)
{
    const bool special = IsSpecialDrawState(false);
    const bool pressed = (m_PaintState & (dsHighlight | dsClicked)) == (dsHighlight | dsClicked);
    canvas.fillRect(rect(), dxColorToQColor(Color(), palette()));
    PaintFace(canvas, special, pressed);
    PaintOutline(canvas);
    PaintContent(canvas, pressed);
}

// Ring, then the pressed face over the whole inside or the face inset inside the ring.
// Sizes and places are the control's pixels; the images may have more.
void TdxCustomButton::PaintFace(QPainter& canvas, bool special, bool pressed)
{
    const int w = width(), h = height();
    const qreal ratio = canvas.device()->devicePixelRatio();
    const bool design = ratio == 1.0 || m_FaceImage.isNull();
    const Faces& device = design ? m_deviceFaces : FacesFor(ratio);
    const QImage& face = design ? m_FaceImage : device.face;
    if (special) {
        const bool hot = m_PaintState & dsHighlight;
        canvas.drawImage(1, 1, design ? (hot ? m_HotImage : m_FocusImage) : (hot ? device.hot : device.focus));
    }
    if (pressed) {
        canvas.drawImage(1, 1, design ? m_PressedImage : device.pressed);
        return;
    }
    if (m_FaceImage.isNull())
        return;
    if (!special && (m_FaceImage.width() < w - 2 || m_FaceImage.height() < h - 2)) {
        // Built while the ring showed: stretched over the inside rather than leaving the
        // background showing along the right and bottom edges.
        canvas.drawImage(QRect(1, 1, w - 2, h - 2), face);
        return;
    }
    const int d = special ? 2 : 0;
    const int copyW = std::min(m_FaceImage.width(), w - 3 * d);
    const int copyH = std::min(m_FaceImage.height(), h - 3 * d);
    if (copyW > 0 && copyH > 0)
        canvas.drawImage(QRectF(1 + d, 1 + d, copyW, copyH), face,
                         QRectF(0, 0, std::min<qreal>(copyW * ratio, face.width()),
                                std::min<qreal>(copyH * ratio, face.height())));
}

// A rounded rectangle with a 5 x 5 corner ellipse leaves out exactly the four corner
// pixels; the softening lines then lighten the two outline pixels beside each corner.
void TdxCustomButton::PaintOutline(QPainter& canvas) const
{
    const int w = width(), h = height();
    const QColor outline = dxColorToQColor(isEnabled() ? kOutline : kOutlineDisabled);
    canvas.fillRect(QRect(1, 0, w - 2, 1), outline);
    canvas.fillRect(QRect(1, h - 1, w - 2, 1), outline);
    canvas.fillRect(QRect(0, 1, 1, h - 2), outline);
    canvas.fillRect(QRect(w - 1, 1, 1, h - 2), outline);
    if (!m_SmoothEdges)
        return;
    canvas.setPen(dxColorToQColor(isEnabled() ? kCorner : kCornerDisabled));
    dxDrawLine(canvas, 0, 1, 2, 0);
    dxDrawLine(canvas, w - 2, 0, w, 2);
    dxDrawLine(canvas, 0, h - 2, 2, h);
    dxDrawLine(canvas, w - 3, h, w, h - 3);
}

// Glyph, spacing and caption are centred as one block: room for the glyph is made in the
// text rectangle before measuring, and the glyph is placed against the centred text.
void TdxCustomButton::PaintContent(QPainter& canvas, bool pressed)
{
    const int w = width(), h = height();
    int flags = DT_END_ELLIPSIS | (m_WordWrap ? DT_WORDBREAK : 0);
    // Laid out by the glyph's own size; drawn from its drawing for the device.
    const QImage glyph = CurrentGlyph();
    QImage drawn = ArtworkFor(glyph, canvas.device()->devicePixelRatio());
    if (m_AutoGray && !isEnabled())
        dxConvertToGray2(drawn);
    const QFont textFont = font();
    canvas.setFont(textFont);

    TRect r{0, 0, w, h};
    const int g = glyph.width() + m_Spacing;
    const int v = glyph.height() + m_Spacing;
    if (!glyph.isNull()) {
        switch (m_Layout) {
        case blGlyphLeft: r.Left += g; break;
        case blGlyphRight:
            r.Left -= g;
            r.Right -= 2 * g;
            flags |= DT_RIGHT;
            break;
        case blGlyphTop: r.Top += v; break;
        case blGlyphBottom: r.Top -= v; break;
        }
    }
    dxRenderText(this, canvas, Caption(), textFont, isEnabled(), m_ShowAccelChar, r, flags | DT_CALCRECT);
    r.Offset((w - r.Right) / 2, (h - r.Bottom) / 2);
    const int p = pressed ? 1 : 0;
    r.Offset(p, p);

    if (!glyph.isNull()) {
        QPoint at;
        switch (m_Layout) {
        case blGlyphLeft: at = QPoint(r.Left - g, (h - glyph.height()) / 2 + p); break;
        case blGlyphRight: at = QPoint(r.Right + m_Spacing, (h - glyph.height()) / 2 + p); break;
        case blGlyphTop: at = QPoint((w - glyph.width()) / 2 + p, r.Top - v); break;
        case blGlyphBottom: at = QPoint((w - glyph.width()) / 2 + p, r.Bottom + m_Spacing); break;
        }
        dxDrawTransparent(canvas, at.x(), at.y(), drawn);
    }
    if ((m_PaintState & dsFocused) && m_ShowFocusRect)
        dxDrawFocusRect(canvas, TRect{3, 3, w - 3, h - 3});
    canvas.setBackgroundMode(Qt::TransparentMode);
    canvas.setPen(dxColorToQColor(FontColor(), palette()));
    dxRenderText(this, canvas, Caption(), textFont, isEnabled(), m_ShowAccelChar, r, flags);
}

// Space presses the button like the left mouse button, with the hover look.
void TdxCustomButton::KeyDown(int& key, Qt::KeyboardModifiers shift)
{
    KeyDownPressingOnSpace(key, shift);
}

// Any key released while the button is pressed (by space or by the mouse) clicks it; the
// hover look stays only when the mouse is over the button.
void TdxCustomButton::KeyUp(int& key, Qt::KeyboardModifiers shift)
{
    if (m_PaintState & dsClicked) {
        if (!rect().contains(mapFromGlobal(CursorPos())))
            m_PaintState &= ~dsHighlight;
        m_PaintState &= ~dsClicked;
        InternalRedraw();
        QPointer<TdxCustomButton> self(this);
        Click();
        if (!self)
            return;
    }
    TdxCustomStyleControl::KeyUp(key, shift);
}

bool TdxCustomButton::CMDialogKey(int key, Qt::KeyboardModifiers shift)
{
    if (!CanFocus())
        return false;
    const bool enter = key == VK_RETURN && (Focused() || (m_Default && !StyledFocus()));
    const bool escape =
        key == VK_ESCAPE && m_Cancel && !(shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
    if (!enter && !escape)
        return false;
    Click();
    return true;
}
