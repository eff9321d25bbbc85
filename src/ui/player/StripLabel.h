#pragma once
// A one-line text label of the strip: transparent, drawn in its palette's text colour at
// the top of the label, left, centre or right aligned. Every pixel of every glyph lies
// inside the label: when a glyph rises above the font's ascent (hand-tuned Korean bitmaps
// do, by a pixel) the baseline moves down, and the size the label asks for (adjustSize)
// covers the glyphs that reach below the descent.

#include "ClockGlyphs.h"
#include "XWindowImage.h"

#include <QFont>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QRect>

#include <array>

class QWindow;

class StripLabel : public QLabel {
    Q_OBJECT
public:
    StripLabel(const QString& text, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The baseline's distance from the label's top for the current text and font.
    int Baseline() const;

    // Shows `text` straight on the window (XWindowImage) over what lies under the label,
    // for a text that changes every second: no repaint of the label and what is under it,
    // no flush of the window. The label's own text() stays; the toolkit paints `text`
    // whenever it repaints the label. False where it cannot (another platform, another
    // scale, something drawn over the label, or a screen reader listening, which is told
    // of text changes): the caller sets the text then.
    bool ShowLive(const QString& text);
    // What the label shows: the live text when there is one, or its text().
    QString Shown() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The text's measures, laid out once per text and font: the clock and the title are
    // painted and asked for their size far more often than they change.
    struct Measures {
        QString text;
        QFont font;
        int advance = 0;
        int ascent = 0;   // the font's
        int descent = 0;
        int baseline = 0;
        int below = 0;
        bool valid = false;
    };
    const Measures& Measured() const;
    const Measures& Measured(const QString& text) const;
    // Draws `text` as the label shows it, over whatever the painter holds.
    void DrawText(QPainter& painter, const QString& text) const;
    // What lies under the label, as the toolkit paints it: the parent and the siblings
    // below it. False when a sibling lies over the label.
    bool PaintBack();
    void PutLive();
    // The ink's top and bottom of `text` in the measured font when every character is
    // printable ASCII (the clock), from each character's glyph, measured once; false for
    // other text, which is laid out whole.
    bool AsciiInk(const QString& text, int& top, int& bottom) const;
    mutable Measures m_measures;
    mutable std::array<QRect, 95> m_asciiInk{};       // ' ' to '~' in m_measures.font
    mutable std::array<bool, 95> m_asciiInkKnown{};
    mutable ClockGlyphs m_glyphs;

    QString m_live;       // shown straight on the window; empty: text() is shown
    QImage m_back;        // what lies under the label; null: paint it again
    QImage m_frame;       // the live text over m_back, as last put on the window
    XWindowImage m_window;
    // The label has not moved, changed size or scale since m_window was checked: the
    // toolkit repaints a label that did, which clears this.
    bool m_placeKnown = false;
    QPointer<QWindow> m_watched;  // told of exposures, after which the live text goes up again
};
