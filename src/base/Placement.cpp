#include "Placement.h"

#include <algorithm>

namespace {

std::int64_t clamp64(std::int64_t value, std::int64_t low, std::int64_t high)
{
    return std::max(low, std::min(value, high));
}

// Overlap area in 64-bit arithmetic; the stored rectangle may lie anywhere in 32 bits.
std::int64_t overlapArea(const StoredRect& stored, const QRect& area)
{
    const std::int64_t left = std::max<std::int64_t>(stored.x, area.left());
    const std::int64_t top = std::max<std::int64_t>(stored.y, area.top());
    const std::int64_t right = std::min<std::int64_t>(std::int64_t(stored.x) + std::max(stored.width, 0),
                                                      std::int64_t(area.left()) + area.width());
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t(stored.y) + std::max(stored.height, 0),
                                                       std::int64_t(area.top()) + area.height());
    if (right <= left || bottom <= top)
        return 0;
    return (right - left) * (bottom - top);
}

} // namespace

QRect FitIntoWorkArea(const StoredRect& stored, const QRect& workArea)
{
    if (workArea.width() <= 0 || workArea.height() <= 0)
        return QRect(workArea.topLeft(), QSize(std::max(stored.width, 1), std::max(stored.height, 1)));
    const std::int64_t width = clamp64(stored.width, 1, workArea.width());
    const std::int64_t height = clamp64(stored.height, 1, workArea.height());
    const std::int64_t x = clamp64(stored.x, workArea.left(), std::int64_t(workArea.left()) + workArea.width() - width);
    const std::int64_t y = clamp64(stored.y, workArea.top(), std::int64_t(workArea.top()) + workArea.height() - height);
    return QRect(int(x), int(y), int(width), int(height));
}

QRect ChooseWorkArea(const StoredRect& stored, const QList<QRect>& workAreas)
{
    if (workAreas.isEmpty())
        return {};
    QRect best = workAreas.first();
    std::int64_t bestArea = 0;
    for (const QRect& area : workAreas) {
        const std::int64_t overlap = overlapArea(stored, area);
        if (overlap > bestArea) {
            bestArea = overlap;
            best = area;
        }
    }
    return best;
}

WindowPair KeepListClearOfStrip(const QRect& strip, const QRect& list, const QRect& workArea, const QSize& minimum)
{
    WindowPair pair{strip, list};
    if (!strip.intersects(list) || workArea.isEmpty())
        return pair;
    const int least = std::max(minimum.height(), 1);
    const int width = std::min(list.width(), workArea.width());
    const int roomBelow = workArea.bottom() - strip.bottom();
    const int roomAbove = strip.top() - workArea.top();
    int top = 0;
    int height = 0;
    if (roomBelow >= least || roomBelow >= roomAbove) {
        if (roomBelow < least)  // no room either side: the strip goes up
            pair.strip.moveBottom(std::max(workArea.bottom() - least, workArea.top() + strip.height() - 1));
        top = pair.strip.bottom() + 1;
        height = std::min(list.height(), workArea.bottom() - top + 1);
    } else {
        height = std::min(list.height(), roomAbove);
        top = strip.top() - height;
    }
    const int left = std::clamp(pair.strip.left(), workArea.left(), workArea.right() - width + 1);
    pair.list = QRect(left, top, width, std::max(height, 1));
    return pair;
}
