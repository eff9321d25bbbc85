#pragma once
// A 16-bit stereo PCM WAV file written frame by frame: the songs the end-to-end probes
// make, whose every sample they know.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace wave {

// Frame n of the file: its left and right samples.
using FrameSource = std::function<void(std::uint32_t n, std::int16_t& left, std::int16_t& right)>;

inline bool WriteStereo16(const std::string& path, std::uint32_t rate, std::uint32_t frames, const FrameSource& frame)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    auto put = [f](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            std::fputc(static_cast<int>((v >> (8 * i)) & 0xff), f);
    };
    std::fwrite("RIFF", 1, 4, f);
    put(36 + frames * 4, 4);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(rate, 4);
    put(rate * 4, 4);
    put(4, 2);
    put(16, 2);
    std::fwrite("data", 1, 4, f);
    put(frames * 4, 4);
    for (std::uint32_t n = 0; n < frames; ++n) {
        std::int16_t left = 0, right = 0;
        frame(n, left, right);
        put(static_cast<std::uint16_t>(left), 2);
        put(static_cast<std::uint16_t>(right), 2);
    }
    return std::fclose(f) == 0;
}

} // namespace wave
