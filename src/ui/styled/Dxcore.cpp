#include "Dxcore.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

QString dxLibraryVersion()
{
    return QStringLiteral("Sorvel styled controls 2.0.1");
}

namespace {

// Every live control, in creation order. Walking this instead of the widget tree keeps
// broadcasts safe while a window is deleting its children.
std::vector<TdxCustomControl*>& LiveControls()
{
    static std::vector<TdxCustomControl*> controls;
    return controls;
}

QList<QPointer<TdxCustomControl>> ControlsOf(const QWidget* form)
{
    QList<QPointer<TdxCustomControl>> out;
    for (TdxCustomControl* c : LiveControls())
        if (c->window() == form)
            out.append(c);
    return out;
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

QChar TypedChar(const QKeyEvent* event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return {};
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).isPrint())
        return text.at(0);
    const int key = event->key();
    if ((event->modifiers() & Qt::AltModifier) &&
        ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)))
        return QChar(key);
    return {};
}

const char* const kRouterProperty = "_dxFormKeyRouter";

// Installed once per top-level window that holds styled controls.
//
// Keys the focus widget leaves unhandled travel up to the window: there Enter and Escape
// are offered to the styled controls as dialog keys and printable characters as
// accelerators (which only a focused control takes without Alt). Alt+character is offered
// before the focus widget sees it, since text fields would otherwise insert it.
// Every change of the window's focus widget becomes HookFocusedChanged on its styled
// controls.
class FormKeyRouter : public QObject {
public:
    explicit FormKeyRouter(QWidget* form) : QObject(form), m_Form(form), m_AltFilter(this)
    {
        form->installEventFilter(this);
        qApp->installEventFilter(&m_AltFilter);
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
            if ((now && now->window() == m_Form) || (old && old->window() == m_Form))
                TdxCustomControl::BroadcastFocusChanged(m_Form);
        });
    }

    bool OfferChar(QChar ch, bool alt)
    {
        for (const QPointer<TdxCustomControl>& c : ControlsOf(m_Form))
            if (c && c->CMDialogChar(ch, alt))
                return true;
        return false;
    }

protected:
    // Keys that reached the window unhandled.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_Form || event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape) {
            const int vk = key->key() == Qt::Key_Escape ? VK_ESCAPE : VK_RETURN;
            for (const QPointer<TdxCustomControl>& c : ControlsOf(m_Form))
                if (c && c->CMDialogKey(vk, key->modifiers()))
                    return true;
            return false;
        }
        const QChar ch = TypedChar(key);
        return !ch.isNull() && OfferChar(ch, key->modifiers() & Qt::AltModifier);
    }

private:
    // Application-wide: Alt+character on its way to the focus widget of this window.
    class AltCharFilter : public QObject {
    public:
        explicit AltCharFilter(FormKeyRouter* router) : m_Router(router) {}

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() != QEvent::KeyPress)
                return false;
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!(key->modifiers() & Qt::AltModifier))
                return false;
            QWidget* form = m_Router->m_Form;
            QWidget* first = form->focusWidget() ? form->focusWidget() : form;
            if (watched != first || first->window() != form)
                return false;
            const QChar ch = TypedChar(key);
            return !ch.isNull() && m_Router->OfferChar(ch, true);
        }

    private:
        FormKeyRouter* m_Router;
    };

    QWidget* m_Form;
    AltCharFilter m_AltFilter;
};

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
    LiveControls().push_back(this);
    connect(this, &QObject::objectNameChanged, this, [this] { UpdateAccessibleName(); });
    UpdateAccessibleName();
}

TdxCustomControl::~TdxCustomControl()
{
    auto& live = LiveControls();
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
    QString name = m_Caption;
    name.remove(QRegularExpression(QStringLiteral("&(?!&)")));
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
    for (const QPointer<TdxCustomControl>& c : ControlsOf(form))
        if (c)
            c->HookFocusedChanged();
}

QImage TdxCustomControl::PaintToImage()
{
    if (testAttribute(Qt::WA_PendingResizeEvent)) {
        setAttribute(Qt::WA_PendingResizeEvent, false);
        QResizeEvent resize(size(), QSize());
        QCoreApplication::sendEvent(this, &resize);
    }
    if (width() < 1 || height() < 1)
        return {};
    QImage buffer(size(), QImage::Format_RGB32);
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

void TdxCustomControl::KeyUp(int& key, Qt::KeyboardModifiers shift)
{
    if (OnKeyUp)
        OnKeyUp(this, key, shift);
}

void TdxCustomControl::EnsureFormRouter()
{
    QWidget* form = window();
    if (!form->property(kRouterProperty).value<QObject*>())
        form->setProperty(kRouterProperty, QVariant::fromValue<QObject*>(new FormKeyRouter(form)));
}

// --- Qt events ---

void TdxCustomControl::paintEvent(QPaintEvent*)
{
    const QImage buffer = PaintToImage();
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
    if (click)
        Click();
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

// ---------------------------------------------------------------------------------------
// Styles

TdxTheme TdxStyle::GetTheme() const
{
    if (m_UseStyleManager && m_OwnerControl && m_OwnerControl->StyleManager())
        return m_OwnerControl->StyleManager()->Theme();
    return m_Theme;
}

void TdxStyle::SetTheme(TdxTheme value)
{
    if (m_Theme == value)
        return;
    m_Theme = value;
    if (m_OwnerControl)
        m_OwnerControl->InternalRedraw();
}

void TdxStyle::SetUseStyleManager(bool value)
{
    if (m_UseStyleManager == value)
        return;
    m_UseStyleManager = value;
    if (m_OwnerControl)
        m_OwnerControl->InternalRedraw();
}

TdxCustomStyleControl::TdxCustomStyleControl(QWidget* parent)
    : TdxCustomControl(parent), m_Style(std::make_unique<TdxStyle>(this))
{
}

TdxCustomStyleControl::~TdxCustomStyleControl()
{
    if (m_StyleManager)
        m_StyleManager->UnregisterControls({this});
}

void TdxCustomStyleControl::SetStyleManager(TdxStyleManager* value)
{
    if (value == m_StyleManager)
        return;
    if (value)
        value->RegisterControls({this});
    if (m_StyleManager)
        m_StyleManager->UnregisterControls({this});
    m_StyleManager = value;
    InternalRedraw();
}

void TdxCustomStyleControl::Notification(QObject* component, TOperation operation)
{
    if (operation != opRemove)
        return;
    auto* manager = qobject_cast<TdxStyleManager*>(component);
    if (!manager)
        return;
    if (m_StyleManager && m_StyleManager != manager)
        m_StyleManager->UnregisterControls({this});
    if (m_StyleManager) {
        m_StyleManager = nullptr;
        InternalRedraw();
    }
}

TdxStyleManager::TdxStyleManager(QObject* owner) : TdxCustomComponent(owner) {}

TdxStyleManager::~TdxStyleManager()
{
    InvalidateControls();
    const QList<TdxCustomStyleControl*> registered = m_RegisteredControls;
    m_RegisteredControls.clear();
    const auto* ownerWidget = qobject_cast<QWidget*>(parent());
    const QWidget* ownerWindow = ownerWidget ? ownerWidget->window() : nullptr;
    std::vector<QPointer<TdxCustomStyleControl>> affected;
    for (TdxCustomControl* c : LiveControls()) {
        auto* styled = qobject_cast<TdxCustomStyleControl*>(c);
        if (styled && (registered.contains(styled) || (ownerWindow && styled->window() == ownerWindow)))
            affected.emplace_back(styled);
    }
    for (const QPointer<TdxCustomStyleControl>& c : affected)
        if (c)
            c->Notification(this, opRemove);
}

void TdxStyleManager::SetTheme(TdxTheme value)
{
    if (m_Theme == value)
        return;
    m_Theme = value;
    if (OnThemeChanged)
        OnThemeChanged(this);
    emit themeChanged();
    InvalidateControls();
}

void TdxStyleManager::RegisterControls(std::initializer_list<TdxCustomStyleControl*> controls)
{
    for (TdxCustomStyleControl* c : controls)
        if (c && !m_RegisteredControls.contains(c))
            m_RegisteredControls.append(c);
}

void TdxStyleManager::UnregisterControls(std::initializer_list<TdxCustomStyleControl*> controls)
{
    for (TdxCustomStyleControl* c : controls)
        m_RegisteredControls.removeAll(c);
}

void TdxStyleManager::InvalidateControls()
{
    const QList<TdxCustomStyleControl*> controls = m_RegisteredControls;
    for (TdxCustomStyleControl* c : controls)
        c->InternalRedraw();
}

// ---------------------------------------------------------------------------------------
// TdxGradient

void TdxGradient::Changed()
{
    RecreateBands();
    if (m_HostControl)
        m_HostControl->InternalRedraw();
}

void TdxGradient::SetColors(TdxGradientColors value)
{
    value = TdxGradientColors(std::max(2, int(value)));
    if (m_Colors == value)
        return;
    m_Colors = value;
    Changed();
}

void TdxGradient::SetDithered(bool value)
{
    if (m_Dithered == value)
        return;
    m_Dithered = value;
    Changed();
}

void TdxGradient::SetEnabled(bool value)
{
    if (m_Enabled == value)
        return;
    m_Enabled = value;
    if (m_HostControl)
        m_HostControl->InternalRedraw();
}

void TdxGradient::SetEndColor(TColor value)
{
    if (m_EndColor == value)
        return;
    m_EndColor = value;
    Changed();
}

void TdxGradient::SetStartColor(TColor value)
{
    if (m_StartColor == value)
        return;
    m_StartColor = value;
    Changed();
}

void TdxGradient::SetGradientStyle(TdxGradientStyle value)
{
    if (m_Style == value)
        return;
    m_Style = value;
    Changed();
}

void TdxGradient::RecreateBands()
{
    if (!m_HostControl)
        return;
    dxCreateGradientRect(m_HostControl->width(), m_HostControl->height(), m_StartColor, m_EndColor, m_Colors,
                         m_Style, m_Dithered, m_BandImage);
}
