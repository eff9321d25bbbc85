#pragma once
// A one-line text label of the strip: transparent, drawn in its palette's text colour at
// the top of the label, left, centre or right aligned. Every pixel of every glyph lies
// inside the label: when a glyph rises above the font's ascent (hand-tuned Korean bitmaps
// do, by a pixel) the baseline moves down, and the size the label asks for (adjustSize)
// covers the glyphs that reach below the descent.

#include <QFont>
#include <QLabel>
#include <QRect>

#include <array>

class StripLabel : public QLabel {
    Q_OBJECT
public:
    StripLabel(const QString& text, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The baseline's distance from the label's top for the current text and font.
    int Baseline() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The text's measures, laid out once per text and font: the clock and the title are
    // painted and asked for their size far more often than they change.
    struct Measures {
        QString text;
        QFont font;
        int advance = 0;
        int baseline = 0;
        int below = 0;
        bool valid = false;
    };
    const Measures& Measured() const;
    // The ink's top and bottom of `text` in the measured font when every character is
    // printable ASCII (the clock), from each character's glyph, measured once; false for
    // other text, which is laid out whole.
    bool AsciiInk(const QString& text, int& top, int& bottom) const;
    mutable Measures m_measures;
    mutable std::array<QRect, 95> m_asciiInk{};       // ' ' to '~' in m_measures.font
    mutable std::array<bool, 95> m_asciiInkKnown{};
};
