#pragma once
// One-pixel lines and frames that cover whole device pixels at every device pixel ratio.
//
// A pen line is drawn about its centre line, which at a ratio of 2 lies on a device
// pixel boundary; these fill the pixel's own square instead, so a line of the design is
// exactly two device pixels wide there, in its colour only, and at 100 % they paint the
// same pixels as QPainter::drawLine and drawRect with a one-pixel pen.

#include <QColor>
#include <QPainter>
#include <QRect>

#include <algorithm>

// A horizontal or vertical line from `from` to `to`, both ends included.
inline void DrawPixelLine(QPainter& painter, QPoint from, QPoint to, const QColor& colour)
{
    const QPoint topLeft(std::min(from.x(), to.x()), std::min(from.y(), to.y()));
    const QPoint bottomRight(std::max(from.x(), to.x()), std::max(from.y(), to.y()));
    painter.fillRect(QRect(topLeft, bottomRight), colour);
}

// The outline of `rect`: its outermost pixels.
inline void DrawPixelFrame(QPainter& painter, const QRect& rect, const QColor& colour)
{
    if (rect.isEmpty())
        return;
    painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), colour);
    painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), colour);
    painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), colour);
    painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), colour);
}
