// Times the gradient builder, which runs four times on every resize of a styled button,
// and one full repaint of a button.

#include "Dxbuttons.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <functional>

namespace {

double MicrosecondsPerCall(int calls, const std::function<void()>& work)
{
    for (int i = 0; i < calls / 10 + 1; ++i)
        work();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i)
        work();
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / calls;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QImage image;
    const int calls = 20000;

    const double top = MicrosecondsPerCall(calls, [&] {
        dxCreateGradientRect(200, 30, 0xFFFFFF, 0xE7EBEF, 64, gsTop, true, image);
    });
    std::printf("gradient 200x30, 64 bands, gsTop, dithered:    %8.2f us\n", top);
    const double topPlain = MicrosecondsPerCall(calls, [&] {
        dxCreateGradientRect(200, 30, 0xFFFFFF, 0xE7EBEF, 64, gsTop, false, image);
    });
    std::printf("gradient 200x30, 64 bands, gsTop, plain:       %8.2f us\n", topPlain);
    const double left = MicrosecondsPerCall(calls, [&] {
        dxCreateGradientRect(200, 30, 0xFFFFFF, 0xE7EBEF, 64, gsLeft, true, image);
    });
    std::printf("gradient 200x30, 64 bands, gsLeft, dithered:   %8.2f us\n", left);
    const double fresh = MicrosecondsPerCall(calls, [&] {
        QImage target;
        dxCreateGradientRect(200, 30, 0xFFFFFF, 0xE7EBEF, 64, gsTop, true, target);
    });
    std::printf("gradient 200x30 into a new image each time:    %8.2f us\n", fresh);

    TdxButton button;
    button.SetCaption(QStringLiteral("Save To File"));
    button.resize(200, 30);
    button.PaintToImage();
    int width = 200;
    const double resize = MicrosecondsPerCall(2000, [&] {
        width = width == 200 ? 201 : 200;
        button.resize(width, 30);
        button.HookResized();
    });
    std::printf("button resize (four gradients), 200x30:        %8.2f us\n", resize);
    const double paint = MicrosecondsPerCall(2000, [&] { button.PaintToImage(); });
    std::printf("button repaint, 200x30 with caption:           %8.2f us\n", paint);
    return 0;
}
