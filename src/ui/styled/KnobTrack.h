#pragma once
// A track with a knob picture that slides on it: a filled rectangle with a one-pixel
// outline, and the knob a sibling widget laid over it. The mouse works through the window
// that owns both (it forwards the knob's and the track's mouse events to `HandleMouse`),
// the keyboard and screen readers through the track itself: a slider in the bar's own
// units (the volume in percent, the position in seconds). The arrow keys move it by a
// step, Page Up and Page Down by a page, Home and End to the ends; while it has the focus
// from the keyboard its outline is orange. Window thread only.

#include "KnobBar.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <functional>

class KnobTrack : public QWidget {
    Q_OBJECT
public:
    // The bar's value in its own units, its maximum (the minimum is 0), a setter that acts
    // (it is given values within 0..maximum), the key steps and what the value says in
    // words (a screen reader's description, e.g. "1:41 of 3:20"; may be empty). Without
    // `value` and `setValue` the track is only a picture.
    struct ValueAccess {
        std::function<double()> value;
        std::function<double()> maximum;
        std::function<void(double)> setValue;
        double step = 1;
        double page = 10;
        std::function<QString()> describe;
    };

    // What a mouse event did to the knob.
    enum class KnobMove {
        None,      // nothing (or a move the knob could not follow)
        Dragged,   // the knob follows the pointer while held
        LetGo,     // a drag ended
        Clicked,   // a press on the track put the knob there
    };

    explicit KnobTrack(QWidget* parent, const QColor& brush = Qt::white);

    // The knob that slides on this track, a sibling of it.
    void SetKnob(QWidget* knob) { m_knob = knob; }
    QWidget* Knob() const { return m_knob; }
    // The knob's arithmetic with the controls' current geometry (nothing is cached; the
    // drag state is kept).
    KnobBar& Bar();
    // Moves the knob picture to `left`.
    void PlaceKnob(int left);

    void SetValueAccess(ValueAccess access);
    const ValueAccess& Access() const { return m_access; }
    // Sets the value from the keyboard or a screen reader: held to 0..maximum, then the
    // setter runs and readers are told.
    void SetValueByUser(double value);
    // A change the user made (not the song playing on): screen readers are told.
    void TellValueChanged();

    // A mouse event on the knob or on this track, `watched` saying which: a press on the
    // knob grabs it, a move drags it along the track, a release lets it go; a press on the
    // track centres the knob on it. Returns what the knob did; the knob picture has moved.
    KnobMove HandleMouse(QObject* watched, QEvent* event);

    // Whether the orange outline shows: the focus came from the keyboard.
    bool ShowsFocusMark() const { return hasFocus() && m_keyboardFocus; }

signals:
    // The user changed the value (by mouse, keys or a screen reader) and readers were told.
    void UserChangedValue();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QColor m_brush;
    QPointer<QWidget> m_knob;
    KnobBar m_bar{0, 0, 0, 0};
    ValueAccess m_access;
    bool m_keyboardFocus = false;
};
