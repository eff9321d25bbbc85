#pragma once
// The tool button's built-in glyph bitmaps, shipped as data: black glyph pixels on a
// silver (192, 192, 192) background, looked up by name without regard to case
// ("ARROWLEFT", "Close", ...).

#include <QImage>
#include <QString>

// The named glyph as a 32-bit RGB image, or a null image for an unknown name.
QImage dxLoadGlyphResource(const QString& name);
