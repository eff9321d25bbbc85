// The styled controls at a device pixel ratio of 2: every line of the design exactly two
// device pixels wide in its own colour, captions and gradients drawn at the device's
// resolution (not enlarged), and each state as its reference picture shows it.

#include "ControlHarness.h"
#include "Dxbuttons.h"
#include "Fonts.h"
#include "support/PixelReference.h"
#include "support/StyledStates.h"

#include <functional>

namespace {

const QString kReferences = QStringLiteral(SORVEL_STYLED_REFERENCES);
constexpr TColor kOutline = 0x733800;

// A two-colour arrow on a fuchsia ground (the bottom-left pixel: transparent).
QImage ArrowGlyph()
{
    QImage g(7, 7, QImage::Format_RGB32);
    g.fill(qRgb(255, 0, 255));
    for (int y = 0; y < 7; ++y)
        for (int x = 1; x <= 1 + (y < 4 ? y : 6 - y); ++x)
            g.setPixel(x, y, qRgb(0, 96, 0));
    return g;
}

using styled_states::State;
using styled_states::States;

class TwiceTheDevicePixels : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        InstallDesignFonts();
        QPalette pal = form->palette();
        pal.setColor(QPalette::Window, QColor(10, 20, 30));
        form->setPalette(pal);
        Show();
    }
    // A fresh control in each state, the dithering started from the same seed each time.
    void ForEachState(const std::function<TdxCustomControl*()>& make,
                      const std::function<void(const char* state, TdxCustomControl*)>& check)
    {
        for (const State& state : States()) {
            dxSetRandSeed(19);
            TdxCustomControl* control = make();
            control->show();
            state.apply(control, edit);
            check(state.name, control);
            delete control;
        }
    }
    TdxButton* MakeButton()
    {
        auto* button = new TdxButton(form);
        button->setGeometry(10, 10, 73, 21);
        button->setFont(Dotum(12));
        button->SetCaption(QStringLiteral("&Save"));
        button->SetGlyph(ArrowGlyph());
        return button;
    }
};

} // namespace

TEST_F(TwiceTheDevicePixels, EveryButtonStateMatchesItsReference)
{
    ForEachState([this] { return MakeButton(); },
                 [](const char* state, TdxCustomControl* button) {
                     EXPECT_TRUE(MatchesReference(button->PaintToImage(2.0), kReferences,
                                                  QStringLiteral("button-%1@2x").arg(QLatin1String(state))));
                 });
    for (TdxTheme theme : {OfficeXP, WindowsXP})
        ForEachState(
            [this, theme] {
                auto* tool = new TdxToolButton(form);
                tool->move(100, 10);
                tool->Style()->SetTheme(theme);
                tool->SetColor(clAqua);
                return tool;
            },
            [theme](const char* state, TdxCustomControl* tool) {
                EXPECT_TRUE(MatchesReference(tool->PaintToImage(2.0), kReferences,
                                             QStringLiteral("tool-%1-%2@2x")
                                                 .arg(theme == OfficeXP ? "office" : "xp", QLatin1String(state))));
            });
}

// The tool button is nothing but lines, fills and its glyph's pixels: at 2 it is the
// design's picture with each pixel made two by two, no colour in between.
TEST_F(TwiceTheDevicePixels, ToolButtonIsTheDesignWithEveryPixelDoubled)
{
    for (int type = ttArrowLeft; type <= ttRestore; ++type)
        for (TdxTheme theme : {OfficeXP, WindowsXP})
            ForEachState(
                [&] {
                    auto* tool = new TdxToolButton(form);
                    tool->Style()->SetTheme(theme);
                    tool->SetToolType(TdxToolType(type));
                    tool->SetColor(clLime);
                    return tool;
                },
                [&](const char* state, TdxCustomControl* tool) {
                    const QImage twice = tool->PaintToImage(2.0);
                    EXPECT_EQ(twice.size(), QSize(30, 30));
                    EXPECT_EQ(twice.devicePixelRatio(), 2.0);
                    ASSERT_TRUE(Enlarged(tool->PaintToImage(), 2) == twice.convertToFormat(QImage::Format_RGB32))
                        << dxToolTypeName(TdxToolType(type)).toStdString() << " " << state;
                });
}

TEST_F(TwiceTheDevicePixels, ButtonLinesAreTwoDevicePixelsWhileCaptionAndFaceAreDrawnAnew)
{
    auto render = [this](const QString& caption, qreal ratio) {
        dxSetRandSeed(19);
        TdxButton* button = MakeButton();
        button->SetGlyph(QImage());
        button->SetCaption(caption);
        button->show();
        edit->setFocus();
        const QImage image = button->PaintToImage(ratio);
        delete button;
        return image;
    };
    const QImage once = render(QStringLiteral("Save"), 1.0);
    const QImage twice = render(QStringLiteral("Save"), 2.0);
    ASSERT_EQ(twice.size(), QSize(146, 42));

    // The outline: rows 0-1 and 40-41, columns 0-1 and 144-145, in its colour only, and
    // the face right inside it; the softened corners aside.
    for (int x = 6; x < 140; ++x) {
        for (int y : {0, 1, 40, 41})
            ASSERT_EQ(PixelAt(twice, x, y), kOutline) << x << "," << y;
        ASSERT_NE(PixelAt(twice, x, 2), kOutline) << x;
        ASSERT_NE(PixelAt(twice, x, 39), kOutline) << x;
    }
    for (int y = 6; y < 36; ++y)
        for (int x : {0, 1, 144, 145})
            ASSERT_EQ(PixelAt(twice, x, y), kOutline) << x << "," << y;

    // The caption's pixels (where it differs from the bare face) have the device's detail:
    // they are not two-by-two squares, as the design's text enlarged would be.
    const QImage bare = render(QString(), 2.0);
    QImage ink(twice.size(), QImage::Format_RGB32);
    int inked = 0;
    for (int y = 0; y < ink.height(); ++y)
        for (int x = 0; x < ink.width(); ++x) {
            const bool differs = twice.pixel(x, y) != bare.pixel(x, y);
            ink.setPixel(x, y, differs ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
            inked += differs;
        }
    EXPECT_GT(inked, 40);
    EXPECT_FALSE(MadeOfSquares(ink, ink.rect(), 2)) << "the caption is the design's text enlarged";

    // The face's gradient has a band for every device row, not every other one.
    auto colours = [](const QImage& image, int x, int top, int bottom) {
        QSet<QRgb> seen;
        for (int y = top; y <= bottom; ++y)
            seen.insert(image.pixel(x, y));
        return seen.size();
    };
    EXPECT_GT(colours(twice, 6, 2, 39), colours(once, 3, 1, 19) + 5);
}
