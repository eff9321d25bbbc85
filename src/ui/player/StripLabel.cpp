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

const StripLabel::Measures& StripLabel::Measured() const
{
    const QString current = text();
    const QFont currentFont = font();
    if (m_measures.valid && m_measures.text == current && m_measures.font == currentFont)
        return m_measures;
    const QFontMetrics metrics(currentFont);
    const QRect ink = metrics.tightBoundingRect(current);
    m_measures.text = current;
    m_measures.font = currentFont;
    m_measures.advance = metrics.horizontalAdvance(current);
    m_measures.baseline = std::max(metrics.ascent(), ink.isEmpty() ? 0 : -ink.top());
    m_measures.below = std::max(metrics.descent(), ink.isEmpty() ? 0 : ink.top() + ink.height());
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
