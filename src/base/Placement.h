#pragma once
// Where a window whose place comes from the settings may stand. The settings hold any
// 32-bit values (a hand-edited or damaged file, a screen that has since gone away); a
// window placed by them unchecked can end up a sliver or nowhere on the screen. These
// functions bring such a place back, and leave a place that is on screen exactly as it is.
//
// Pure functions over rectangles, no window system: the caller passes the work areas of
// its screens (QScreen::availableGeometry()), the primary screen's first.
//
//   const StoredRect stored{settings.MainX, settings.MainY, width(), height()};
//   move(FitIntoWorkArea(stored, ChooseWorkArea(stored, workAreas)).topLeft());

#include <QList>
#include <QRect>

#include <cstdint>

// A window's left, top, width and height as the settings hold them. Kept apart from QRect,
// whose right edge (left + width - 1) overflows for values near the 32-bit limits.
struct StoredRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The rectangle the window takes inside `workArea`:
// - a stored rectangle that lies wholly inside the work area is returned unchanged;
// - a width or height larger than the work area's is reduced to it (and one below 1 is 1);
// - then the rectangle is moved by the least distance that puts it wholly inside.
// An empty work area returns the stored rectangle's size at the work area's top-left.
QRect FitIntoWorkArea(const StoredRect& stored, const QRect& workArea);

// The work area a stored rectangle belongs to: the one it overlaps most, or the first
// (the primary screen's) when it overlaps none. An empty list gives an empty rectangle.
QRect ChooseWorkArea(const StoredRect& stored, const QList<QRect>& workAreas);

// The playlist window's place beside the strip. Each window is first fitted into its work
// area on its own; when the strip would then cover part of the playlist window (a small
// screen, a high scale, a place saved wrongly), the playlist window moves, the strip stays:
// right below the strip, glued to it at its left edge, as tall as it was where that fits,
// else shrunk to the room below (not below `minimum`); where even `minimum` has no room
// below, above the strip the same way; and only where neither has room does the strip move
// up, as far as the work area lets it. Pure: both rectangles in, both out.
struct WindowPair {
    QRect strip;
    QRect list;
};
WindowPair KeepListClearOfStrip(const QRect& strip, const QRect& list, const QRect& workArea, const QSize& minimum);

