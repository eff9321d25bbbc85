#include "Dxcoreutils.h"
#include "StyledTestSupport.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

class TextTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestApp(); }
    void SetUp() override
    {
        font.setFamily(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(12);
        canvas.fill(Qt::white);
        QPalette pal = widget.palette();
        pal.setColor(QPalette::Light, QColor(0, 255, 0));
        pal.setColor(QPalette::Dark, QColor(0, 0, 255));
        widget.setPalette(pal);
    }
    TRect Measure(const QString& text, bool accel, int flags, TRect r = TRect{0, 0, 200, 100})
    {
        QPainter p(&canvas);
        dxRenderText(&widget, p, text, font, true, accel, r, flags | DT_CALCRECT);
        return r;
    }
    void Draw(const QString& text, bool enabled, bool accel, int flags = 0, QColor pen = Qt::black)
    {
        QPainter p(&canvas);
        p.setPen(pen);
        TRect r{4, 4, 196, 56};
        dxRenderText(&widget, p, text, font, enabled, accel, r, flags);
    }
    int CountPixels(std::function<bool(QRgb)> pred) const
    {
        int n = 0;
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                n += pred(canvas.pixel(x, y)) ? 1 : 0;
        return n;
    }
    int Inked() const
    {
        return CountPixels([](QRgb p) { return (p & 0xFFFFFF) != 0xFFFFFF; });
    }
    QFont font;
    QWidget widget;
    QImage canvas{200, 60, QImage::Format_RGB32};
};

TEST_F(TextTest, EmptyCaptionMeasuresOneLineOfTheFont)
{
    const QFontMetrics fm(font);
    const TRect r = Measure(QString(), true, DT_WORDBREAK, TRect{5, 7, 100, 50});
    EXPECT_EQ(r.Left, 5);
    EXPECT_EQ(r.Top, 7);
    EXPECT_EQ(r.Height(), fm.height());
    EXPECT_EQ(r.Width(), fm.horizontalAdvance(u' '));
}

TEST_F(TextTest, LoneAmpersandWithAcceleratorsMeasuresASpaceAndPrintsNothing)
{
    const QFontMetrics fm(font);
    const TRect r = Measure(QStringLiteral("&"), true, 0);
    EXPECT_EQ(r.Height(), fm.height());
    EXPECT_EQ(r.Width(), fm.horizontalAdvance(u' '));
    Draw(QStringLiteral("&"), true, true);
    EXPECT_EQ(Inked(), 0);
    Draw(QStringLiteral("&"), true, false);
    EXPECT_GT(Inked(), 0) << "without accelerators the ampersand is printed";
}

TEST_F(TextTest, AcceleratorIsUnderlinedAndAmpersandsArePrintedWithoutIt)
{
    const QFontMetrics fm(font);
    EXPECT_EQ(Measure(QStringLiteral("&Save"), true, 0).Width(), fm.horizontalAdvance(QStringLiteral("Save")));
    EXPECT_EQ(Measure(QStringLiteral("&Save"), false, 0).Width(), fm.horizontalAdvance(QStringLiteral("&Save")));
    EXPECT_EQ(Measure(QStringLiteral("A&&B"), true, 0).Width(), fm.horizontalAdvance(QStringLiteral("A&B")));

    Draw(QStringLiteral("Save"), true, true);
    const QImage plain = canvas.copy();
    canvas.fill(Qt::white);
    Draw(QStringLiteral("&Save"), true, true);
    const QImage underlined = canvas.copy();
    EXPECT_NE(plain, underlined);
    // The underline lies below the baseline, under the first letter only.
    const int y = 4 + fm.ascent() + fm.underlinePos();
    EXPECT_EQ(PixelAt(underlined, 4 + 1, y), clBlack);
    EXPECT_EQ(PixelAt(underlined, 4 + fm.horizontalAdvance(QStringLiteral("Sa")) + 1, y), clWhite);
}

TEST_F(TextTest, DisabledTextIsEmbossedInThePaletteNeverInThePenColour)
{
    Draw(QStringLiteral("&Disabled text"), false, true, 0, QColor(255, 0, 0));
    EXPECT_EQ(CountPixels([](QRgb p) { return qRed(p) > qGreen(p) + 40 && qRed(p) > qBlue(p) + 40; }), 0);
    const int light = CountPixels([](QRgb p) { return qGreen(p) > 200 && qRed(p) < 60 && qBlue(p) < 60; });
    const int dark = CountPixels([](QRgb p) { return qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60; });
    EXPECT_GT(light, 0);
    EXPECT_GT(dark, 0);
    // Both layers carry the underline: a run under the D in each colour.
    const QFontMetrics fm(font);
    const int y = 4 + fm.ascent() + fm.underlinePos();
    EXPECT_EQ(PixelAt(canvas, 4 + 2, y), dxRGB(0, 0, 255));
    EXPECT_EQ(PixelAt(canvas, 5 + 2, y + 1), dxRGB(0, 255, 0));
}

TEST_F(TextTest, DisabledMeasureEndsAtTheUnshiftedPosition)
{
    TRect enabled{3, 3, 100, 50}, disabled{3, 3, 100, 50};
    QPainter p(&canvas);
    dxRenderText(&widget, p, QStringLiteral("Reload"), font, true, true, enabled, DT_CALCRECT);
    dxRenderText(&widget, p, QStringLiteral("Reload"), font, false, true, disabled, DT_CALCRECT);
    EXPECT_EQ(enabled, disabled);
}

TEST_F(TextTest, WordBreakWrapsAndSingleLineDoesNot)
{
    const QFontMetrics fm(font);
    const int wordWidth = fm.horizontalAdvance(QStringLiteral("Save To"));
    const TRect wrapped = Measure(QStringLiteral("Save To File"), true, DT_WORDBREAK, TRect{0, 0, wordWidth + 2, 100});
    EXPECT_EQ(wrapped.Height(), 2 * fm.height());
    EXPECT_LE(wrapped.Width(), wordWidth + 2);
    const TRect single =
        Measure(QStringLiteral("Save To File"), true, DT_SINGLELINE | DT_WORDBREAK, TRect{0, 0, 500, 100});
    EXPECT_EQ(single.Height(), fm.height());
    EXPECT_EQ(Measure(QStringLiteral("a\nb"), true, 0).Height(), 2 * fm.height());
    EXPECT_EQ(Measure(QStringLiteral("a\nb"), true, DT_SINGLELINE).Height(), fm.height());
}

TEST_F(TextTest, EndEllipsisKeepsALongLineInsideTheRectangle)
{
    const TRect r = Measure(QStringLiteral("A very long caption that does not fit"), true, DT_END_ELLIPSIS | DT_SINGLELINE,
                            TRect{0, 0, 60, 20});
    EXPECT_LE(r.Width(), 60);
    EXPECT_GT(r.Width(), 0);
}

TEST_F(TextTest, DrawFlagsFromAlignment)
{
    int flags = 0;
    dxSetDrawFlags(taCenter, false, flags);
    EXPECT_EQ(flags, 0x8021);
    dxSetDrawFlags(taRightJustify, true, flags);
    EXPECT_EQ(flags, DT_END_ELLIPSIS | DT_RIGHT | DT_WORDBREAK);
    dxSetDrawFlags(taLeftJustify, true, flags);
    EXPECT_EQ(flags, DT_END_ELLIPSIS | DT_WORDBREAK);
}

TEST_F(TextTest, PlaceTextCentresInARectangleAwayFromTheOrigin)
{
    const QFontMetrics fm(font);
    const QString text = QStringLiteral("Hi");
    const int tw = fm.horizontalAdvance(text), th = fm.height();
    QPainter p(&canvas);
    TRect r{40, 10, 140, 50};
    dxPlaceText(&widget, p, text, font, true, true, taCenter, false, r);
    EXPECT_EQ(r.Left, 40 + (100 - tw) / 2);
    EXPECT_EQ(r.Top, 10 + (40 - th) / 2);
    EXPECT_EQ(r.Width(), tw);
    TRect right{40, 10, 140, 50};
    dxPlaceText(&widget, p, text, font, true, true, taRightJustify, false, right);
    EXPECT_EQ(right.Right, 140);
    TRect left{40, 10, 140, 50};
    dxPlaceText(&widget, p, text, font, true, true, taLeftJustify, false, left);
    EXPECT_EQ(left.Left, 40);
}

TEST_F(TextTest, RightToLeftControlMirrorsTheAlignment)
{
    widget.setLayoutDirection(Qt::RightToLeft);
    Draw(QStringLiteral("ab"), true, true);
    const QFontMetrics fm(font);
    // Left-aligned text of a right-to-left control ends at the right edge (196).
    int rightmost = -1;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (PixelAt(canvas, x, y) != clWhite)
                rightmost = std::max(rightmost, x);
    EXPECT_GT(rightmost, 196 - fm.horizontalAdvance(QStringLiteral("ab")) / 2);
    EXPECT_LT(rightmost, 196);
}

TEST_F(TextTest, RightAlignedWrappedLinesShareTheRightEdge)
{
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(QStringLiteral("Save To")) + 4;
    {
        QPainter p(&canvas);
        p.setPen(Qt::black);
        TRect r{10, 4, 10 + width, 56};
        dxRenderText(&widget, p, QStringLiteral("Save To File"), font, true, true, r, DT_WORDBREAK | DT_RIGHT);
    }
    auto rightmostInk = [&](int top, int bottom) {
        int right = -1;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < canvas.width(); ++x)
                if (PixelAt(canvas, x, y) != clWhite)
                    right = std::max(right, x);
        return right;
    };
    const int first = rightmostInk(4, 4 + fm.height());
    const int second = rightmostInk(4 + fm.height(), 4 + 2 * fm.height());
    ASSERT_GT(second, 0) << "two lines";
    EXPECT_LE(std::abs(first - second), 2);
    EXPECT_GE(first, 10 + width - 3);
}
