#pragma once
// Helpers shared by the styled-control tests: one QApplication per test program and
// pixel access in the 0x00BBGGRR colour encoding.

#include "Dxtypes.h"

#include <QApplication>
#include <QImage>

inline QApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "styled_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = nullptr;
    if (!app) {
        if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
            app = existing;
        else
            app = new QApplication(argc, argv);
    }
    return *app;
}

inline TColor PixelAt(const QImage& image, int x, int y)
{
    const QRgb p = image.pixel(x, y);
    return dxRGB(qRed(p), qGreen(p), qBlue(p));
}
