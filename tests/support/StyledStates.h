#pragma once
// The states a styled control is seen in, each brought about as the user does it: for the
// tests that compare renderings and for tools/render_styled_states, which draws them all.

#include "Dxbuttons.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include <functional>
#include <vector>

namespace styled_states {

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline void Hover(QWidget* w)
{
    QEnterEvent e(QPointF(2, 2), QPointF(2, 2), QPointF(w->mapToGlobal(QPoint(2, 2))));
    QApplication::sendEvent(w, &e);
}

inline void PressInside(QWidget* w)
{
    styled_states::Hover(w);
    styled_states::SendMouse(w, QEvent::MouseButtonPress, {3, 3}, Qt::LeftButton, Qt::LeftButton);
}

inline void PressThenMoveOut(QWidget* w)
{
    styled_states::PressInside(w);
    styled_states::SendMouse(w, QEvent::MouseMove, {w->width() + 20, 3}, Qt::NoButton, Qt::LeftButton);
}

struct State {
    const char* name;
    // Brings the control into the state; `edit` is an ordinary control of its window.
    std::function<void(TdxCustomControl*, QLineEdit*)> apply;
};

inline const std::vector<State>& States()
{
    static const std::vector<State> states{
        {"normal", [](TdxCustomControl*, QLineEdit* edit) { edit->setFocus(); }},
        {"hovered", [](TdxCustomControl* c, QLineEdit* edit) { edit->setFocus(); styled_states::Hover(c); }},
        {"focused", [](TdxCustomControl* c, QLineEdit*) { c->setFocus(); }},
        {"default", [](TdxCustomControl* c, QLineEdit* edit) {
             edit->setFocus();
             if (auto* b = qobject_cast<TdxCustomButton*>(c))
                 b->SetDefault(true);
         }},
        {"pressed", [](TdxCustomControl* c, QLineEdit*) { styled_states::PressInside(c); }},
        {"pressed-out", [](TdxCustomControl* c, QLineEdit*) { styled_states::PressThenMoveOut(c); }},
        {"disabled", [](TdxCustomControl* c, QLineEdit* edit) { edit->setFocus(); c->SetEnabled(false); }},
        {"disabled-hovered", [](TdxCustomControl* c, QLineEdit* edit) {
             edit->setFocus();
             c->SetEnabled(false);
             styled_states::Hover(c);
         }},
    };
    return states;
}

} // namespace styled_states
