#pragma once
// The clock's text ("00:02-04:00") drawn from one picture per character, made once per
// font, colour and scale, instead of laid out by the text engine every second: its layout
// (shaping) was most of what a tick of the clock cost. Only for a fixed-pitch font whose
// characters, drawn one by one a cell apart, give the very pixels the text engine gives
// for the whole text, which is checked when the pictures are made; anywhere else it says
// no and the caller lays the text out.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

#include <array>

class QPainter;

class ClockGlyphs {
public:
    // The characters a clock is made of.
    static constexpr char16_t kCharacters[] = u" -./0123456789:";

    // `text`'s advance in `font`, as QFontMetrics::horizontalAdvance gives it; false
    // where the cells do not serve.
    bool Advance(const QFont& font, const QString& text, int& advance);
    // Draws `text` in `font` and `colour` with its baseline's left end at (x, baseline),
    // as QPainter::drawText would; false, having drawn nothing, where the cells do not serve.
    bool Draw(QPainter& painter, int x, int baseline, const QFont& font, const QColor& colour, const QString& text);

private:
    static constexpr std::size_t kCount = std::size(kCharacters) - 1;
    static int IndexOf(QChar c);
    // Measures the cell for `font`; false where the clock's characters are not all one cell wide.
    bool Measure(const QFont& font);
    bool MakePictures(const QFont& font, const QColor& colour, qreal ratio);
    void Compose(QPainter& painter, int x, int baseline, const QString& text) const;

    QFont m_font;
    bool m_measured = false;
    bool m_fixed = false;
    int m_cell = 0;
    int m_pad = 0;
    int m_ascent = 0;
    int m_height = 0;
    // Pictures for m_font in m_colour at m_ratio; m_usable once they passed the check.
    QColor m_colour;
    qreal m_ratio = 0;
    bool m_made = false;
    bool m_usable = false;
    std::array<QImage, kCount> m_pictures;
};
