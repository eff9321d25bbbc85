#pragma once
// Logical and device pixels of one screen.
//
// The program reasons about places in logical pixels (the settings file, the docking
// manager, the move and size loops); the window system places windows in device pixels.
// At a desktop scale of 125 % a 49-pixel strip is 61.25 device pixels high. Qt turns a
// top-level window's logical place into device pixels by rounding its position (measured
// from its screen's top-left corner, which is the same in both) and its size each on its
// own, so two windows that touch in logical pixels can stand a device pixel apart, or
// overlap by one. AlignedDeviceRect moves a window by that pixel where it touches
// another, so that what touches logically touches on the screen.
//
// Pure functions; the window system's side is in WindowPlacement.h.

#include <QList>
#include <QPoint>
#include <QRect>

// One screen's scale: its top-left corner (the same in logical and device pixels) and
// how many device pixels a logical pixel takes.
struct ScreenScale {
    QPoint origin;
    double factor = 1.0;
};

// A logical coordinate on the screen in device pixels, and back, rounded as Qt rounds.
int ToDevice(int logical, int origin, double factor);
int FromDevice(int device, int origin, double factor);
QPoint ToDevice(QPoint logical, const ScreenScale& scale);
QPoint FromDevice(QPoint device, const ScreenScale& scale);

// Where Qt puts a top-level window of this logical rectangle: position and size rounded
// each on its own.
QRect DeviceRect(const QRect& logical, const ScreenScale& scale);

// Another window as it stands: its logical rectangle and its device rectangle.
struct PlacedRect {
    QRect logical;
    QRect device;
};

// The device rectangle for a window that takes the logical rectangle `logical`, where Qt
// would give it `device`: every edge it shares with one of `others` (side by side, or
// flush while they touch) is put on that window's device edge. A window that is moved
// keeps its device size (the near edge is aligned first, else the far one); one that is
// resized (`resizing`) has each of its edges aligned on its own. Where several windows
// offer an edge, the last one in the list wins.
QRect AlignedDeviceRect(const QRect& logical, const QRect& device, const QList<PlacedRect>& others, bool resizing);
