#pragma once
// Songs whose every sample pair says which frame of which song it is, so that what a
// sink plays can be read back as a song and a position. 44.1 kHz stereo 16-bit WAV:
// left 16 k - 16376 with k = song x 1024 + frame / 2048, right 16 (frame mod 2048) - 16376.
// Silence (0, 0) is no valid pair. Songs 0 and 1, up to 47 s each. The sink must take them
// unchanged (44.1 kHz, 16-bit, full volume).

#include "WaveFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace coded {

constexpr int kRate = 44100;

inline std::int16_t Value(int k)
{
    return static_cast<std::int16_t>(16 * k - 16376);
}

// The k of a coded value, or -1 when the value is not on the grid.
inline int Decode(int value)
{
    const int shifted = value + 16376;
    const int k = (shifted + 8) / 16;
    if (shifted < -8 || k > 2047 || std::abs(shifted - 16 * k) > 3)
        return -1;
    return k;
}

struct Frame {
    int song = -1;        // -1: not a coded frame (silence, or another sound)
    long position = 0;    // in frames
};

inline Frame DecodeFrame(std::int16_t left, std::int16_t right)
{
    const int high = Decode(left);
    const int low = Decode(right);
    if (high < 0 || low < 0)
        return {};
    return {high / 1024, static_cast<long>(high % 1024) * 2048 + low};
}

// Frames [first, first + frames) of the song: pieces written so play back as the whole.
inline bool WritePiece(const std::string& path, int song, std::uint32_t first, std::uint32_t frames)
{
    if ((first + frames) / 2048 >= 1024 || song < 0 || song > 1)
        return false;
    return wave::WriteStereo16(path, kRate, frames, [song, first](std::uint32_t n, std::int16_t& left, std::int16_t& right) {
        left = Value(static_cast<int>(song * 1024 + (first + n) / 2048));
        right = Value(static_cast<int>((first + n) % 2048));
    });
}

inline bool Write(const std::string& path, int song, double seconds)
{
    return WritePiece(path, song, 0, static_cast<std::uint32_t>(seconds * kRate));
}

} // namespace coded
