// The live styled controls, and the router each window gets that hands the keys a dialog
// gives its buttons, and focus changes, to them.

#include "Dxcore.h"
#include "Dxregistry.h"

#include <QApplication>
#include <QKeyEvent>

std::vector<TdxCustomControl*>& dxLiveControls()
{
    static std::vector<TdxCustomControl*> controls;
    return controls;
}

QList<QPointer<TdxCustomControl>> dxControlsOf(const QWidget* form)
{
    QList<QPointer<TdxCustomControl>> out;
    for (TdxCustomControl* c : dxLiveControls())
        if (c->window() == form)
            out.append(c);
    return out;
}

namespace {

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
        for (const QPointer<TdxCustomControl>& c : dxControlsOf(m_Form))
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
            for (const QPointer<TdxCustomControl>& c : dxControlsOf(m_Form))
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
void dxEnsureFormRouter(QWidget* form)
{
    if (!form->property(kRouterProperty).value<QObject*>())
        form->setProperty(kRouterProperty, QVariant::fromValue<QObject*>(new FormKeyRouter(form)));
}
