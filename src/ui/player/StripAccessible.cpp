#include "StripAccessible.h"

#include "Dxbuttons.h"
#include "Main.h"
#include "Panel.h"

#include <QAccessibleWidget>
#include <QVariant>

#include <algorithm>

namespace {

const char* const kHiddenProperty = "sorvelHiddenFromScreenReaders";
const char* const kPressedProperty = kDxAccessibleChecked;

bool exposed(const QWidget* child)
{
    return !child->isWindow() && !child->isHidden() && !child->property(kHiddenProperty).toBool();
}

QList<QWidget*> exposedChildren(const QWidget* parent)
{
    QList<QWidget*> children;
    for (QObject* object : parent->children())
        if (auto* child = qobject_cast<QWidget*>(object); child && exposed(child))
            children << child;
    return children;
}

// A container whose children are the exposed child widgets only.
class ContainerAccessible : public QAccessibleWidget {
public:
    ContainerAccessible(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    int childCount() const override { return int(exposedChildren(widget()).size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> children = exposedChildren(widget());
        if (index < 0 || index >= children.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(children[index]);
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child || !child->object() || !child->object()->isWidgetType())
            return -1;
        return int(exposedChildren(widget()).indexOf(static_cast<QWidget*>(child->object())));
    }
};

class WindowAccessible : public ContainerAccessible {
public:
    explicit WindowAccessible(QWidget* window) : ContainerAccessible(window, QAccessible::Window) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return widget()->windowTitle();
        return ContainerAccessible::text(t);
    }
};

// A track with its knob: a slider in the bar's own units (percent, seconds), whose
// description says the value in words.
class BarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit BarAccessible(TShape* track) : QAccessibleWidget(track, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(track()->Bar().value ? track()->Bar().value() : 0);
        if (t == QAccessible::Description && track()->Bar().describe)
            return track()->Bar().describe();
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return track()->Bar().value ? track()->Bar().value() : 0.0; }
    void setCurrentValue(const QVariant& value) override
    {
        const TShape::BarAccess& bar = track()->Bar();
        if (!bar.setValue)
            return;
        const double maximum = bar.maximum ? bar.maximum() : 0.0;
        bar.setValue(std::clamp(value.toDouble(), 0.0, std::max(maximum, 0.0)));
        track()->TellValueChanged();
    }
    QVariant maximumValue() const override { return track()->Bar().maximum ? track()->Bar().maximum() : 0.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return track()->Bar().step; }

private:
    TShape* track() const { return static_cast<TShape*>(widget()); }
};

QAccessibleInterface* stripFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TFormMain"))
        return new WindowAccessible(static_cast<QWidget*>(object));
    if (className == QLatin1String("TPanel"))
        return new ContainerAccessible(static_cast<QWidget*>(object), QAccessible::Pane);
    if (className == QLatin1String("TShape"))
        return new BarAccessible(static_cast<TShape*>(object));
    return nullptr;
}

} // namespace

void InstallStripAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(stripFactory);
        return true;
    }();
    (void)installed;
}

void HideFromScreenReaders(QWidget* widget)
{
    widget->setProperty(kHiddenProperty, true);
}

void ShowPlayStateToScreenReaders(QWidget* button, bool pressed, const QString& words)
{
    const QVariant was = button->property(kPressedProperty);
    button->setProperty(kPressedProperty, pressed);
    if (button->accessibleDescription() != words)
        button->setAccessibleDescription(words);  // Qt tells readers of the change
    if (!was.isValid() || was.toBool() != pressed) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(button, changed);
        QAccessible::updateAccessibility(&event);
    }
}
