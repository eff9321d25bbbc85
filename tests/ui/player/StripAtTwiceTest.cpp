// The strip on a screen at 200 %: as its reference picture shows it, its lines two device
// pixels wide in their own colours, its text drawn at the device's resolution, every
// picture from its drawing at twice the size, and the spectrum's bars as the thread
// draws them, at the device's resolution.

#include "Artwork.h"
#include "Dxcoreutils.h"
#include "OggThread.h"
#include "Panel.h"
#include "PlayerFixture.h"
#include "support/PixelReference.h"

#include <QDirIterator>
#include <QFile>
#include <QLabel>

#include <cmath>
#include <random>

namespace {

const QString kReferences = QStringLiteral(SORVEL_PLAYER_REFERENCES);

class StripAtTwice : public PlayerWindow {
protected:
    static void SetUpTestSuite()
    {
        // Before the application exists: the offscreen screen is at 200 %.
        qputenv("QT_SCALE_FACTOR", "2");
        PlayerWindow::SetUpTestSuite();
    }
    void SetUp() override
    {
        PlayerWindow::SetUp();
        // The buttons' dithering from a known seed, so the picture is always the same.
        form.reset();
        dxSetRandSeed(19);
        form = std::make_unique<TFormMain>(engine->TheTransport(), engine->FrameSink(), settings, app, &playList);
    }
    QImage Strip() { return form->grab().toImage(); }
};

// Where `image` has exactly `colour`, as a black and white mask.
QImage Mask(const QImage& image, const QColor& colour)
{
    QImage mask(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            mask.setPixel(x, y, QColor(image.pixel(x, y)) == colour ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    return mask;
}

} // namespace

TEST_F(StripAtTwice, MatchesItsReference)
{
    ASSERT_EQ(form->devicePixelRatioF(), 2.0);
    const QImage strip = Strip();
    ASSERT_EQ(strip.size(), QSize(436, 98));
    EXPECT_TRUE(MatchesReference(strip, kReferences, QStringLiteral("strip@2x")));
}

TEST_F(StripAtTwice, LinesAreTwoDevicePixelsAndTextIsDrawnAtTheDevicesResolution)
{
    const QImage strip = Strip();
    const QColor silver(192, 192, 192);
    // PanelBack's frame: its outermost two device pixels, silver only, on the right and
    // at the top (the note picture covers a corner at the bottom left).
    for (int y = 0; y < 98; ++y)
        for (int x : {434, 435})
            ASSERT_EQ(QColor(strip.pixel(x, y)), silver) << x << "," << y;
    for (int x = 0; x < 436; ++x)
        for (int y : {0, 1})
            ASSERT_EQ(QColor(strip.pixel(x, y)), silver) << x << "," << y;
    EXPECT_NE(QColor(strip.pixel(433, 80)), silver);

    // The volume track's outline: two device pixels of black, then its yellow.
    const QPoint track = form->ShapeVolume->mapTo(form.get(), QPoint(0, 0)) * 2;
    for (int dx = 30; dx < 60; ++dx) {
        EXPECT_EQ(QColor(strip.pixel(track.x() + dx, track.y())), QColor(Qt::black));
        EXPECT_EQ(QColor(strip.pixel(track.x() + dx, track.y() + 1)), QColor(Qt::black));
        EXPECT_EQ(QColor(strip.pixel(track.x() + dx, track.y() + 2)), QColor(Qt::yellow));
    }

    // The clock's digits in white: not two-by-two squares, as the design's text enlarged.
    const QRect clock(form->LTime->mapTo(form.get(), QPoint(0, 0)) * 2, form->LTime->size() * 2);
    const QImage ink = Mask(strip.copy(clock), Qt::white);
    int inked = 0;
    for (int y = 0; y < ink.height(); ++y)
        for (int x = 0; x < ink.width(); ++x)
            inked += ink.pixel(x, y) == qRgb(0, 0, 0);
    EXPECT_GT(inked, 100);
    EXPECT_FALSE(MadeOfSquares(ink, ink.rect(), 2));
}

TEST_F(StripAtTwice, EveryPictureHasItsDrawingAtTwiceTheSize)
{
    Q_INIT_RESOURCE(playlist);
    int pictures = 0;
    for (const QString& folder : {QStringLiteral(":/player"), QStringLiteral(":/playlist")}) {
        QDirIterator files(folder, {QStringLiteral("*.png")});
        while (files.hasNext()) {
            const QString path = files.next();
            if (path.contains(QLatin1String("@2x")))
                continue;
            ++pictures;
            const QImage small = LoadArtwork(path);
            ASSERT_FALSE(small.isNull()) << path.toStdString();
            EXPECT_EQ(ArtworkFor(small, 1.0), small);
            const QImage large = ArtworkFor(small, 2.0);
            EXPECT_EQ(large.size(), small.size() * 2) << path.toStdString();
            EXPECT_EQ(large.devicePixelRatio(), 2.0) << path.toStdString();
            // A copy, converted as the window converts it, still knows its drawing.
            EXPECT_EQ(ArtworkFor(small.convertToFormat(QImage::Format_RGB32), 2.0).size(), small.size() * 2);
        }
    }
    EXPECT_EQ(pictures, 16);
    EXPECT_EQ(ArtworkFor(QImage(4, 4, QImage::Format_RGB32), 2.0).size(), QSize(4, 4))
        << "a picture not loaded from the resources is drawn as it is";
    // Neither the window nor these loads asked the image plugins (each one, and libjpeg
    // behind one, would stay mapped for the program's life).
    QFile maps(QStringLiteral("/proc/self/maps"));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    EXPECT_FALSE(maps.readAll().contains("/imageformats/"));
}

// At a ratio of 1 the panel's own drawing of the bars is the thread's, pixel for pixel; at
// 2 every bar is two device columns wide and its height is taken at the device's rows.
TEST(SpectrumAtDeviceResolution, SameBarsAsTheThreadAndTwiceAsFine)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> level(-0.05f, 0.2f);
    QImage back(60, 30, QImage::Format_RGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            back.setPixel(x, y, qRgb(x * 4, y * 8, 77));
    const QImage largeBack = back.scaled(120, 60);
    std::array<std::uint8_t, SpectrumFrameSink::kBytes> backBits{};
    for (int row = 0; row < 30; ++row)
        std::memcpy(backBits.data() + row * 240, back.constScanLine(29 - row), 240);

    for (int round = 0; round < 20; ++round) {
        std::array<float, 64> spectrum{};
        for (float& value : spectrum)
            value = level(random);
        spectrum[0] = 1.0f;
        spectrum[2] = std::nanf("");
        spectrum[4] = 29.5f / 180;
        SpectrumFrameSink::Levels levels{};
        for (int bar = 0; bar < 30; ++bar)
            levels[bar] = spectrum[2 * bar];

        std::array<std::uint8_t, SpectrumFrameSink::kBytes> frame{};
        TOggThread::ComposeFrame(spectrum.data(), backBits.data(), frame.data());
        const QImage once = SpectrumImage(levels, back, 1.0);
        ASSERT_EQ(once.size(), QSize(60, 30));
        for (int row = 0; row < 30; ++row)
            for (int x = 0; x < 60; ++x) {
                const std::uint8_t* p = frame.data() + (row * 60 + x) * 4;
                ASSERT_EQ(once.pixel(x, 29 - row) & 0xFFFFFF, qRgb(p[2], p[1], p[0]) & 0xFFFFFF)
                    << "round " << round << " at " << x << "," << row;
            }

        const QImage twice = SpectrumImage(levels, largeBack, 2.0);
        ASSERT_EQ(twice.size(), QSize(120, 60));
        for (int bar = 0; bar < 30; ++bar) {
            const int column = 2 * (59 - 2 * bar);
            const float scaled = levels[bar] * 180;
            const int expected = scaled >= 30 ? 58 : scaled > 0 ? std::min(int(scaled * 2), 58) : 0;
            int rows = 0;
            while (rows < 60 && twice.pixel(column, 59 - rows) != largeBack.pixel(column, 59 - rows))
                ++rows;
            ASSERT_EQ(rows, expected) << "bar " << bar << " of " << levels[bar];
            for (int r = 0; r < rows; ++r)
                ASSERT_EQ(twice.pixel(column + 1, 59 - r), twice.pixel(column, 59 - r)) << "two columns wide";
            ASSERT_EQ(twice.pixel(column - 1, 59), largeBack.pixel(column - 1, 59))
                << "the column between two bars shows the background";
        }
    }
}
