// What playing at each song's own rate costs, through the PulseAudio output. Run it
// beside a sound server with a null sink, e.g. tests/engine/with_sound_server.sh
// build/bench/engine/bench_rate_change [SECONDS].
//
// 1. The gap where the output changes rate: a 44.1 kHz song with a 48 kHz song of
//    another folder queued behind it, taken over as the transport does once the first
//    has played out; the gap is the silence between the two in a recording of the sink,
//    against the same with a 44.1 kHz song of another folder (no change, no gap).
// 2. CPU of the whole process while a 24-bit 96 kHz FLAC plays, against a 16-bit
//    44.1 kHz one (SECONDS of each, 10 by default).

#include "fsound.h"
#include "support/AudioFixtures.h"
#include "support/SoundServer.h"

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using fixtures::run;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void waitUntil(const std::function<bool()>& done)
{
    while (!done())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// The longest run of silence, in ms, between the first and the last sound of an s16le
// stereo 44.1 kHz recording.
double longestSilenceMs(const std::string& raw)
{
    std::ifstream in(raw, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
    const std::size_t frames = bytes.size() / 4;
    long first = -1, last = -1, longest = 0, quiet = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const bool silent = std::abs(samples[i * 2]) < 30;
        if (!silent) {
            if (first >= 0)
                longest = std::max(longest, quiet);
            else
                first = static_cast<long>(i);
            last = static_cast<long>(i);
        }
        quiet = silent ? quiet + 1 : 0;
    }
    return last > first ? longest * 1000.0 / 44100 : -1;
}

// Plays `first`, then `second` queued behind it; the window thread's part of the change
// as the transport does it (at the end of the first: take the second back, stop the first,
// start the second). Returns the gap heard, in ms, and the time the change took on this
// thread.
std::pair<double, double> gapBetween(const std::string& first, const std::string& second, const std::string& raw)
{
    const std::string pid = run("parec -d \"$(pactl get-default-sink).monitor\" --format=s16le --rate=44100 --channels=2 --raw > '"
                                + raw + "' 2>/dev/null & echo $!");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    FSOUND_STREAM* a = FSOUND_Stream_Open(first.c_str(), 0x130, 0, 0);
    FSOUND_STREAM* b = FSOUND_Stream_Open(second.c_str(), 0x130, 0, 0);
    fsound::StreamQueue(a, b);
    FSOUND_Stream_Play(FSOUND_FREE, a);
    waitUntil([&] { return fsound::StreamPlayedOut(a); });
    double changeMs = 0;
    if (!fsound::StreamHandedOver(a)) {
        const auto start = Clock::now();
        fsound::StreamUnqueue(a);
        FSOUND_Stream_Stop(a);
        a = nullptr;
        FSOUND_Stream_Play(FSOUND_FREE, b);
        changeMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    waitUntil([&] { return fsound::StreamPlayedOut(b); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    FSOUND_Stream_Stop(a);
    FSOUND_Stream_Stop(b);
    run("kill " + pid);
    return {longestSilenceMs(raw), changeMs};
}

double cpuPercentPlaying(const std::string& song, double seconds)
{
    FSOUND_STREAM* stream = FSOUND_Stream_Open(song.c_str(), 0x130, 0, 0);
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double cpu = cpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double used = cpuSeconds() - cpu;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    FSOUND_Stream_Stop(stream);
    return 100.0 * used / wall;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const std::string dir = std::filesystem::temp_directory_path() / ("bench_rate_change." + std::to_string(::getpid()));
    for (const char* folder : {"/a", "/b", "/c"})
        std::filesystem::create_directories(dir + folder);
    const auto tone = [](int rate) { return fixtures::Tone(440, 0.5, rate); };
    fixtures::WriteWav(dir + "/a/1.wav", {44100, 2, 1.0}, tone(44100));
    fixtures::WriteWav(dir + "/b/2.wav", {48000, 2, 1.0}, tone(48000));
    fixtures::WriteWav(dir + "/c/2.wav", {44100, 2, 1.0}, tone(44100));
    const std::string hires = dir + "/hires.flac", cd = dir + "/cd.flac";
    const std::string noise = " -nostdin -loglevel error -y -f lavfi -i anoisesrc=a=0.3:d=" + std::to_string(seconds + 1);
    run("ffmpeg" + noise + ":r=96000 -ac 2 -c:a flac -sample_fmt s32 '" + hires + "'");
    run("ffmpeg" + noise + ":r=44100 -ac 2 -c:a flac -sample_fmt s16 '" + cd + "'");

    FSOUND_Init(44100, 32, 0);
    FSOUND_SetVolume(FSOUND_ALL, 255);
    if (std::string(fsound::OutputName()) != "pulse") {
        std::fprintf(stderr, "no PulseAudio server answers\n");
        return 77;
    }
    // Silence from another client keeps the sink at a short latency, as a desktop's sound
    // does; at rest it renders seconds ahead and its monitor misses where streams start.
    const std::string awake = run("pacat --raw --format=s16le --rate=44100 --channels=2 --latency-msec=10 /dev/zero "
                                  ">/dev/null 2>&1 & echo $!");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    for (int round = 0; round < 3; ++round) {
        const auto [same, sameMs] = gapBetween(dir + "/a/1.wav", dir + "/c/2.wav", dir + "/same.raw");
        const auto [change, changeMs] = gapBetween(dir + "/a/1.wav", dir + "/b/2.wav", dir + "/change.raw");
        std::printf("gap at a song of another folder: 44.1 kHz %.1f ms; 48 kHz (the output changes rate) %.1f ms, "
                    "%.1f ms of it on the window thread\n",
                    same, change, changeMs);
    }
    std::printf("CPU while playing: 16-bit 44.1 kHz FLAC %.2f %%, 24-bit 96 kHz FLAC %.2f %% of one core\n",
                cpuPercentPlaying(cd, seconds), cpuPercentPlaying(hires, seconds));
    fsound::Shutdown();
    run("kill " + awake);
    std::filesystem::remove_all(dir);
    return 0;
}
