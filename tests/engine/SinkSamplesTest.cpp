// What reaches a null sink of the private sound server (with_sound_server.sh) when a song
// plays at full volume: every sample of the file, at the file's own rate and precision,
// counted from the first one.

#include "support/SoundServer.h"
#include "fsound.h"
#include "support/EngineEnvironment.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using fixtures::Background;
using fixtures::run;
using fixtures::waitFor;

namespace {

// A stereo PCM WAV of `bytesPerSample` (2 or 3) little-endian samples.
void writeWave(const std::string& path, int rate, int bytesPerSample, const std::vector<std::int32_t>& samples)
{
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * bytesPerSample);
    auto le = [](std::uint32_t v, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i)
            out += char(v >> (8 * i));
        return out;
    };
    const auto frameBytes = static_cast<std::uint32_t>(2 * bytesPerSample);
    std::string out = "RIFF" + le(36 + dataBytes, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(2, 2) + le(rate, 4)
                      + le(rate * frameBytes, 4) + le(frameBytes, 2) + le(8 * bytesPerSample, 2) + "data"
                      + le(dataBytes, 4);
    for (std::int32_t s : samples)
        out += le(static_cast<std::uint32_t>(s), bytesPerSample);
    std::ofstream(path, std::ios::binary) << out;
}

// What a recording of the sink holds of a song whose left sample names its frame.
struct Count {
    int frames = 0;        // of the song, each once
    int firstFrame = -1;   // the first of the song heard
    int lastFrame = -1;
    int wrong = 0;         // a right sample that is not the one its frame holds
    int outOfOrder = 0;
};

Count count(const std::vector<std::int32_t>& heard, int songFrames, const std::function<int(std::int32_t)>& frameOf,
            const std::function<std::int32_t(int)>& rightOf)
{
    Count c;
    std::vector<bool> seen(songFrames, false);
    for (std::size_t at = 0; at + 1 < heard.size(); at += 2) {
        if (heard[at] == 0 && heard[at + 1] == 0)
            continue;  // silence around the song
        const int frame = frameOf(heard[at]);
        if (frame < 0 || frame >= songFrames || heard[at + 1] != rightOf(frame)) {
            ++c.wrong;
            continue;
        }
        c.outOfOrder += frame <= c.lastFrame;
        if (c.firstFrame < 0)
            c.firstFrame = frame;
        c.lastFrame = frame;
        c.frames += !seen[frame];
        seen[frame] = true;
    }
    return c;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SinkSamples : public ::testing::Test {
protected:
    void SetUp() override { ::unsetenv("SDL_AUDIODRIVER"); }
    void TearDown() override
    {
        m_background.stop();
        fsound::Shutdown();
        fsound::SetOutputDevice({});
        if (!m_module.empty())
            run("pactl unload-module " + m_module);
    }

    // A null sink of its own, recorded from its monitor in `format` from now on. Silence
    // from another client keeps it at a short latency, and the song starts once it has
    // settled there: a sink at rest renders up to 2 s ahead, and its monitor then misses
    // 10-20 ms where a stream starts, paplay's as much as ours.
    void recordSink(const std::string& sink, const std::string& format, int rate, const std::string& file)
    {
        m_module = run("pactl load-module module-null-sink sink_name=" + sink + " format=" + format
                       + " rate=" + std::to_string(rate));
        m_module.erase(m_module.find_last_not_of('\n') + 1);
        const std::string streamArgs = " --raw --channels=2 --format=" + format + " --rate=" + std::to_string(rate);
        m_background.start("pacat -d " + sink + streamArgs + " --latency-msec=40 /dev/zero >/dev/null");
        m_background.start("parec -d " + sink + ".monitor" + streamArgs + " > '" + file + "'");
        const std::string settled = "pactl list sinks | awk '/^\\tName:/ { n = $2 } /^\\tLatency:/ && n == \"" + sink
                                    + "\" && $2 < 60000'";
        EXPECT_TRUE(waitFor([&] { return !run(settled).empty(); }, 5s)) << "the sink did not settle";
        std::this_thread::sleep_for(300ms);
        fsound::SetOutputDevice(sink);
    }

    // Plays the song to its end, and a little after.
    void play(const std::string& song)
    {
        FSOUND_Init(44100, 32, 0);
        ASSERT_STREQ(fsound::OutputName(), "pulse");
        FSOUND_STREAM* stream = FSOUND_Stream_Open(song.c_str(), 0x130, 0, 0);
        ASSERT_NE(stream, nullptr);
        FSOUND_SetVolume(FSOUND_ALL, 255);
        FSOUND_Stream_Play(FSOUND_FREE, stream);
        EXPECT_TRUE(waitFor([&] { return fsound::StreamPlayedOut(stream); }, 20s));
        std::this_thread::sleep_for(300ms);
        FSOUND_Stream_Stop(stream);
        m_background.stop();
    }

    Background m_background;
    std::string m_module;
};

} // namespace

// A 16-bit song holds every value from -32768 to 32767 on the left, and on the right a
// value the left one names; at 44.1 kHz it reaches a 44.1 kHz sink as it is, from its
// first frame. (The old conversion by 32,767 changed three samples in four.)
TEST_F(SinkSamples, SixteenBitSongReachesItsSinkWhole)
{
    const std::string song = ::testing::TempDir() + "every-value.wav";
    const std::string heard = ::testing::TempDir() + "every-value.raw";
    constexpr int kFrames = 65536;
    auto right = [](int frame) { return static_cast<std::int32_t>((std::int64_t{frame} * 40503 + 12345) % kFrames - 32768); };
    std::vector<std::int32_t> samples(kFrames * 2);
    for (int i = 0; i < kFrames; ++i) {
        samples[i * 2] = i - 32768;
        samples[i * 2 + 1] = right(i);
    }
    writeWave(song, 44100, 2, samples);
    recordSink("sorvel_cd", "s16le", 44100, heard);
    play(song);

    const std::string bytes = slurp(heard);
    std::vector<std::int16_t> raw(bytes.size() / 2);
    std::memcpy(raw.data(), bytes.data(), raw.size() * 2);
    const Count c = count({raw.begin(), raw.end()}, kFrames, [](std::int32_t left) { return left + 32768; }, right);
    EXPECT_EQ(c.firstFrame, 0);
    EXPECT_EQ(c.frames, kFrames);
    EXPECT_EQ(c.lastFrame, kFrames - 1);
    EXPECT_EQ(c.wrong, 0);
    EXPECT_EQ(c.outOfOrder, 0);
}

// A 24-bit FLAC at 96 kHz reaches a 96 kHz float sink with all 24 bits of every sample.
TEST_F(SinkSamples, TwentyFourBitFlacReachesA96kHzSinkWhole)
{
    if (run("command -v flac").empty())
        GTEST_SKIP() << "flac is not installed";
    const std::string wave = ::testing::TempDir() + "hires.wav";
    const std::string song = ::testing::TempDir() + "hires.flac";
    const std::string heard = ::testing::TempDir() + "hires.raw";
    constexpr int kFrames = 131072;
    constexpr std::int32_t kStep = 127;  // the left sample names its frame
    constexpr std::int32_t kLow = -(1 << 23) + 5;
    auto right = [](int frame) {
        return static_cast<std::int32_t>((std::uint32_t(frame) * 2654435761u >> 8) & 0xFFFFFF) - (1 << 23);
    };
    std::vector<std::int32_t> samples(kFrames * 2);
    for (int i = 0; i < kFrames; ++i) {
        samples[i * 2] = kLow + i * kStep;
        samples[i * 2 + 1] = right(i);
    }
    writeWave(wave, 96000, 3, samples);
    ASSERT_EQ(std::system(("flac -s -f -o '" + song + "' '" + wave + "'").c_str()), 0);
    recordSink("sorvel_hires", "float32le", 96000, heard);
    play(song);

    const std::string bytes = slurp(heard);
    std::vector<float> raw(bytes.size() / 4);
    std::memcpy(raw.data(), bytes.data(), raw.size() * 4);
    std::vector<std::int32_t> ints(raw.size());
    int notWhole = 0;  // a sample that is no 24-bit value
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const double scaled = static_cast<double>(raw[i]) * (1 << 23);
        ints[i] = static_cast<std::int32_t>(scaled);
        notWhole += scaled != ints[i];
    }
    const Count c = count(
        ints, kFrames,
        [](std::int32_t left) { return (left - kLow) % kStep == 0 ? (left - kLow) / kStep : -1; }, right);
    EXPECT_EQ(notWhole, 0);
    EXPECT_EQ(c.firstFrame, 0);
    EXPECT_EQ(c.frames, kFrames);
    EXPECT_EQ(c.lastFrame, kFrames - 1);
    EXPECT_EQ(c.wrong, 0);
    EXPECT_EQ(c.outOfOrder, 0);
}
