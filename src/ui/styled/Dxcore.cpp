#include "Dxcore.h"
#include "Dxregistry.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QFocusEvent>
#include <QPointer>
#include <QtMath>

#include <algorithm>
#include <vector>

QString dxLibraryVersion()
{
    return QStringLiteral("Sorvel styled controls 2.0.1");
}

namespace {

// The caption as read aloud: every '&' that is not followed by another goes. (Not by a
// regular expression: compiling one loads the expression engine's code for the one use.)
QString CaptionWithoutMnemonic(const QString& caption)
{
    QString name;
    name.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i)
        if (caption[i] != u'&' || (i + 1 < caption.size() && caption[i + 1] == u'&'))
            name += caption[i];
    return name;
}

// The accelerator of a caption: the character after the first single ampersand.
QChar AccelChar(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != u'&')
            continue;
        if (caption.at(i + 1) != u'&')
            return caption.at(i + 1);
        ++i;
    }
    return {};
}

}  // namespace

TdxCustomComponent::TdxCustomComponent(QObject* owner) : QObject(owner) {}

void TdxWinControl::SetColor(TColor value)
{
    if (m_Color == value)
        return;
    m_Color = value;
    update();
}

// ---------------------------------------------------------------------------------------
// TdxCustomControl

TdxCustomControl::TdxCustomControl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    // Focus is taken by HookMouseDown on a left press only, never by Qt on other buttons.
    setFocusPolicy(Qt::NoFocus);
    dxLiveControls().push_back(this);
    dxEnsureAccessibleFactory();
    connect(this, &QObject::objectNameChanged, this, [this] { UpdateAccessibleName(); });
    UpdateAccessibleName();
}

TdxCustomControl::~TdxCustomControl()
{
    auto& live = dxLiveControls();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void TdxCustomControl::SetCaption(const QString& value)
{
    if (m_Caption == value)
        return;
    m_Caption = value;
    UpdateAccessibleName();
    HookTextChanged();
}

void TdxCustomControl::SetHint(const QString& value)
{
    setToolTip(value);
    UpdateAccessibleName();
}

TColor TdxCustomControl::Color() const
{
    if (!m_ParentColor)
        return m_Color;
    if (const QWidget* p = parentWidget())
        return dxQColorToColor(p->palette().color(p->backgroundRole()));
    return dxColorToRGB(clBtnFace, palette());
}

void TdxCustomControl::SetColor(TColor value)
{
    if (m_Color == value && !m_ParentColor)
        return;
    m_Color = value;
    m_ParentColor = false;
    InternalRedraw();
}

void TdxCustomControl::SetParentColor(bool value)
{
    if (m_ParentColor == value)
        return;
    m_ParentColor = value;
    InternalRedraw();
}

void TdxCustomControl::SetFontColor(TColor value)
{
    if (m_FontColor == value)
        return;
    m_FontColor = value;
    InternalRedraw();
}

void TdxCustomControl::SetTabStop(bool value)
{
    m_TabStop = value;
    setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus);
}

bool TdxCustomControl::Focused() const
{
    return window()->focusWidget() == this;
}

bool TdxCustomControl::CanFocus() const
{
    return isVisible() && isEnabled();
}

QString TdxCustomControl::DesignName() const
{
    return objectName();
}

QPoint TdxCustomControl::CursorPos() const
{
    return QCursor::pos();
}

void TdxCustomControl::UpdateAccessibleName()
{
    QString name = CaptionWithoutMnemonic(m_Caption);
    if (name.isEmpty())
        name = toolTip();
    if (name.isEmpty())
        name = DesignName();
    setAccessibleName(name);
}

void TdxCustomControl::Redraw(TdxControlStyleItem reason)
{
    if (m_RedrawEvents & reason)
        InternalRedraw();
}

void TdxCustomControl::InternalRedraw()
{
    if (!m_UpdateLocked)
        update();
}

void TdxCustomControl::HookBorderChanged() { Redraw(csRedrawBorderChanged); }
void TdxCustomControl::HookEnabledChanged() { Redraw(csRedrawEnabledChanged); }

void TdxCustomControl::HookFocusedChanged()
{
    if (Focused())
        m_PaintState |= dsFocused;
    else
        m_PaintState &= ~(dsFocused | dsClicked);
    const QWidget* form = parentWidget() ? window() : nullptr;
    m_StyledFocus = form && qobject_cast<TdxCustomControl*>(form->focusWidget());
    Redraw(csRedrawFocusedChanged);
}

void TdxCustomControl::HookMouseDown()
{
    if (!Focused() && CanFocus())
        setFocus(Qt::MouseFocusReason);
    m_PaintState |= dsClicked;
    Redraw(csRedrawMouseDown);
}

void TdxCustomControl::HookMouseEnter()
{
    m_PaintState |= dsHighlight;
    Redraw(csRedrawMouseEnter);
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TdxCustomControl::HookMouseLeave()
{
    m_PaintState &= ~dsHighlight;
    Redraw(csRedrawMouseLeave);
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TdxCustomControl::HookMouseMove(int, int) { Redraw(csRedrawMouseMove); }

// A press ended: the styled control now under the cursor, if another one, shows its
// hover at once, since the pointer was captured while it moved there.
void TdxCustomControl::HookMouseUp()
{
    m_PaintState &= ~dsClicked;
    Redraw(csRedrawMouseUp);
    auto* other = qobject_cast<TdxCustomControl*>(QApplication::widgetAt(m_MouseScreenPos));
    if (other && other != this) {
        other->m_MouseInside = true;
        other->HookMouseEnter();
    }
}

void TdxCustomControl::HookParentColorChanged() { Redraw(csRedrawParentColorChanged); }
void TdxCustomControl::HookParentFontChanged() { Redraw(csRedrawParentFontChanged); }
void TdxCustomControl::HookPosChanged() { Redraw(csRedrawPosChanged); }
void TdxCustomControl::HookResized() { Redraw(csRedrawResized); }
void TdxCustomControl::HookTextChanged() { Redraw(csRedrawCaptionChanged); }

void TdxCustomControl::BeginUpdate()
{
    m_UpdateLocked = true;
}

void TdxCustomControl::EndUpdate()
{
    m_UpdateLocked = false;
    InternalRedraw();
}

void TdxCustomControl::Click()
{
    QPointer<QDialog> dialog;
    if (parentWidget()) {
        QWidget* form = window();
        form->setProperty("ModalResult", m_ModalResult);
        dialog = qobject_cast<QDialog*>(form);
        if (dialog)
            dialog->setResult(m_ModalResult);
    }
    QPointer<TdxCustomControl> self(this);
    if (OnClick)
        OnClick(this);
    else
        ExecuteAction();
    if (self)
        emit clicked();
    // A handler may have set the result back to 0 to keep the dialog open.
    if (dialog && dialog->result() != 0 && dialog->isModal() && dialog->isVisible())
        dialog->done(dialog->result());
}

bool TdxCustomControl::CMDialogChar(QChar ch, bool altDown)
{
    const QChar accel = AccelChar(m_Caption);
    if (accel.isNull() || accel.toUpper() != ch.toUpper() || !CanFocus() || !(Focused() || altDown))
        return false;
    Click();
    return true;
}

bool TdxCustomControl::ExecuteAction()
{
    return false;
}

bool TdxCustomControl::CMDialogKey(int, Qt::KeyboardModifiers)
{
    return false;
}

void TdxCustomControl::BroadcastFocusChanged(QWidget* form)
{
    if (!form)
        return;
    for (const QPointer<TdxCustomControl>& c : dxControlsOf(form))
        if (c)
            c->HookFocusedChanged();
}

QImage TdxCustomControl::PaintToImage(qreal devicePixelRatio)
{
    if (testAttribute(Qt::WA_PendingResizeEvent)) {
        setAttribute(Qt::WA_PendingResizeEvent, false);
        QResizeEvent resize(size(), QSize());
        QCoreApplication::sendEvent(this, &resize);
    }
    if (width() < 1 || height() < 1)
        return {};
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QImage buffer(qCeil(width() * ratio), qCeil(height() * ratio), QImage::Format_RGB32);
    buffer.setDevicePixelRatio(ratio);
    QPainter canvas(&buffer);
    Paint(canvas);
    return buffer;
}

void TdxCustomControl::Paint(QPainter& canvas)
{
    canvas.fillRect(rect(), dxColorToQColor(Color(), palette()));
}

void TdxCustomControl::KeyDown(int& key, Qt::KeyboardModifiers shift)
{
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
}

void TdxCustomControl::KeyDownPressingOnSpace(int& key, Qt::KeyboardModifiers shift)
{
    const bool space = key == Qt::Key_Space && (shift & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (space) {
        m_PaintState |= dsHighlight;
        HookMouseDown();
    }
    TdxCustomControl::KeyDown(key, shift);
    if (space)
        key = 0;
}

void TdxCustomControl::KeyUp(int& key, Qt::KeyboardModifiers shift)
{
    if (OnKeyUp)
        OnKeyUp(this, key, shift);
}

void TdxCustomControl::EnsureFormRouter()
{
    dxEnsureFormRouter(window());
}

// --- Qt events ---

void TdxCustomControl::paintEvent(QPaintEvent*)
{
    const QImage buffer = PaintToImage(devicePixelRatioF());
    if (!buffer.isNull())
        QPainter(this).drawImage(0, 0, buffer);
}

void TdxCustomControl::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (!m_MouseInside) {
        m_MouseInside = true;
        HookMouseEnter();
    }
}

void TdxCustomControl::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (m_MouseInside) {
        m_MouseInside = false;
        HookMouseLeave();
    }
}

void TdxCustomControl::mousePressEvent(QMouseEvent* event)
{
    m_MouseScreenPos = event->globalPosition().toPoint();
    if (event->button() != Qt::LeftButton)
        return;
    m_ClickPending = true;
    m_LeftButtonDown = true;
    HookMouseDown();
}

void TdxCustomControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!m_DoubleClicks) {
        mousePressEvent(event);
        return;
    }
    // A double click presses the control but does not click it on release.
    m_MouseScreenPos = event->globalPosition().toPoint();
    if (event->button() != Qt::LeftButton)
        return;
    m_LeftButtonDown = true;
    HookMouseDown();
}

void TdxCustomControl::mouseReleaseEvent(QMouseEvent* event)
{
    m_MouseScreenPos = event->globalPosition().toPoint();
    bool click = false;
    if (event->button() == Qt::LeftButton) {
        click = m_ClickPending && rect().contains(event->position().toPoint());
        m_ClickPending = false;
    }
    QPointer<TdxCustomControl> self(this);
    if (click) {
        m_ClickByMouse = true;
        Click();
        if (self)
            m_ClickByMouse = false;
    }
    if (!self || !m_LeftButtonDown)
        return;
    m_LeftButtonDown = false;
    HookMouseUp();
}

// Qt delivers no enter or leave while a press holds the pointer; they are derived here so
// that dragging out of a pressed control and back shows in its state.
void TdxCustomControl::mouseMoveEvent(QMouseEvent* event)
{
    m_MouseScreenPos = event->globalPosition().toPoint();
    const QPoint pos = event->position().toPoint();
    if (m_LeftButtonDown) {
        const bool inside = rect().contains(pos);
        if (inside != m_MouseInside) {
            m_MouseInside = inside;
            if (inside)
                HookMouseEnter();
            else
                HookMouseLeave();
        }
    }
    HookMouseMove(std::int16_t(pos.x()), std::int16_t(pos.y()));
}

void TdxCustomControl::focusInEvent(QFocusEvent* event)
{
    // A window that comes back keeps the way its focus came; a click or a program's
    // setFocus is no keyboard focus.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
        m_KeyboardFocus = true;
    else if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        m_KeyboardFocus = false;
    QWidget::focusInEvent(event);
}

void TdxCustomControl::keyPressEvent(QKeyEvent* event)
{
    int key = event->key();
    KeyDown(key, event->modifiers());
    event->setAccepted(key == 0);
}

void TdxCustomControl::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat()) {
        event->ignore();
        return;
    }
    int key = event->key();
    KeyUp(key, event->modifiers());
    event->setAccepted(key == 0);
}

void TdxCustomControl::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange: HookEnabledChanged(); break;
    case QEvent::PaletteChange: HookParentColorChanged(); break;
    case QEvent::FontChange: HookParentFontChanged(); break;
    default: break;
    }
}

void TdxCustomControl::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    HookPosChanged();
}

void TdxCustomControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    HookResized();
}

bool TdxCustomControl::event(QEvent* event)
{
    const bool result = QWidget::event(event);
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)
        EnsureFormRouter();
    return result;
}
