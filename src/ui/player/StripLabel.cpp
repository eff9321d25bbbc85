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

int StripLabel::Baseline() const
{
    const QFontMetrics metrics(font());
    const QRect ink = metrics.tightBoundingRect(text());
    return std::max(metrics.ascent(), ink.isEmpty() ? 0 : -ink.top());
}

QSize StripLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    const QRect ink = metrics.tightBoundingRect(text());
    const int below = std::max(metrics.descent(), ink.isEmpty() ? 0 : ink.top() + ink.height());
    return {metrics.horizontalAdvance(text()), Baseline() + below};
}

QSize StripLabel::minimumSizeHint() const
{
    return sizeHint();
}

void StripLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    const int advance = QFontMetrics(font()).horizontalAdvance(text());
    int x = 0;
    if (alignment() & Qt::AlignRight)
        x = width() - advance;
    else if (alignment() & Qt::AlignHCenter)
        x = (width() - advance) / 2;
    painter.drawText(x, Baseline(), text());
}
