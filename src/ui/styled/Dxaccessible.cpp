// What screen readers see of the styled controls: push buttons named by their caption or
// hint, whose default action clicks them, with their pressed and default states.

#include "Dxbuttons.h"
#include "Dxregistry.h"

#include <QAccessibleWidget>
#include <QPointer>

namespace {

class ButtonAccessible : public QAccessibleWidget {
public:
    explicit ButtonAccessible(TdxCustomControl* control) : QAccessibleWidget(control, QAccessible::Button) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        const auto* control = static_cast<const TdxCustomControl*>(object());
        state.pressed = (control->PaintState() & (dsClicked | dsHighlight)) == (dsClicked | dsHighlight);
        if (const auto* button = qobject_cast<const TdxCustomButton*>(control))
            state.defaultButton = button->Default();
        if (const QVariant checked = control->property(kDxAccessibleChecked); checked.isValid()) {
            state.checkable = true;
            state.checked = checked.toBool();
        }
        return state;
    }

    // Press first: it is the default action.
    QStringList actionNames() const override
    {
        QStringList names;
        if (widget()->isEnabled())
            names << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    // The click runs after the reader's request has been answered: a handler that opens a
    // modal box must not hold the request up.
    void doAction(const QString& name) override
    {
        if (name != pressAction()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        if (!widget()->isEnabled())
            return;
        QPointer<TdxCustomControl> control = static_cast<TdxCustomControl*>(object());
        QMetaObject::invokeMethod(
            control, [control] {
                if (control)
                    control->Click();
            },
            Qt::QueuedConnection);
    }

    QStringList keyBindingsForAction(const QString& name) const override
    {
        if (name == pressAction() && widget()->focusPolicy() != Qt::NoFocus)
            return {QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(name);
    }
};

QAccessibleInterface* dxAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TdxCustomButton") || className == QLatin1String("TdxCustomToolButton"))
        return new ButtonAccessible(static_cast<TdxCustomControl*>(object));
    return nullptr;
}

}  // namespace

void dxEnsureAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(dxAccessibleFactory);
        return true;
    }();
    (void)installed;
}
