#include "StripAccessible.h"

#include "Dxbuttons.h"
#include "Main.h"
#include "Panel.h"

#include <QAccessibleWidget>
#include <QVariant>


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

QAccessibleInterface* stripFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TFormMain"))
        return new WindowAccessible(static_cast<QWidget*>(object));
    if (className == QLatin1String("TPanel"))
        return new ContainerAccessible(static_cast<QWidget*>(object), QAccessible::Pane);
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
