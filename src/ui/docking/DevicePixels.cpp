#include "DevicePixels.h"

#include <QtMath>

#include <optional>

int ToDevice(int logical, int origin, double factor)
{
    return origin + qRound((logical - origin) * factor);
}

int FromDevice(int device, int origin, double factor)
{
    return factor > 0 ? origin + qRound((device - origin) / factor) : device;
}

QPoint ToDevice(QPoint logical, const ScreenScale& scale)
{
    return {ToDevice(logical.x(), scale.origin.x(), scale.factor), ToDevice(logical.y(), scale.origin.y(), scale.factor)};
}

QPoint FromDevice(QPoint device, const ScreenScale& scale)
{
    return {FromDevice(device.x(), scale.origin.x(), scale.factor),
            FromDevice(device.y(), scale.origin.y(), scale.factor)};
}

QRect DeviceRect(const QRect& logical, const ScreenScale& scale)
{
    return {ToDevice(logical.topLeft(), scale),
            QSize(qRound(logical.width() * scale.factor), qRound(logical.height() * scale.factor))};
}

namespace {

// One axis of a rectangle: near and far edge, far exclusive.
struct Span {
    int near;
    int far;
};

Span horizontal(const QRect& r)
{
    return {r.left(), r.left() + r.width()};
}

Span vertical(const QRect& r)
{
    return {r.top(), r.top() + r.height()};
}

// Touching or overlapping, as the docking manager's contact test counts it.
bool meet(Span a, Span b)
{
    return a.near <= b.far && b.near <= a.far;
}

// The device edges of `others` that the logical span `mine` shares on one axis, while the
// windows meet on the other.
void alignAxis(Span mine, Span (*axis)(const QRect&), Span (*across)(const QRect&), const QRect& logical,
               const QList<PlacedRect>& others, std::optional<int>& near, std::optional<int>& far)
{
    for (const PlacedRect& other : others) {
        if (!meet(across(logical), across(other.logical)))
            continue;
        const Span theirs = axis(other.logical);
        const Span theirsOnScreen = axis(other.device);
        if (mine.near == theirs.near)
            near = theirsOnScreen.near;
        if (mine.near == theirs.far)
            near = theirsOnScreen.far;
        if (mine.far == theirs.near)
            far = theirsOnScreen.near;
        if (mine.far == theirs.far)
            far = theirsOnScreen.far;
    }
}

Span place(Span device, std::optional<int> near, std::optional<int> far, bool resizing)
{
    const int length = device.far - device.near;
    if (resizing)
        return {near.value_or(device.near), far.value_or(device.far)};
    if (near)
        return {*near, *near + length};
    if (far)
        return {*far - length, *far};
    return device;
}

} // namespace

QRect AlignedDeviceRect(const QRect& logical, const QRect& device, const QList<PlacedRect>& others, bool resizing)
{
    std::optional<int> left, right, top, bottom;
    alignAxis(horizontal(logical), horizontal, vertical, logical, others, left, right);
    alignAxis(vertical(logical), vertical, horizontal, logical, others, top, bottom);
    const Span x = place(horizontal(device), left, right, resizing);
    const Span y = place(vertical(device), top, bottom, resizing);
    return {x.near, y.near, x.far - x.near, y.far - y.near};
}
