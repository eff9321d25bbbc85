// What a sink plays, read back as positions in songs made for it.
//
//   sorvel_heard_probe make PATH SONG SECONDS
//       writes song 0 or 1 (support/CodedSong.h): every sample says where it is.
//   sorvel_heard_probe record SOURCE SECONDS
//       records SOURCE (a sink's monitor) in 10 ms pieces and prints one line per piece:
//       "MONOTONIC_MS SONG POSITION_MS", the song and the position of the piece's last
//       frame and the moment it was played (the recording's own delay taken off), or
//       "MONOTONIC_MS -1 -1" when the piece ends in silence.
//
// The sink must take the songs unchanged: 44.1 kHz, 16-bit, at full volume.

#include "support/CodedSong.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kRate = coded::kRate;

int make(const char* path, int song, double seconds)
{
    if (!coded::Write(path, song, seconds)) {
        std::fprintf(stderr, "cannot write %s (too long, or no such song)\n", path);
        return 1;
    }
    return 0;
}

double monotonicMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int record(const char* source, double seconds)
{
    const pa_sample_spec format{PA_SAMPLE_S16LE, kRate, 2};
    constexpr std::size_t kPieceFrames = kRate / 100;
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = kPieceFrames * 4;
    int error = 0;
    pa_simple* in = pa_simple_new(nullptr, "sorvel heard probe", PA_STREAM_RECORD, source, "probe", &format, nullptr,
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
        const coded::Frame frame = coded::DecodeFrame(piece[piece.size() - 2], piece[piece.size() - 1]);
        if (frame.song < 0)
            std::printf("%.1f -1 -1\n", played);
        else
            std::printf("%.1f %d %.1f\n", played, frame.song, frame.position * 1000.0 / kRate);
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
