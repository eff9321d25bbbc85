#include "Dxcoreutils.h"

#include <QGuiApplication>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

TColor dxColorToRGB(TColor color, const QPalette& palette)
{
    if ((color & clSystemColor) == 0)
        return color & 0x00FFFFFF;
    QColor c;
    switch (int(color & 0xFF)) {
    case COLOR_WINDOW: c = palette.color(QPalette::Active, QPalette::Base); break;
    case COLOR_WINDOWTEXT: c = palette.color(QPalette::Active, QPalette::WindowText); break;
    case COLOR_HIGHLIGHT: c = palette.color(QPalette::Active, QPalette::Highlight); break;
    case COLOR_HIGHLIGHTTEXT: c = palette.color(QPalette::Active, QPalette::HighlightedText); break;
    case COLOR_BTNFACE: c = palette.color(QPalette::Active, QPalette::Button); break;
    case COLOR_BTNSHADOW: c = palette.color(QPalette::Active, QPalette::Dark); break;
    case COLOR_GRAYTEXT: c = palette.color(QPalette::Disabled, QPalette::Text); break;
    case COLOR_BTNTEXT: c = palette.color(QPalette::Active, QPalette::ButtonText); break;
    case COLOR_BTNHIGHLIGHT: c = palette.color(QPalette::Active, QPalette::Light); break;
    case COLOR_3DDKSHADOW: c = palette.color(QPalette::Active, QPalette::Shadow); break;
    case COLOR_3DLIGHT: c = palette.color(QPalette::Active, QPalette::Midlight); break;
    case COLOR_INFOTEXT: c = palette.color(QPalette::Active, QPalette::ToolTipText); break;
    case COLOR_INFOBK: c = palette.color(QPalette::Active, QPalette::ToolTipBase); break;
    default: c = palette.color(QPalette::Active, QPalette::Window); break;
    }
    return dxQColorToColor(c);
}

TColor dxColorToRGB(TColor color)
{
    if ((color & clSystemColor) == 0)
        return color & 0x00FFFFFF;
    return dxColorToRGB(color, QGuiApplication::palette());
}

QColor dxColorToQColor(TColor color, const QPalette& palette)
{
    const TColor c = dxColorToRGB(color, palette);
    return QColor(dxGetRValue(c), dxGetGValue(c), dxGetBValue(c));
}

QColor dxColorToQColor(TColor color)
{
    const TColor c = dxColorToRGB(color);
    return QColor(dxGetRValue(c), dxGetGValue(c), dxGetBValue(c));
}

TColor dxQColorToColor(const QColor& color)
{
    return dxRGB(color.red(), color.green(), color.blue());
}

int dxMulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t num = std::int64_t(a) * b;
    const std::int64_t absNum = num < 0 ? -num : num;
    const std::int64_t absDen = c < 0 ? -std::int64_t(c) : std::int64_t(c);
    const std::int64_t q = (2 * absNum + absDen) / (2 * absDen);
    return int(((num < 0) != (c < 0)) ? -q : q);
}

namespace {
// The shared generator state. GUI thread only, like every drawing function here.
std::uint32_t g_randSeed = 0;
}

int dxRandom(int range)
{
    g_randSeed = g_randSeed * 134775813u + 1u;
    if (range <= 0)
        return 0;
    return int((std::uint64_t(std::uint32_t(range)) * g_randSeed) >> 32);
}

std::uint32_t dxRandSeed() { return g_randSeed; }
void dxSetRandSeed(std::uint32_t seed) { g_randSeed = seed; }

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

void fillRgb(std::uint8_t* dst, int count, Rgb c)
{
    for (int i = 0; i < count; ++i) {
        dst[3 * i] = c.r;
        dst[3 * i + 1] = c.g;
        dst[3 * i + 2] = c.b;
    }
}

}  // namespace

// Only the first 16 rows (horizontal styles) or columns (vertical styles) ever receive
// dither pixels, and that strip is then tiled over the whole bitmap, so only the strip is
// built. Each band is filled over [start, end) only: a literal fill reaching further is
// always overpainted by the following bands, and a dither pixel at or beyond its band's
// end is overpainted the same way, so both are skipped. The random draws are made in the
// same order and number as a full paint would make them.
void dxCreateGradientRect(int width, int height, TColor startColor, TColor endColor, TdxGradientColors colors,
                          TdxGradientStyle style, bool dithered, QImage& bitmap)
{
    if (width < 1 || height < 1) {
        bitmap = QImage();
        return;
    }
    if (bitmap.width() != width || bitmap.height() != height || bitmap.format() != QImage::Format_RGB888)
        bitmap = QImage(width, height, QImage::Format_RGB888);

    const int bands = std::clamp(int(colors), 2, 255);
    const bool horizontal = style == gsLeft || style == gsRight;
    const bool forward = style == gsLeft || style == gsTop;
    const TColor first = dxColorToRGB(forward ? startColor : endColor);
    const TColor last = dxColorToRGB(forward ? endColor : startColor);

    std::array<Rgb, 256> table{};
    const double dr = double(dxGetRValue(last) - dxGetRValue(first)) / (bands - 1);
    const double dg = double(dxGetGValue(last) - dxGetGValue(first)) / (bands - 1);
    const double db = double(dxGetBValue(last) - dxGetBValue(first)) / (bands - 1);
    for (int i = 0; i < bands; ++i) {
        // nearbyint rounds half to even in the default rounding mode.
        table[i] = Rgb{std::uint8_t(dxGetRValue(first) + int(std::nearbyint(i * dr))),
                       std::uint8_t(dxGetGValue(first) + int(std::nearbyint(i * dg))),
                       std::uint8_t(dxGetBValue(first) + int(std::nearbyint(i * db)))};
    }

    const int extent = horizontal ? width : height;
    const int scatter = extent / (bands - 1);

    if (horizontal) {
        const int stripRows = std::min(16, height);
        const int rowBytes = 3 * width;
        std::vector<std::uint8_t> strip(std::size_t(stripRows) * rowBytes);
        for (int i = 0; i < bands; ++i) {
            const int s = dxMulDiv(i, extent, bands);
            const int e = dxMulDiv(i + 1, extent, bands);
            fillRgb(strip.data() + 3 * s, e - s, table[i]);
        }
        for (int y = 1; y < stripRows; ++y)
            std::memcpy(strip.data() + std::size_t(y) * rowBytes, strip.data(), rowBytes);
        if (dithered) {
            for (int i = 1; i < bands; ++i) {
                const int s = dxMulDiv(i, extent, bands);
                const int e = dxMulDiv(i + 1, extent, bands);
                const Rgb prev = table[i - 1];
                for (int y = 0; y < stripRows; ++y) {
                    std::uint8_t* row = strip.data() + std::size_t(y) * rowBytes;
                    for (int k = 0; k <= scatter; ++k) {
                        const int x = s + dxRandom(k);
                        if (x < e)
                            fillRgb(row + 3 * x, 1, prev);
                    }
                }
            }
        }
        for (int y = 0; y < height; ++y)
            std::memcpy(bitmap.scanLine(y), strip.data() + std::size_t(y % 16) * rowBytes, rowBytes);
    } else {
        std::vector<Rgb> rows(height);
        for (int i = 0; i < bands; ++i) {
            const int s = dxMulDiv(i, extent, bands);
            const int e = dxMulDiv(i + 1, extent, bands);
            std::fill(rows.begin() + s, rows.begin() + e, table[i]);
        }
        if (dithered) {
            for (int i = 1; i < bands; ++i) {
                const int s = dxMulDiv(i, extent, bands);
                const int e = dxMulDiv(i + 1, extent, bands);
                for (int k = 0; k <= scatter; ++k) {
                    const int y = s + dxRandom(k);
                    if (y < e)
                        rows[y] = table[i - 1];
                }
            }
        }
        // A dithered row covers the whole 16-pixel strip, so after tiling every row of a
        // vertical gradient is one colour.
        for (int y = 0; y < height; ++y)
            fillRgb(bitmap.scanLine(y), width, rows[y]);
    }
}

namespace {

// Brings an image into a 32-bit format whose pixels can be edited as QRgb, keeping alpha.
void toEditable(QImage& image)
{
    if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32)
        return;
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

}  // namespace

void dxConvertToGray2(QImage& bitmap)
{
    if (bitmap.isNull())
        return;
    toEditable(bitmap);
    for (int y = 0; y < bitmap.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(bitmap.scanLine(y));
        for (int x = 0; x < bitmap.width(); ++x) {
            const QRgb p = line[x];
            const int g = std::min(255, (qRed(p) + qGreen(p) + qBlue(p)) / 3 + 100);
            line[x] = qRgba(g, g, g, qAlpha(p));
        }
    }
}

void dxColorizeBitmap(QImage& bitmap, TColor color)
{
    if (bitmap.isNull())
        return;
    toEditable(bitmap);
    const TColor c = dxColorToRGB(color);
    const QRgb rgb = qRgb(dxGetRValue(c), dxGetGValue(c), dxGetBValue(c)) & 0x00FFFFFF;
    for (int y = 0; y < bitmap.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(bitmap.scanLine(y));
        for (int x = 0; x < bitmap.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) == 0)
                line[x] = (line[x] & 0xFF000000) | rgb;
        }
    }
}

void dxDrawLine(QPainter& canvas, int x1, int y1, int x2, int y2)
{
    if (canvas.pen().style() == Qt::NoPen)
        return;
    const QColor color = canvas.pen().color();
    const int dx = x2 - x1;
    const int dy = y2 - y1;
    if (dx == 0 && dy == 0)
        return;
    if (dy == 0) {
        const int left = dx > 0 ? x1 : x2 + 1;
        canvas.fillRect(QRect(left, y1, std::abs(dx), 1), color);
        return;
    }
    if (dx == 0) {
        const int top = dy > 0 ? y1 : y2 + 1;
        canvas.fillRect(QRect(x1, top, 1, std::abs(dy)), color);
        return;
    }
    const int steps = std::max(std::abs(dx), std::abs(dy));
    for (int t = 0; t < steps; ++t) {
        const int x = x1 + dxMulDiv(t, dx, steps);
        const int y = y1 + dxMulDiv(t, dy, steps);
        canvas.fillRect(QRect(x, y, 1, 1), color);
    }
}

namespace {

void polyline(QPainter& canvas, std::initializer_list<QPoint> points)
{
    const QPoint* prev = nullptr;
    for (const QPoint& p : points) {
        if (prev)
            dxDrawLine(canvas, prev->x(), prev->y(), p.x(), p.y());
        prev = &p;
    }
}

}  // namespace

void dxFrame3d(QPainter& canvas, const TRect& rect, TColor topLeftColor, TColor bottomRightColor, bool swap)
{
    if (swap)
        std::swap(topLeftColor, bottomRightColor);
    canvas.save();
    canvas.setPen(QPen(dxColorToQColor(topLeftColor), 1));
    polyline(canvas, {QPoint(rect.Left, rect.Bottom - 1), QPoint(rect.Left, rect.Top), QPoint(rect.Right - 1, rect.Top)});
    canvas.setPen(QPen(dxColorToQColor(bottomRightColor), 1));
    polyline(canvas, {QPoint(rect.Right - 1, rect.Top + 1), QPoint(rect.Right - 1, rect.Bottom - 1),
                      QPoint(rect.Left, rect.Bottom - 1)});
    canvas.restore();
}

void dxDrawBoundLines(QPainter& canvas, TdxBoundLines lines, TColor color, const TRect& rect)
{
    canvas.setPen(QPen(dxColorToQColor(color), 1, Qt::SolidLine));
    if (lines & blLeft)
        dxDrawLine(canvas, rect.Left, rect.Top, rect.Left, rect.Bottom - 1);
    if (lines & blTop)
        dxDrawLine(canvas, rect.Left, rect.Top, rect.Right, rect.Top);
    if (lines & blRight)
        dxDrawLine(canvas, rect.Right - 1, rect.Top, rect.Right - 1, rect.Bottom - 1);
    if (lines & blBottom)
        dxDrawLine(canvas, rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom - 1);
}

void dxAdjustBoundRect(int borderWidth, bool showBoundLines, TdxBoundLines lines, TRect& rect)
{
    rect.Left += borderWidth;
    rect.Top += borderWidth;
    rect.Right -= borderWidth;
    rect.Bottom -= borderWidth;
    if (!showBoundLines)
        return;
    if (lines & blLeft)
        ++rect.Left;
    if (lines & blRight)
        --rect.Right;
    if (lines & blTop)
        ++rect.Top;
    if (lines & blBottom)
        --rect.Bottom;
}

void dxDrawTransparent(QPainter& canvas, int x, int y, const QImage& image)
{
    if (image.isNull())
        return;
    QImage masked = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = masked.pixel(0, masked.height() - 1) & 0x00FFFFFF;
    for (int row = 0; row < masked.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(row));
        for (int col = 0; col < masked.width(); ++col) {
            if ((line[col] & 0x00FFFFFF) == key)
                line[col] = 0;
        }
    }
    canvas.drawImage(x, y, masked);
}
