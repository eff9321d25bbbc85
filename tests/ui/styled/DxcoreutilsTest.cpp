#include "Dxcoreutils.h"
#include "StyledTestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>

namespace {

int RoundHalfEven(double v)
{
    const double f = std::floor(v);
    const double frac = v - f;
    if (frac > 0.5)
        return int(f) + 1;
    if (frac < 0.5)
        return int(f);
    return (std::fmod(f, 2.0) == 0.0) ? int(f) : int(f) + 1;
}

int Band(int i, int extent, int bands) { return int(std::round(double(i) * extent / bands)); }

TColor BandColor(TColor first, TColor last, int bands, int i)
{
    auto ch = [&](int f, int l) { return (f + RoundHalfEven(i * (double(l - f) / (bands - 1)))) & 0xFF; };
    return dxRGB(ch(dxGetRValue(first), dxGetRValue(last)), ch(dxGetGValue(first), dxGetGValue(last)),
                 ch(dxGetBValue(first), dxGetBValue(last)));
}

QColor Q(TColor c) { return QColor(dxGetRValue(c), dxGetGValue(c), dxGetBValue(c)); }

// The gradient painted step by step as a canvas would: whole-bitmap fill, every band
// filled with its end coordinate as the size, dither pixels, then the strip copies.
QImage LiteralGradient(int w, int h, TColor start, TColor end, int bands, TdxGradientStyle style, bool dithered)
{
    QImage img(w, h, QImage::Format_RGB888);
    const bool horizontal = style == gsLeft || style == gsRight;
    const bool forward = style == gsLeft || style == gsTop;
    const TColor first = forward ? start : end;
    const TColor last = forward ? end : start;
    const int extent = horizontal ? w : h;
    {
        QPainter p(&img);
        p.fillRect(0, 0, w, h, Q(start));
        for (int i = 0; i < bands; ++i) {
            const int s = Band(i, extent, bands);
            const int e = Band(i + 1, extent, bands);
            const QColor c = Q(BandColor(first, last, bands, i));
            if (horizontal)
                p.fillRect(QRect(s, 0, e, h), c);
            else
                p.fillRect(QRect(0, s, w, e), c);
            if (!dithered || i == 0)
                continue;
            const QColor prev = Q(BandColor(first, last, bands, i - 1));
            const int kmax = extent / (bands - 1);
            if (horizontal) {
                for (int y = 0; y < 16 && y < h; ++y)
                    for (int k = 0; k <= kmax; ++k) {
                        const int x = s + dxRandom(k);
                        if (x >= 0 && x < w)
                            p.fillRect(QRect(x, y, 1, 1), prev);
                    }
            } else {
                for (int k = 0; k <= kmax; ++k) {
                    const int y = s + dxRandom(k);
                    if (y >= 0 && y < h)
                        p.fillRect(QRect(0, y, std::min(16, w), 1), prev);
                }
            }
        }
    }
    const QImage strip = horizontal ? img.copy(0, 0, w, 16) : img.copy(0, 0, 16, h);
    QPainter p(&img);
    if (horizontal) {
        for (int j = 1; j <= h / 16; ++j)
            p.drawImage(0, 16 * j, strip);
    } else {
        for (int j = 0; j <= w / 16; ++j)
            p.drawImage(16 * j, 0, strip);
    }
    return img;
}

bool SameRgb(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (PixelAt(a, x, y) != PixelAt(b, x, y))
                return false;
    return true;
}

}  // namespace

class GradientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestApp(); }
};

TEST_F(GradientTest, MatchesTheStepByStepPaintForEveryStyleAndSize)
{
    const TdxGradientStyle styles[] = {gsLeft, gsTop, gsRight, gsBottom};
    const QSize sizes[] = {{200, 30}, {10, 12}, {73, 21}, {5, 40}, {40, 5}, {17, 33}, {1, 1}, {33, 16}};
    const int bandCounts[] = {2, 3, 16, 64, 255};
    for (TdxGradientStyle style : styles)
        for (QSize size : sizes)
            for (int bands : bandCounts)
                for (bool dithered : {false, true}) {
                    QImage built;
                    dxSetRandSeed(12345u + bands);
                    dxCreateGradientRect(size.width(), size.height(), dxRGB(255, 243, 206), dxRGB(231, 150, 0),
                                         TdxGradientColors(bands), style, dithered, built);
                    const std::uint32_t seedAfterBuild = dxRandSeed();
                    dxSetRandSeed(12345u + bands);
                    const QImage literal = LiteralGradient(size.width(), size.height(), dxRGB(255, 243, 206),
                                                           dxRGB(231, 150, 0), bands, style, dithered);
                    EXPECT_TRUE(SameRgb(built, literal)) << "style " << int(style) << " size " << size.width() << "x"
                                                         << size.height() << " bands " << bands << " dithered "
                                                         << dithered;
                    EXPECT_EQ(seedAfterBuild, dxRandSeed()) << "the same number of random draws";
                    EXPECT_EQ(built.format(), QImage::Format_RGB888);
                }
}

TEST_F(GradientTest, EqualStartAndEndGiveAUniformBitmap)
{
    for (TdxGradientStyle style : {gsLeft, gsTop, gsRight, gsBottom}) {
        QImage img;
        dxCreateGradientRect(50, 40, dxRGB(12, 200, 99), dxRGB(12, 200, 99), 64, style, true, img);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x)
                ASSERT_EQ(PixelAt(img, x, y), dxRGB(12, 200, 99));
    }
}

TEST_F(GradientTest, RightIsLeftWithTheColoursExchanged)
{
    QImage right, left;
    dxCreateGradientRect(90, 20, clRed, clBlue, 16, gsRight, false, right);
    dxCreateGradientRect(90, 20, clBlue, clRed, 16, gsLeft, false, left);
    EXPECT_TRUE(SameRgb(right, left));
    QImage bottom, top;
    dxCreateGradientRect(20, 90, clRed, clBlue, 16, gsBottom, false, bottom);
    dxCreateGradientRect(20, 90, clBlue, clRed, 16, gsTop, false, top);
    EXPECT_TRUE(SameRgb(bottom, top));
}

TEST_F(GradientTest, BandColoursRoundHalfToEvenAndBandEdgesHalfAwayFromZero)
{
    // Step 2.5: band 1 is 0 + round(2.5) = 2, not 3.
    QImage img;
    dxCreateGradientRect(3, 1, dxRGB(0, 0, 0), dxRGB(5, 5, 5), 3, gsLeft, false, img);
    EXPECT_EQ(PixelAt(img, 0, 0), dxRGB(0, 0, 0));
    EXPECT_EQ(PixelAt(img, 1, 0), dxRGB(2, 2, 2));
    EXPECT_EQ(PixelAt(img, 2, 0), dxRGB(5, 5, 5));
    // 4 bands over 6 columns start at 0, 1.5 -> 2, 3, 4.5 -> 5.
    dxCreateGradientRect(6, 2, dxRGB(0, 0, 0), dxRGB(30, 30, 30), 4, gsLeft, false, img);
    const int expected[] = {0, 0, 10, 20, 20, 30};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(dxGetRValue(PixelAt(img, x, 1)), expected[x]) << "column " << x;
}

TEST_F(GradientTest, TenByTwelveWith64BandsEndsEachRowInTheLastBandStartingOnIt)
{
    const TColor start = dxRGB(255, 255, 255), end = dxRGB(231, 235, 239);
    for (bool dithered : {false, true}) {
        QImage img;
        dxCreateGradientRect(10, 12, start, end, 64, gsTop, dithered, img);
        for (int y = 0; y < 12; ++y) {
            int lastBand = -1;
            for (int i = 0; i < 64; ++i)
                if (Band(i, 12, 64) == y)
                    lastBand = i;
            ASSERT_GE(lastBand, 1) << "every row starts at least two bands";
            const TColor want = BandColor(start, end, 64, dithered ? lastBand - 1 : lastBand);
            for (int x = 0; x < 10; ++x)
                EXPECT_EQ(PixelAt(img, x, y), want) << "row " << y << " dithered " << dithered;
        }
    }
}

TEST_F(GradientTest, OutOfRangeSizesAndBandCountsAreSafe)
{
    QImage img(5, 5, QImage::Format_RGB32);
    dxCreateGradientRect(0, 10, clRed, clBlue, 16, gsTop, true, img);
    EXPECT_TRUE(img.isNull());
    QImage one, two;
    dxCreateGradientRect(20, 8, clRed, clBlue, 1, gsLeft, false, one);
    dxCreateGradientRect(20, 8, clRed, clBlue, 2, gsLeft, false, two);
    EXPECT_TRUE(SameRgb(one, two)) << "one band is read as the smallest count, two";
    dxCreateGradientRect(20, 8, clRed, clBlue, 0, gsLeft, false, one);
    EXPECT_TRUE(SameRgb(one, two));
}

TEST(RandomTest, RangeZeroYieldsZeroAndStillAdvances)
{
    dxSetRandSeed(7);
    EXPECT_EQ(dxRandom(0), 0);
    EXPECT_EQ(dxRandSeed(), 7u * 134775813u + 1u);
    for (int i = 0; i < 1000; ++i) {
        const int v = dxRandom(13);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 13);
    }
}

TEST(MulDivTest, RoundsHalfAwayFromZero)
{
    EXPECT_EQ(dxMulDiv(1, 3, 2), 2);
    EXPECT_EQ(dxMulDiv(-1, 3, 2), -2);
    EXPECT_EQ(dxMulDiv(1, 1, 4), 0);
    EXPECT_EQ(dxMulDiv(3, 12, 64), 1);
    EXPECT_EQ(dxMulDiv(100000, 100000, 100000), 100000);
    EXPECT_EQ(dxMulDiv(1, 2, 0), -1);
}

class GlyphColourTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestApp(); }
};

TEST_F(GlyphColourTest, GreyIsTheLightenedChannelMean)
{
    QImage img(4, 1, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(255, 255, 255));
    img.setPixel(1, 0, qRgb(30, 60, 90));
    img.setPixel(2, 0, qRgb(0, 0, 0));
    img.setPixel(3, 0, qRgb(155, 155, 156));
    dxConvertToGray2(img);
    EXPECT_EQ(PixelAt(img, 0, 0), dxRGB(255, 255, 255));
    EXPECT_EQ(PixelAt(img, 1, 0), dxRGB(160, 160, 160));
    EXPECT_EQ(PixelAt(img, 2, 0), dxRGB(100, 100, 100));
    EXPECT_EQ(PixelAt(img, 3, 0), dxRGB(255, 255, 255));
}

TEST_F(GlyphColourTest, ColorizeReplacesExactBlackOnly)
{
    QImage img(3, 1, QImage::Format_RGB888);
    img.setPixel(0, 0, qRgb(0, 0, 0));
    img.setPixel(1, 0, qRgb(1, 0, 0));
    img.setPixel(2, 0, qRgb(192, 192, 192));
    dxColorizeBitmap(img, clAqua);
    EXPECT_EQ(PixelAt(img, 0, 0), clAqua);
    EXPECT_EQ(PixelAt(img, 1, 0), dxRGB(1, 0, 0));
    EXPECT_EQ(PixelAt(img, 2, 0), clSilver);
}

TEST_F(GlyphColourTest, SystemColoursResolveThroughThePalette)
{
    QPalette pal;
    pal.setColor(QPalette::Light, QColor(1, 2, 3));
    pal.setColor(QPalette::Dark, QColor(4, 5, 6));
    EXPECT_EQ(dxColorToRGB(clBtnHighlight, pal), dxRGB(1, 2, 3));
    EXPECT_EQ(dxColorToRGB(clBtnShadow, pal), dxRGB(4, 5, 6));
    EXPECT_EQ(dxColorToRGB(0x00123456, pal), 0x00123456u);
}

class LineAndFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestApp(); }
    void SetUp() override { canvas.fill(Qt::white); }
    // The pixels of the canvas that are not white, as 'X' (or the colour's letter).
    QString Marks(std::initializer_list<std::pair<TColor, char>> legend = {{clBlack, 'X'}})
    {
        QString out;
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                const TColor c = PixelAt(canvas, x, y);
                char mark = c == clWhite ? '.' : '?';
                for (auto [color, letter] : legend)
                    if (c == color)
                        mark = letter;
                out += QChar(mark);
            }
            out += u'/';
        }
        return out;
    }
    QImage canvas{6, 5, QImage::Format_RGB32};
};

TEST_F(LineAndFrameTest, LineLeavesItsEndPointUnpainted)
{
    {
        QPainter p(&canvas);
        p.setPen(Qt::black);
        dxDrawLine(p, 0, 0, 3, 0);
        dxDrawLine(p, 5, 4, 5, 1);
        dxDrawLine(p, 0, 2, 2, 4);
    }
    EXPECT_EQ(Marks(), QString("XXX.../....../X....X/.X...X/.....X/"));
}

TEST_F(LineAndFrameTest, CornerSofteningLinesTouchTheCornerNeighbours)
{
    {
        QPainter p(&canvas);
        p.setPen(Qt::black);
        dxDrawLine(p, 0, 1, 2, 0);
        dxDrawLine(p, 3, 5, 6, 2);
    }
    EXPECT_EQ(Marks(), QString(".X..../X...../....../.....X/....X./"));
}

TEST_F(LineAndFrameTest, FrameLightTopLeftDarkBottomRightAndSwapped)
{
    {
        QPainter p(&canvas);
        dxFrame3d(p, TRect{0, 0, 6, 5}, clRed, clBlue, false);
    }
    EXPECT_EQ(Marks({{clRed, 'L'}, {clBlue, 'D'}}), QString("LLLLL./L....D/L....D/L....D/LDDDDD/"));
    canvas.fill(Qt::white);
    {
        QPainter p(&canvas);
        dxFrame3d(p, TRect{1, 1, 5, 4}, clRed, clBlue, true);
    }
    EXPECT_EQ(Marks({{clRed, 'L'}, {clBlue, 'D'}}), QString("....../.DDD../.D..L./.DLLL./....../"));
}

TEST_F(LineAndFrameTest, BoundLinesAndShrinking)
{
    {
        QPainter p(&canvas);
        dxDrawBoundLines(p, blLeft | blBottom, clBlack, TRect{1, 1, 5, 4});
    }
    EXPECT_EQ(Marks(), QString("....../.X..../.X..../.XXXX./....../"));
    TRect r{0, 0, 20, 10};
    dxAdjustBoundRect(2, true, blLeft | blBottom, r);
    EXPECT_EQ(r, (TRect{3, 2, 18, 7}));
    r = TRect{0, 0, 20, 10};
    dxAdjustBoundRect(1, false, blLeft | blTop | blRight | blBottom, r);
    EXPECT_EQ(r, (TRect{1, 1, 19, 9}));
}

TEST_F(LineAndFrameTest, TransparentDrawingSkipsTheBottomLeftColour)
{
    QImage glyph(2, 2, QImage::Format_RGB32);
    glyph.fill(qRgb(192, 192, 192));
    glyph.setPixel(1, 0, qRgb(0, 0, 0));
    {
        QPainter p(&canvas);
        dxDrawTransparent(p, 2, 1, glyph);
    }
    EXPECT_EQ(Marks(), QString("....../...X../....../....../....../"));
}

struct Handler {
    void A() {}
    void B() {}
};

TEST(MethodsEqualTest, NeedsTheSameObjectAndOperation)
{
    Handler h1, h2;
    EXPECT_TRUE(dxMethodsEqual(&h1, &Handler::A, &h1, &Handler::A));
    EXPECT_FALSE(dxMethodsEqual(&h1, &Handler::A, &h2, &Handler::A));
    EXPECT_FALSE(dxMethodsEqual(&h1, &Handler::A, &h1, &Handler::B));
}
