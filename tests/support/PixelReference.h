#pragma once
// Renderings compared with reference pictures kept beside the tests.
//
// A reference is made by the test itself and looked at by eye once: run the test with
// SORVEL_WRITE_REFERENCES=1 and it writes the reference instead of comparing. A mismatch
// leaves the rendering as <name>.actual.png in the working folder, to look at.

#include <QDir>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

inline ::testing::AssertionResult MatchesReference(const QImage& rendering, const QString& folder, const QString& name)
{
    const QImage actual = rendering.convertToFormat(QImage::Format_RGB32);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (qEnvironmentVariableIntValue("SORVEL_WRITE_REFERENCES") == 1) {
        QDir().mkpath(folder);
        if (!actual.save(path))
            return ::testing::AssertionFailure() << "could not write " << path.toStdString();
        return ::testing::AssertionSuccess();
    }
    QImage expected(path);
    if (expected.isNull())
        return ::testing::AssertionFailure() << "no reference " << path.toStdString()
                                             << " (SORVEL_WRITE_REFERENCES=1 makes it)";
    expected = expected.convertToFormat(QImage::Format_RGB32);
    expected.setDevicePixelRatio(actual.devicePixelRatio());
    if (expected.size() == actual.size() && expected == actual)
        return ::testing::AssertionSuccess();
    actual.save(name + QStringLiteral(".actual.png"));
    int differing = 0;
    if (expected.size() == actual.size())
        for (int y = 0; y < actual.height(); ++y)
            for (int x = 0; x < actual.width(); ++x)
                differing += actual.pixel(x, y) != expected.pixel(x, y);
    return ::testing::AssertionFailure() << name.toStdString() << ": " << actual.width() << "x" << actual.height()
                                         << " against " << expected.width() << "x" << expected.height() << ", "
                                         << differing << " pixels differ";
}

// Every pixel of `image` repeated `factor` x `factor` times: the design's pixels enlarged.
inline QImage Enlarged(const QImage& image, int factor)
{
    QImage large = image.convertToFormat(QImage::Format_RGB32).scaled(image.size() * factor);
    large.setDevicePixelRatio(1);
    return large;
}

// Whether `area` of `image` consists only of `factor` x `factor` squares of one colour
// each, aligned with the image: what an enlarged picture looks like.
inline bool MadeOfSquares(const QImage& image, const QRect& area, int factor)
{
    for (int y = area.top() - area.top() % factor; y + factor - 1 <= area.bottom(); y += factor)
        for (int x = area.left() - area.left() % factor; x + factor - 1 <= area.right(); x += factor)
            for (int dy = 0; dy < factor; ++dy)
                for (int dx = 0; dx < factor; ++dx)
                    if (image.pixel(x + dx, y + dy) != image.pixel(x, y))
                        return false;
    return true;
}
