#pragma once
// The program's rectangle and point, as its windows and controls measure them:
// signed 32-bit screen or client coordinates; Right and Bottom are exclusive.

#include <QPoint>
#include <QRect>

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    void Offset(int dx, int dy)
    {
        Left += dx;
        Right += dx;
        Top += dy;
        Bottom += dy;
    }
    QRect toQRect() const { return QRect(Left, Top, Right - Left, Bottom - Top); }
    static TRect fromQRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

struct TPoint {
    int X = 0;
    int Y = 0;
    QPoint toQPoint() const { return {X, Y}; }
    static TPoint fromQPoint(const QPoint& p) { return {p.x(), p.y()}; }
    friend bool operator==(const TPoint&, const TPoint&) = default;
};
