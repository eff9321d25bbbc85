#pragma once
// ReplayGain: the loudness a song's tags state, and the factor that evens it out. The tags
// come in several spellings: REPLAYGAIN_TRACK_GAIN / _PEAK and REPLAYGAIN_ALBUM_GAIN / _PEAK
// (Vorbis and FLAC comments, ID3v2 TXXX frames, APEv2, MP4 freeform atoms; any letter
// case, the gain as "-6.20 dB"), and Opus's R128_TRACK_GAIN / R128_ALBUM_GAIN, a whole
// number of 1/256 dB towards -23 LUFS, 5 dB below ReplayGain's reference. Pure; any thread.

#include <optional>
#include <string_view>

struct ReplayGainTags {
    std::optional<double> trackGainDb;
    std::optional<double> trackPeak;
    std::optional<double> albumGainDb;
    std::optional<double> albumPeak;

    bool Empty() const { return !trackGainDb && !albumGainDb; }
    bool operator==(const ReplayGainTags&) const = default;
};

// Takes one tag into `tags` when it is one of the above and its value reads; anything
// else is left alone. A gain outside +-60 dB or a peak that is not above 0 is no value.
void TakeReplayGainTag(ReplayGainTags& tags, std::string_view key, std::string_view value);

// The factor the song's samples are multiplied by: the album gain when `album` is asked
// and the tags have one, else the track gain, else the album gain; 1 without either. The
// stated peak of the gain used keeps the loudest sample at or below full scale.
float ReplayGainFactor(const ReplayGainTags& tags, bool album);
