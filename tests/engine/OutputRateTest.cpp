// The output plays at the rate of the song that starts it; a song of the same folder
// queued behind it at another rate is converted so that the join stays gapless, and one
// of another folder starts on its own at its own rate. What the device plays is read back
// from SDL's disk driver.

#include "fsound.h"
#include "support/AudioFixtures.h"
#include "support/EngineEnvironment.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>

using namespace std::chrono_literals;
using fixtures::waitFor;

namespace {

constexpr double kHz = 441.0;
constexpr double kSeconds = 0.6;

// A sine that goes on from one file to the next: the same signal in time at either rate.
fixtures::Signal sine(int rate, double fromSeconds)
{
    return [rate, fromSeconds](std::int64_t frame, int) {
        return static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * kHz * (fromSeconds + double(frame) / rate)));
    };
}

class OutputRate : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", m_device.c_str(), 1);
        std::filesystem::remove(m_device);
        ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
        ASSERT_STREQ(fsound::OutputName(), "sdl");
        const std::string album = m_dir.filePath("album").toStdString();
        const std::string other = m_dir.filePath("other").toStdString();
        std::filesystem::create_directories(album);
        std::filesystem::create_directories(other);
        ASSERT_TRUE(fixtures::WriteWav(album + "/1.wav", {44100, 2, kSeconds}, sine(44100, 0)));
        ASSERT_TRUE(fixtures::WriteWav(album + "/2.wav", {48000, 2, kSeconds}, sine(48000, kSeconds)));
        ASSERT_TRUE(fixtures::WriteWav(other + "/2.wav", {48000, 2, kSeconds}, sine(48000, kSeconds)));
        m_first = open(album + "/1.wav");
        FSOUND_SetVolume(FSOUND_ALL, 255);
    }
    void TearDown() override
    {
        for (FSOUND_STREAM* stream : {m_first, m_second})
            FSOUND_Stream_Stop(stream);
        fsound::Shutdown();
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    FSOUND_STREAM* open(const std::string& path) { return FSOUND_Stream_Open(path.c_str(), 0x130, 0, 0); }

    QTemporaryDir m_dir;
    std::string m_device = m_dir.filePath("device.raw").toStdString();
    FSOUND_STREAM* m_first = nullptr;
    FSOUND_STREAM* m_second = nullptr;
};

} // namespace

// The 48 kHz song of the album follows in the same output buffer at 44.1 kHz: what the
// device plays is one sine, without a frame of silence, as long as both songs.
TEST_F(OutputRate, AlbumSongAtAnotherRateJoinsGaplessly)
{
    m_second = open(m_dir.filePath("album/2.wav").toStdString());
    ASSERT_TRUE(fsound::StreamQueue(m_first, m_second));
    FSOUND_Stream_Play(FSOUND_FREE, m_first);
    ASSERT_TRUE(waitFor([&] { return fsound::StreamPlayedOut(m_second); }, 10s));
    EXPECT_TRUE(fsound::StreamHandedOver(m_first));
    EXPECT_EQ(fsound::OutputRate(), 44100);
    const std::int64_t dropouts = fsound::StarvedFrames();
    fsound::Shutdown();
    if (dropouts > 0)
        GTEST_SKIP() << "the decoder thread was late (" << dropouts << " frames of dropout)";

    const std::vector<float> heard = fixtures::deviceSound(m_device);
    std::int64_t first = -1, last = -1, longestQuiet = 0, quiet = 0;
    double worst = 0;
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(heard.size() / 2); ++i) {
        const bool silent = std::fabs(heard[i * 2]) < 1e-3;
        if (!silent) {
            if (first < 0)
                first = i;
            else
                longestQuiet = std::max(longestQuiet, quiet);
            last = i;
        }
        quiet = silent ? quiet + 1 : 0;
    }
    ASSERT_GE(first, 0) << "nothing heard";
    // Where the sine is, it is the sine: no step at the join.
    const double phase = std::asin(std::clamp(heard[first * 2] / 0.5, -1.0, 1.0));
    for (std::int64_t i = first; i <= last; ++i) {
        const double expected = 0.5 * std::sin(phase + 2 * std::numbers::pi * kHz * double(i - first) / 44100);
        worst = std::max(worst, std::fabs(heard[i * 2] - expected));
    }
    EXPECT_LE(longestQuiet, 2) << "frames of silence inside";
    EXPECT_NEAR(last - first + 1, 2 * kSeconds * 44100, 4);
    EXPECT_LT(worst, 0.02);
}

// A song of another folder is not converted: the first plays out alone, and the second,
// started after it, plays at 48 kHz.
TEST_F(OutputRate, SongOfAnotherFolderStartsAtItsOwnRate)
{
    m_second = open(m_dir.filePath("other/2.wav").toStdString());
    ASSERT_TRUE(fsound::StreamQueue(m_first, m_second));
    FSOUND_Stream_Play(FSOUND_FREE, m_first);
    ASSERT_TRUE(waitFor([&] { return fsound::StreamPlayedOut(m_first); }, 10s));
    EXPECT_FALSE(fsound::StreamHandedOver(m_first));
    EXPECT_EQ(fsound::OutputRate(), 44100);
    fsound::StreamUnqueue(m_first);
    FSOUND_Stream_Stop(std::exchange(m_first, nullptr));
    FSOUND_Stream_Play(FSOUND_FREE, m_second);
    EXPECT_EQ(fsound::OutputRate(), 48000);
    ASSERT_TRUE(waitFor([&] { return fsound::StreamPlayedOut(m_second); }, 10s));
    EXPECT_NEAR(FSOUND_Stream_GetTime(m_second), kSeconds * 1000, 30);
}

// The spectrum shows the same bands whatever the rate: a tone's bar stands where it
// stands at 44.1 kHz.
TEST_F(OutputRate, SpectrumBandsDoNotMoveWithTheRate)
{
    auto peakBinPlaying = [this](int rate) {
        const std::string path = m_dir.filePath(QStringLiteral("tone%1.wav").arg(rate)).toStdString();
        EXPECT_TRUE(fixtures::WriteWav(path, {rate, 2, 2.0}, fixtures::Tone(2000, 0.5, rate)));
        FSOUND_STREAM* stream = open(path);
        FSOUND_Stream_Play(FSOUND_FREE, stream);
        FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
        EXPECT_TRUE(waitFor([&] { return FSOUND_Stream_GetTime(stream) > 500; }, 5s));
        const float* bins = FSOUND_DSP_GetSpectrum();
        const int peak = static_cast<int>(std::max_element(bins, bins + FSOUND_SPECTRUM_BINS) - bins);
        FSOUND_Stream_Stop(stream);
        return peak;
    };
    FSOUND_Stream_Stop(std::exchange(m_first, nullptr));
    const int atCdRate = peakBinPlaying(44100);
    EXPECT_GT(atCdRate, 0);
    EXPECT_EQ(peakBinPlaying(96000), atCdRate);
    EXPECT_EQ(fsound::OutputRate(), 96000);
}
