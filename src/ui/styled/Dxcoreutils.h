#pragma once
// Stateless drawing functions shared by the styled controls: banded gradient bitmaps,
// glyph greying and recolouring, embossed text, 3D frames and GDI-style lines.
//
// All of them run on the GUI thread only (the gradient builder shares one process-wide
// random generator; the text functions use QFont).

#include "Dxtypes.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdint>

class QWidget;

enum TdxGradientStyle : std::uint8_t { gsLeft = 0, gsTop = 1, gsRight = 2, gsBottom = 3 };
// Number of bands, 2..255.
using TdxGradientColors = std::uint8_t;

enum TdxBoundLine : std::uint8_t { blLeft = 0x01, blTop = 0x02, blRight = 0x04, blBottom = 0x08 };
using TdxBoundLines = std::uint8_t;

enum TAlignment : std::uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

// Text format flags, the values the caller's code is written against.
enum : int {
    DT_LEFT = 0x0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20,
    DT_CALCRECT = 0x400,
    DT_NOPREFIX = 0x800,
    DT_RTLREADING = 0x20000,
    DT_END_ELLIPSIS = 0x8000,
};

// Windows' MulDiv: a * b / c computed in 64 bits and rounded half away from zero.
// Returns -1 when c is 0.
int dxMulDiv(int a, int b, int c);

// The process-wide random generator that scatters the dither pixels:
// seed <- seed * 134775813 + 1 (mod 2^32), result = high 32 bits of range * seed.
// The seed is advanced on every draw, also for range 0 (which yields 0).
int dxRandom(int range);
std::uint32_t dxRandSeed();
void dxSetRandSeed(std::uint32_t seed);

// Resizes bitmap to width x height as a 24-bit RGB image and paints `colors` bands from
// startColor to endColor into it (gsRight and gsBottom run from endColor to startColor).
// With dithered, each band's start is sprinkled with the previous band's colour.
// A band count outside 2..255 is clamped into it; a width or height below 1 gives an
// empty image.
void dxCreateGradientRect(int width, int height, TColor startColor, TColor endColor, TdxGradientColors colors,
                          TdxGradientStyle style, bool dithered, QImage& bitmap);

// Every pixel becomes the grey (R + G + B) / 3 + 100, at most 255. Alpha is kept.
void dxConvertToGray2(QImage& bitmap);

// Every pixel that is exactly black (alpha aside) becomes `color`; others are kept.
void dxColorizeBitmap(QImage& bitmap, TColor color);

// Draws `text` into rect with the DT_ flags, or with DT_CALCRECT measures it and sets
// rect to the text's extent (same top-left). The enabled colour is the painter's pen
// colour; disabled text is embossed in the control's Light and Dark palette colours.
// `control` supplies the palette and the reading direction; it may be null.
// An ampersand marks the next character as the underlined accelerator unless
// showAccelChar is off ("&&" prints one ampersand).
void dxRenderText(const QWidget* control, QPainter& canvas, QString text, const QFont& font, bool enabled,
                  bool showAccelChar, TRect& rect, int flags);

// DT_END_ELLIPSIS plus the alignment and DT_WORDBREAK or DT_SINGLELINE.
void dxSetDrawFlags(TAlignment alignment, bool wordWrap, int& flags);

// Measures the text, places the measured block inside rect by the alignment (and in the
// middle vertically), then draws it. rect ends as the drawn block.
void dxPlaceText(const QWidget* control, QPainter& canvas, const QString& text, const QFont& font, bool enabled,
                 bool showAccelChar, TAlignment alignment, bool wordWrap, TRect& rect);

// One-pixel frame: top and left sides in topLeftColor, bottom and right in
// bottomRightColor; swap exchanges them (raised becomes sunken).
void dxFrame3d(QPainter& canvas, const TRect& rect, TColor topLeftColor, TColor bottomRightColor, bool swap);

// Line in the painter's pen colour from (x1, y1) towards (x2, y2); the end point itself is
// not painted. Pixels off the major axis round half away from zero.
void dxDrawLine(QPainter& canvas, int x1, int y1, int x2, int y2);

// Draws the chosen sides of rect in `color`.
void dxDrawBoundLines(QPainter& canvas, TdxBoundLines lines, TColor color, const TRect& rect);

// Shrinks rect by the border width, and by one more pixel on each side in `lines` when
// showBoundLines is on.
void dxAdjustBoundRect(int borderWidth, bool showBoundLines, TdxBoundLines lines, TRect& rect);

// Draws `image` at (x, y), leaving out every pixel of its bottom-left pixel's colour.
void dxDrawTransparent(QPainter& canvas, int x, int y, const QImage& image);

// A bound handler: the object and the operation. Two are equal when both match.
template <class T, class M>
bool dxMethodsEqual(const T* data1, M T::*code1, const T* data2, M T::*code2)
{
    return data1 == data2 && code1 == code2;
}
