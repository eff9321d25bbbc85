// The strip's pixels: whole texts in crisp fonts, the tool buttons' Office look in aqua on
// the display panel's colour, button corners in that colour, glyphs centred.

#include "ClockGlyphs.h"
#include "Dxglyphs.h"
#include "Panel.h"
#include "PlayerFixture.h"

#include <QEnterEvent>
#include <QFontInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace {

// Pixels of exactly `colour` in `image` within `area`.
int CountColour(const QImage& image, const QRect& area, const QColor& colour)
{
    int count = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += QColor(image.pixel(x, y)) == colour ? 1 : 0;
    return count;
}

// The pixels the label's text has when nothing cuts it: drawn alone on black.
int ReferenceInk(const QLabel* label)
{
    QImage canvas(400, 80, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    painter.setFont(label->font());
    painter.setPen(label->palette().color(QPalette::WindowText));
    painter.drawText(40, 40, label->text());
    painter.end();
    return CountColour(canvas, canvas.rect(), label->palette().color(QPalette::WindowText));
}

// Where `glyph`'s inked pixels (all but its transparent bottom-left colour) lie in `image`,
// searching every offset; (-99, -99) when they are found nowhere whole.
QPoint FindGlyph(const QImage& image, const QImage& glyph)
{
    const QRgb transparent = glyph.pixel(0, glyph.height() - 1);
    for (int dy = -glyph.height(); dy < image.height(); ++dy)
        for (int dx = -glyph.width(); dx < image.width(); ++dx) {
            bool all = true;
            for (int y = 0; y < glyph.height() && all; ++y)
                for (int x = 0; x < glyph.width() && all; ++x) {
                    if (glyph.pixel(x, y) == transparent)
                        continue;
                    const QPoint at(dx + x, dy + y);
                    all = image.rect().contains(at) && image.pixel(at) == glyph.pixel(x, y);
                }
            if (all)
                return {dx, dy};
        }
    return {-99, -99};
}

const QColor kPanel(61, 149, 255);
const QColor kAqua(0, 255, 255);

class StripLook : public PlayerWindow {
protected:
    // The label's text pixels as the strip shows them, within the label and its parent.
    int ShownInk(const QLabel* label)
    {
        const QImage strip = form->grab().toImage();
        const QRect parentArea(label->parentWidget()->mapTo(form.get(), QPoint(0, 0)), label->parentWidget()->size());
        const QRect labelArea(label->mapTo(form.get(), QPoint(0, 0)), label->size());
        return CountColour(strip, labelArea & parentArea, label->palette().color(QPalette::WindowText));
    }
};

TEST_F(StripLook, DesignFacesResolveToTheirStandIns)
{
    EXPECT_EQ(QFontInfo(form->LKBPS->font()).family(), "Liberation Sans");
    EXPECT_EQ(QFontInfo(form->LTime->font()).family(), "NanumGothicCoding");
    EXPECT_EQ(QFontInfo(form->LTitle->font()).family(), "Baekmuk Gulim");
    EXPECT_EQ(form->LTime->font().styleStrategy() & QFont::NoAntialias, QFont::NoAntialias);
    EXPECT_EQ(QFontMetrics(form->LTime->font()).horizontalAdvance("00:00-00:00"), 77)
        << "fixed pitch, seven pixels a character, as the clock's width expects";
}

TEST_F(StripLook, NoTextIsClipped)
{
    ASSERT_EQ(form->LTitle->text(), "상생의 음악과 함께...");
    EXPECT_EQ(ShownInk(form->LTitle), ReferenceInk(form->LTitle)) << "the title shown before any song";

    const std::pair<QLabel*, QStringList> cases[] = {
        {form->LKBPS, {"128KB", "320KB", "411KB", " 64KB"}},
        {form->LFrequency, {"44KH", "48KH", " 8KH", "176K", "384K"}},
        {form->LTime, {"00:00-00:00", "59:59-59:59", "01:05-03:40"}},
    };
    for (const auto& [label, texts] : cases)
        for (const QString& text : texts) {
            label->setText(text);
            const int reference = ReferenceInk(label);
            ASSERT_GT(reference, 10) << "the text draws in exactly its colour (no antialiasing)";
            EXPECT_EQ(ShownInk(label), reference) << label->objectName().toStdString() << " \"" << text.toStdString()
                                                  << "\"";
        }

    for (const QString& title : {QStringLiteral("상생의 음악과 함께..."), QStringLiteral("gypq 바다.mp3"),
                                 QStringLiteral("Jojo - Leave (Get Out).ogg")}) {
        form->LTitle->setText(title);
        form->ScrollTitle(true);
        const int reference = ReferenceInk(form->LTitle);
        ASSERT_GT(reference, 10);
        EXPECT_EQ(ShownInk(form->LTitle), reference) << title.toStdString() << ": Korean tops and descenders whole";
    }

    // The measure sees a single cut column: two pixels narrower (the 1 starts with a blank
    // column), "128KB" loses the left column of the 1's stem.
    form->LKBPS->setText("128KB");
    form->LKBPS->resize(25, 12);
    EXPECT_LT(ShownInk(form->LKBPS), ReferenceInk(form->LKBPS));
}

// The clock's text is measured from its characters' ink, known once: the baseline and
// the size come out as when the whole text is laid out.
TEST_F(StripLook, LabelsMeasureAsciiTextAsTheWholeTextMeasures)
{
    for (StripLabel* label : {form->LTime, form->LKBPS, form->LTitle}) {
        for (const QString& text : {QStringLiteral("00:00-00:00"), QStringLiteral("59:59-59:59"), QStringLiteral(" 8KH"),
                                    QStringLiteral("gypq Jojo - Leave (Get Out).ogg"), QStringLiteral("~`'_,|{}"),
                                    QStringLiteral(" "), QString()}) {
            label->setText(text);
            const QFontMetrics metrics(label->font());
            const QRect ink = metrics.tightBoundingRect(text);
            const int top = ink.isEmpty() ? 0 : ink.top();
            const int bottom = ink.isEmpty() ? 0 : ink.top() + ink.height();
            const std::string what = label->objectName().toStdString() + " \"" + text.toStdString() + "\"";
            EXPECT_EQ(label->Baseline(), std::max(metrics.ascent(), -top)) << what;
            EXPECT_EQ(label->sizeHint(),
                      QSize(metrics.horizontalAdvance(text), std::max(metrics.ascent(), -top) + std::max(metrics.descent(), bottom)))
                << what;
        }
    }
}

// The clock is drawn from a picture per character: the same pixels as the text laid out
// whole, at 100 % and 200 %; a font without a fixed pitch is laid out as before.
TEST_F(StripLook, TheClockFromItsCharactersIsTheClockLaidOut)
{
    ClockGlyphs glyphs;
    const QFont clock = form->LTime->font();
    for (const qreal ratio : {1.0, 2.0}) {
        for (const QString& text : {QStringLiteral("00:00-00:00"), QStringLiteral("12:34-56:78"),
                                    QStringLiteral("9.5/1 -")}) {
            auto blank = [&] {
                QImage image(QSize(90, 16) * ratio, QImage::Format_ARGB32_Premultiplied);
                image.setDevicePixelRatio(ratio);
                image.fill(Qt::transparent);
                return image;
            };
            QImage whole = blank();
            QImage pieces = blank();
            {
                QPainter painter(&whole);
                painter.setFont(clock);
                painter.setPen(Qt::white);
                painter.drawText(3, 11, text);
            }
            {
                QPainter painter(&pieces);
                ASSERT_TRUE(glyphs.Draw(painter, 3, 11, clock, Qt::white, text)) << text.toStdString();
            }
            EXPECT_EQ(whole, pieces) << text.toStdString() << " at " << ratio;
            int advance = 0;
            ASSERT_TRUE(glyphs.Advance(clock, text, advance));
            EXPECT_EQ(advance, QFontMetrics(clock).horizontalAdvance(text));
        }
    }
    int advance = 0;
    EXPECT_FALSE(glyphs.Advance(clock, QStringLiteral("00:00 AM"), advance)) << "not a clock's characters";
    EXPECT_FALSE(glyphs.Advance(form->LTitle->font(), QStringLiteral("00:00"), advance)) << "no fixed pitch";
}

TEST_F(StripLook, ToolButtonsShowTheOfficeLookInAquaOnThePanelColour)
{
    QImage tray = form->BToTray->PaintToImage();
    EXPECT_EQ(QColor(tray.pixel(0, 0)), kPanel) << "the parent's colour as fill";
    EXPECT_EQ(QColor(tray.pixel(4, 5)), kAqua) << "the popup glyph in aqua";
    EXPECT_EQ(QColor(tray.pixel(7, 8)), kAqua);
    EXPECT_EQ(QColor(form->dxToolButton2->PaintToImage().pixel(1, 1)), kPanel);

    form->show();
    QEnterEvent enter(QPointF(7, 7), QPointF(7, 7), QPointF(form->BToTray->mapToGlobal(QPoint(7, 7))));
    QApplication::sendEvent(form->BToTray, &enter);
    tray = form->BToTray->PaintToImage();
    EXPECT_EQ(QColor(tray.pixel(0, 0)), QColor(0, 51, 102)) << "dark blue outline while hovered";
    EXPECT_EQ(QColor(tray.pixel(1, 1)), QColor(181, 190, 214));
    EXPECT_EQ(QColor(tray.pixel(4, 5)), kAqua);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(7, 7), QPointF(form->BToTray->mapToGlobal(QPoint(7, 7))),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->BToTray, &press);
    tray = form->BToTray->PaintToImage();
    EXPECT_EQ(QColor(tray.pixel(1, 1)), QColor(153, 153, 204)) << "lilac while pressed";
    EXPECT_EQ(QColor(tray.pixel(4, 5)), QColor(Qt::white));
    EXPECT_EQ(QColor(tray.pixel(3, 4)), QColor(153, 153, 204)) << "never shifted";
}

TEST_F(StripLook, PushButtonCornersTakeThePanelColour)
{
    for (TdxButton* button : {form->BPlay, form->BStop, form->dxButton1, form->BPlayList}) {
        const QImage image = button->PaintToImage();
        for (const QPoint corner : {QPoint(0, 0), QPoint(image.width() - 1, 0), QPoint(0, image.height() - 1),
                                    QPoint(image.width() - 1, image.height() - 1)})
            EXPECT_EQ(QColor(image.pixel(corner)), kPanel) << button->objectName().toStdString();
    }
}

TEST_F(StripLook, GlyphsAreCentredAsOneBlockWithTheEmptyCaption)
{
    for (TdxButton* button : {form->BPlay, form->BStop, form->dxButton1, form->BPlayList}) {
        const QImage glyph = button->Glyph();
        const int space = QFontMetrics(button->font()).horizontalAdvance(QLatin1Char(' '));
        const QPoint expected((button->width() - glyph.width() - space) / 2, (button->height() - glyph.height()) / 2);
        const QPoint found = FindGlyph(button->PaintToImage(), glyph);
        EXPECT_EQ(found, expected) << button->objectName().toStdString();
        EXPECT_GE(found.x(), 1) << "no column of the glyph under the outline";
        EXPECT_LE(found.x() + glyph.width(), button->width() - 1);
    }
    EXPECT_EQ(FindGlyph(form->BPlay->PaintToImage(), form->BPlay->Glyph()).x(), 5);
    EXPECT_EQ(FindGlyph(form->BPlayList->PaintToImage(), form->BPlayList->Glyph()).x(), 2)
        << "the bullet column shows";
}

} // namespace
