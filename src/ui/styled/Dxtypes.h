#pragma once
// Colour and rectangle types of the styled controls.

#include "Geometry.h"

#include <QColor>
#include <QPalette>
#include <QRect>
#include <cstdint>

// 0x00BBGGRR for an explicit colour. A value with a non-zero high byte is a system colour
// whose low byte is a system-colour index (COLOR_...); it is resolved through a palette
// when drawn, so the controls follow the desktop's colour scheme.
using TColor = std::uint32_t;

constexpr TColor clSystemColor = 0xFF000000u;

// System-colour indices understood by dxColorToRGB.
enum : int {
    COLOR_SCROLLBAR = 0,
    COLOR_BACKGROUND = 1,
    COLOR_WINDOW = 5,
    COLOR_WINDOWTEXT = 8,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
};

constexpr TColor dxRGB(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
constexpr int dxGetRValue(TColor c) { return int(c & 0xFF); }
constexpr int dxGetGValue(TColor c) { return int((c >> 8) & 0xFF); }
constexpr int dxGetBValue(TColor c) { return int((c >> 16) & 0xFF); }

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;

// The explicit RGB value of a colour; system colours are looked up in the palette
// (COLOR_BTNHIGHLIGHT -> Light, COLOR_BTNSHADOW -> Dark, COLOR_BTNFACE -> Button, ...).
TColor dxColorToRGB(TColor color, const QPalette& palette);
// Same, through the application palette.
TColor dxColorToRGB(TColor color);
QColor dxColorToQColor(TColor color, const QPalette& palette);
QColor dxColorToQColor(TColor color);
TColor dxQColorToColor(const QColor& color);

// TRect and TPoint are the program's own (Geometry.h).
