#pragma once
// A one-line text label of the strip: transparent, drawn in its palette's text colour at
// the top of the label, left, centre or right aligned. Every pixel of every glyph lies
// inside the label: when a glyph rises above the font's ascent (hand-tuned Korean bitmaps
// do, by a pixel) the baseline moves down, and the size the label asks for (adjustSize)
// covers the glyphs that reach below the descent.

#include <QLabel>

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
};
