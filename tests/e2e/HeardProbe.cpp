// What a sink plays, read back as positions in songs made for it.
//
//   sorvel_heard_probe make PATH SONG SECONDS
//       writes a 44.1 kHz stereo 16-bit WAV whose every sample pair says which frame of
//       which song (0..1) it is: left 16 k - 16376 with k = song x 1024 + frame / 2048,
//       right 16 (frame mod 2048) - 16376. Silence (0, 0) is no valid pair.
//   sorvel_heard_probe record SOURCE SECONDS
//       records SOURCE (a sink's monitor) in 10 ms pieces and prints one line per piece:
//       "MONOTONIC_MS SONG POSITION_MS", the song and the position of the piece's last
//       frame and the moment it was played (the recording's own delay taken off), or
//       "MONOTONIC_MS -1 -1" when the piece ends in silence.
//
// The sink must take the songs unchanged: 44.1 kHz, 16-bit, at full volume.

#include <pulse/error.h>
#include <pulse/simple.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;

std::int16_t coded(int k)
{
    return static_cast<std::int16_t>(16 * k - 16376);
}

// The k of a coded value, or -1 when the value is not on the grid.
int decode(int value)
{
    const int shifted = value + 16376;
    const int k = (shifted + 8) / 16;
    if (shifted < -8 || k > 2047 || std::abs(shifted - 16 * k) > 3)
        return -1;
    return k;
}

void put32(std::FILE* f, std::uint32_t v)
{
    const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

void put16(std::FILE* f, std::uint16_t v)
{
    const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

int make(const char* path, int song, double seconds)
{
    const auto frames = static_cast<std::uint32_t>(seconds * kRate);
    if (frames / 2048 >= 1024 || song < 0 || song > 1) {
        std::fprintf(stderr, "too long, or no such song\n");
        return 2;
    }
    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return 1;
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + frames * 4);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);
    put16(f, 1);
    put16(f, 2);
    put32(f, kRate);
    put32(f, kRate * 4);
    put16(f, 4);
    put16(f, 16);
    std::fwrite("data", 1, 4, f);
    put32(f, frames * 4);
    for (std::uint32_t n = 0; n < frames; ++n) {
        put16(f, static_cast<std::uint16_t>(coded(static_cast<int>(song * 1024 + n / 2048))));
        put16(f, static_cast<std::uint16_t>(coded(static_cast<int>(n % 2048))));
    }
    return std::fclose(f) == 0 ? 0 : 1;
}

double monotonicMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int record(const char* source, double seconds)
{
    const pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, 2};
    constexpr std::size_t kPieceFrames = kRate / 100;
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = kPieceFrames * 4;
    int error = 0;
    pa_simple* in = pa_simple_new(nullptr, "sorvel heard probe", PA_STREAM_RECORD, source, "probe", &spec, nullptr,
                                  &attr, &error);
    if (!in) {
        std::fprintf(stderr, "cannot record %s: %s\n", source, pa_strerror(error));
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // read while it is written
    std::vector<std::int16_t> piece(kPieceFrames * 2);
    const double end = monotonicMs() + seconds * 1000.0;
    while (monotonicMs() < end) {
        if (pa_simple_read(in, piece.data(), piece.size() * sizeof(std::int16_t), &error) < 0)
            break;
        const double now = monotonicMs();
        const pa_usec_t delay = pa_simple_get_latency(in, &error);
        const double played = now - static_cast<double>(delay) / 1000.0;
        const int high = decode(piece[piece.size() - 2]);
        const int low = decode(piece[piece.size() - 1]);
        if (high < 0 || low < 0) {
            std::printf("%.1f -1 -1\n", played);
            continue;
        }
        const long frame = static_cast<long>(high % 1024) * 2048 + low;
        std::printf("%.1f %d %.1f\n", played, high / 1024, frame * 1000.0 / kRate);
    }
    std::fflush(stdout);
    pa_simple_free(in);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && argc == 5)
        return make(argv[2], std::atoi(argv[3]), std::atof(argv[4]));
    if (mode == "record" && argc == 4)
        return record(argv[2], std::atof(argv[3]));
    std::fprintf(stderr, "usage: %s make PATH SONG SECONDS | record SOURCE SECONDS\n", argv[0]);
    return 2;
}
