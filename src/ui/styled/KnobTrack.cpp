#include "KnobTrack.h"

#include "WholePixels.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

// What a screen reader finds: a slider named by the track's accessible name, its value
// in the bar's units (text and number) and in words as its description, settable.
class KnobTrackAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit KnobTrackAccessible(KnobTrack* track) : QAccessibleWidget(track, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(value());
        if (t == QAccessible::Description && access().describe)
            return access().describe();
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return value(); }
    void setCurrentValue(const QVariant& value) override { track()->SetValueByUser(value.toDouble()); }
    QVariant maximumValue() const override { return access().maximum ? access().maximum() : 0.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return access().step; }

private:
    KnobTrack* track() const { return static_cast<KnobTrack*>(widget()); }
    const KnobTrack::ValueAccess& access() const { return track()->Access(); }
    double value() const { return access().value ? access().value() : 0.0; }
};

QAccessibleInterface* knobTrackFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("KnobTrack"))
        return new KnobTrackAccessible(static_cast<KnobTrack*>(object));
    return nullptr;
}

void ensureAccessible()
{
    static const bool installed = (QAccessible::installFactory(knobTrackFactory), true);
    (void)installed;
}

} // namespace

KnobTrack::KnobTrack(QWidget* parent, const QColor& brush)
    : QWidget(parent)
    , m_brush(brush)
{
    ensureAccessible();
}

KnobBar& KnobTrack::Bar()
{
    if (m_knob)
        m_bar.Sync(x(), width(), m_knob->width(), m_knob->x());
    return m_bar;
}

void KnobTrack::PlaceKnob(int left)
{
    m_bar.SetKnobLeft(left);
    if (m_knob)
        m_knob->move(left, m_knob->y());
}

void KnobTrack::SetValueAccess(ValueAccess access)
{
    m_access = std::move(access);
}

void KnobTrack::SetValueByUser(double value)
{
    if (!m_access.setValue)
        return;
    const double maximum = m_access.maximum ? m_access.maximum() : 0.0;
    m_access.setValue(std::clamp(value, 0.0, std::max(maximum, 0.0)));
    TellValueChanged();
}

void KnobTrack::TellValueChanged()
{
    if (!m_access.value)
        return;
    QAccessibleValueChangeEvent changed(this, m_access.value());
    QAccessible::updateAccessibility(&changed);
    if (m_access.describe) {
        QAccessibleEvent described(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&described);
    }
    emit UserChangedValue();
}

KnobTrack::KnobMove KnobTrack::HandleMouse(QObject* watched, QEvent* event)
{
    if (!m_knob)
        return KnobMove::None;
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    KnobBar& bar = Bar();
    if (watched == this) {
        if (event->type() != QEvent::MouseButtonPress)
            return KnobMove::None;
        bar.ClickTrack(at.x());
        PlaceKnob(bar.KnobLeft());
        return KnobMove::Clicked;
    }
    if (watched != m_knob)
        return KnobMove::None;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        bar.PressKnob(at.x(), at.y());
        return KnobMove::None;
    case QEvent::MouseMove:
        if (!bar.MoveKnob(at.x()))
            return KnobMove::None;
        PlaceKnob(bar.KnobLeft());
        return KnobMove::Dragged;
    case QEvent::MouseButtonRelease:
        return bar.ReleaseKnob() ? KnobMove::LetGo : KnobMove::None;
    default:
        return KnobMove::None;
    }
}

void KnobTrack::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_brush);
    DrawPixelFrame(painter, rect(), ShowsFocusMark() ? QColor(231, 150, 0) : QColor(Qt::black));
}

void KnobTrack::keyPressEvent(QKeyEvent* event)
{
    if (!m_access.value || !m_access.setValue || event->modifiers() & ~Qt::KeypadModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    const double value = m_access.value();
    double target = value;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down: target = value - m_access.step; break;
    case Qt::Key_Right:
    case Qt::Key_Up: target = value + m_access.step; break;
    case Qt::Key_PageDown: target = value - m_access.page; break;
    case Qt::Key_PageUp: target = value + m_access.page; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = m_access.maximum ? m_access.maximum() : value; break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
    // Whoever moves the knob by keys is at the keyboard, however the focus came here.
    if (!m_keyboardFocus) {
        m_keyboardFocus = true;
        update();
    }
    SetValueByUser(target);
}

void KnobTrack::focusInEvent(QFocusEvent* event)
{
    switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        m_keyboardFocus = true;
        break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
        break;  // back to a window or from a menu: the mark is as it was
    default:
        m_keyboardFocus = false;
        break;
    }
    QWidget::focusInEvent(event);
    update();
}

void KnobTrack::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}
