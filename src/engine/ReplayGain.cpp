#include "ReplayGain.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace {

constexpr double kLargestGainDb = 60.0;
// R128 gains are towards -23 LUFS; ReplayGain's reference is 5 dB louder.
constexpr double kR128ToReplayGainDb = 5.0;

std::string upper(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// The number that starts `text` ("-6.20 dB", "+1.5", "0.988"); nothing when none does.
std::optional<double> leadingNumber(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data() || !std::isfinite(value))
        return std::nullopt;
    const std::string_view rest = trimmed(std::string_view(end, static_cast<std::size_t>(text.data() + text.size() - end)));
    if (!rest.empty() && upper(rest) != "DB")
        return std::nullopt;
    return value;
}

std::optional<double> gain(std::optional<double> db)
{
    if (!db || std::fabs(*db) > kLargestGainDb)
        return std::nullopt;
    return db;
}

std::optional<double> peak(std::optional<double> value)
{
    if (!value || *value <= 0)
        return std::nullopt;
    return value;
}

} // namespace

void TakeReplayGainTag(ReplayGainTags& tags, std::string_view key, std::string_view value)
{
    const std::string name = upper(trimmed(key));
    if (name == "REPLAYGAIN_TRACK_GAIN") {
        if (auto db = gain(leadingNumber(value)))
            tags.trackGainDb = db;
    } else if (name == "REPLAYGAIN_ALBUM_GAIN") {
        if (auto db = gain(leadingNumber(value)))
            tags.albumGainDb = db;
    } else if (name == "REPLAYGAIN_TRACK_PEAK") {
        if (auto p = peak(leadingNumber(value)))
            tags.trackPeak = p;
    } else if (name == "REPLAYGAIN_ALBUM_PEAK") {
        if (auto p = peak(leadingNumber(value)))
            tags.albumPeak = p;
    } else if (name == "R128_TRACK_GAIN" || name == "R128_ALBUM_GAIN") {
        // A signed whole number in 1/256 dB.
        const std::string_view text = trimmed(value);
        long q78 = 0;
        const auto [end, error] = std::from_chars(text.data() + (text.starts_with('+') ? 1 : 0),
                                                  text.data() + text.size(), q78);
        if (error != std::errc() || end != text.data() + text.size() || q78 < -32768 || q78 > 32767)
            return;
        const std::optional<double> db = gain(static_cast<double>(q78) / 256.0 + kR128ToReplayGainDb);
        if (db)
            (name == "R128_TRACK_GAIN" ? tags.trackGainDb : tags.albumGainDb) = db;
    }
}

float ReplayGainFactor(const ReplayGainTags& tags, bool album)
{
    const bool useAlbum = tags.albumGainDb && (album || !tags.trackGainDb);
    const std::optional<double> db = useAlbum ? tags.albumGainDb : tags.trackGainDb;
    if (!db)
        return 1.0f;
    double factor = std::pow(10.0, *db / 20.0);
    const std::optional<double> loudest = useAlbum ? tags.albumPeak : tags.trackPeak;
    if (loudest && *loudest * factor > 1.0)
        factor = 1.0 / *loudest;
    return static_cast<float>(factor);
}
