#pragma once
// A shown, active window with styled controls, and mouse and key events delivered the way
// the window system delivers them to a widget.

#include "Dxcore.h"
#include "StyledTestSupport.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

// Counts the repaints the control asks for.
template <class Base>
class Counted : public Base {
public:
    using Base::Base;
    void InternalRedraw() override
    {
        if (!this->UpdateLocked())
            ++repaints;
        Base::InternalRedraw();
    }
    int repaints = 0;
};

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
inline void Press(QWidget* w, QPoint pos = {5, 5}, Qt::MouseButton b = Qt::LeftButton)
{
    SendMouse(w, QEvent::MouseButtonPress, pos, b, b);
}
inline void Release(QWidget* w, QPoint pos = {5, 5}, Qt::MouseButton b = Qt::LeftButton)
{
    SendMouse(w, QEvent::MouseButtonRelease, pos, b, Qt::NoButton);
}
inline void DragTo(QWidget* w, QPoint pos)
{
    SendMouse(w, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton);
}
inline void Enter(QWidget* w)
{
    QEnterEvent e(QPointF(2, 2), QPointF(2, 2), QPointF(w->mapToGlobal(QPoint(2, 2))));
    QApplication::sendEvent(w, &e);
}
inline void Leave(QWidget* w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}
// A key typed into whichever widget has the focus, unhandled keys travelling up to the window.
inline void Type(QWidget* form, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {})
{
    QWidget* target = form->focusWidget() ? form->focusWidget() : form;
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(target, &release);
}

class FormFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestApp(); }
    void SetUp() override
    {
        form = new QWidget;
        form->resize(300, 200);
        edit = new QLineEdit(form);
        edit->setGeometry(10, 150, 100, 22);
    }
    void Show()
    {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    }
    void TearDown() override { delete form; }
    QWidget* form = nullptr;
    QLineEdit* edit = nullptr;
};
