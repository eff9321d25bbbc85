#include "Bars.h"

#include <algorithm>

namespace bars {

int SeekTargetMs(int lengthMs, int offset, int range)
{
    if (range <= 0)
        return 0;
    // Rounded up, so that the position it gives puts the knob back on the same pixel
    // (truncated, the knob would drop back one pixel after most seeks).
    return static_cast<int>((static_cast<std::int64_t>(lengthMs) * offset + range - 1) / range);
}

int MsUntilNextSecond(std::int64_t timeMs)
{
    return static_cast<int>(1000 - (std::max<std::int64_t>(timeMs, 0) % 1000));
}

int MsUntilKnobMoves(int range, std::int64_t timeMs, std::int64_t lengthMs)
{
    if (range <= 0 || lengthMs <= 0 || timeMs >= lengthMs)
        return -1;
    timeMs = std::max<std::int64_t>(timeMs, 0);
    const std::int64_t pixel = range * timeMs / lengthMs;
    if (pixel >= range)
        return -1;
    // The first time at which range x time / length reaches the next pixel.
    const std::int64_t next = ((pixel + 1) * lengthMs + range - 1) / range;
    return static_cast<int>(std::max<std::int64_t>(next - timeMs, 1));
}

bool KnobMovesWithClock(int range, std::int64_t lengthMs)
{
    return range > 0 && lengthMs >= static_cast<std::int64_t>(range) * 1000;
}

QString PositionWords(std::int64_t positionMs, std::int64_t lengthMs)
{
    auto words = [](std::int64_t ms) {
        const std::int64_t seconds = std::max<std::int64_t>(ms, 0) / 1000;
        if (seconds >= 3600)
            return QString::asprintf("%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                                     static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
        return QString::asprintf("%lld:%02lld", static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60));
    };
    return words(positionMs) + QStringLiteral(" of ") + words(lengthMs);
}

QString KbpsText(int kbps)
{
    return QString::asprintf("%3dKB", kbps % 1000);
}

QString KhzText(int khz)
{
    // The label holds four characters: rates of 100 kHz and more keep all three digits
    // and drop the H, so 176.4 kHz never reads as 76.
    if (khz >= 100)
        return QString::asprintf("%dK", std::min(khz, 999));
    return QString::asprintf("%2dKH", std::max(khz, 0));
}

int NextTitleLeft(bool reset, int left, int titleWidth, int stripWidth)
{
    if (reset)
        left = titleWidth > stripWidth ? 15 : stripWidth / 2 - titleWidth / 2;
    if (titleWidth > stripWidth) {
        left -= 1;
        if (left + titleWidth < stripWidth - 20)
            left = 15;
    }
    return left;
}

} // namespace bars
