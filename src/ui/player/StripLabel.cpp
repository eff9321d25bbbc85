#include "StripLabel.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

StripLabel::StripLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setAttribute(Qt::WA_TranslucentBackground);
}

bool StripLabel::AsciiInk(const QString& text, int& top, int& bottom) const
{
    const QFontMetrics metrics(m_measures.font);
    bool any = false;
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < u' ' || code > u'~')
            return false;
        const std::size_t at = code - u' ';
        if (!m_asciiInkKnown[at]) {
            m_asciiInk[at] = metrics.tightBoundingRect(QString(c));
            m_asciiInkKnown[at] = true;
        }
        const QRect& ink = m_asciiInk[at];
        if (ink.isEmpty())
            continue;
        top = any ? std::min(top, ink.top()) : ink.top();
        bottom = any ? std::max(bottom, ink.top() + ink.height()) : ink.top() + ink.height();
        any = true;
    }
    if (!any)
        top = bottom = 0;
    return true;
}

const StripLabel::Measures& StripLabel::Measured() const
{
    const QString current = text();
    const QFont currentFont = font();
    if (m_measures.valid && m_measures.text == current && m_measures.font == currentFont)
        return m_measures;
    if (!m_measures.valid || m_measures.font != currentFont)
        m_asciiInkKnown.fill(false);
    m_measures.font = currentFont;
    const QFontMetrics metrics(currentFont);
    // The clock's text changes every second: its ink comes from its characters' ink,
    // known from the first time each was measured, and only its width is laid out.
    int top = 0;
    int bottom = 0;
    if (!AsciiInk(current, top, bottom)) {
        const QRect ink = metrics.tightBoundingRect(current);
        top = ink.isEmpty() ? 0 : ink.top();
        bottom = ink.isEmpty() ? 0 : ink.top() + ink.height();
    }
    m_measures.text = current;
    m_measures.advance = metrics.horizontalAdvance(current);
    m_measures.baseline = std::max(metrics.ascent(), -top);
    m_measures.below = std::max(metrics.descent(), bottom);
    m_measures.valid = true;
    return m_measures;
}

int StripLabel::Baseline() const
{
    return Measured().baseline;
}

QSize StripLabel::sizeHint() const
{
    const Measures& measures = Measured();
    return {measures.advance, measures.baseline + measures.below};
}

QSize StripLabel::minimumSizeHint() const
{
    return sizeHint();
}

void StripLabel::paintEvent(QPaintEvent*)
{
    const Measures& measures = Measured();
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    int x = 0;
    if (alignment() & Qt::AlignRight)
        x = width() - measures.advance;
    else if (alignment() & Qt::AlignHCenter)
        x = (width() - measures.advance) / 2;
    painter.drawText(x, measures.baseline, text());
}
