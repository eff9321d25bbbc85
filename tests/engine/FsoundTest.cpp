#include "support/EngineEnvironment.h"

#include <algorithm>
#include <sys/stat.h>
#include <fstream>
#include <filesystem>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using fixtures::Library;
using fixtures::waitFor;

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new fixtures::EngineEnvironment);

int peakBin(const float* bins)
{
    return static_cast<int>(std::max_element(bins, bins + FSOUND_SPECTRUM_BINS) - bins);
}

class FsoundOpen : public ::testing::TestWithParam<const char*> {};

TEST_P(FsoundOpen, OpensEveryFormatWithItsLengthAndRate)
{
    const std::string path = Library::instance().tone(GetParam(), 1.5);
    ASSERT_FALSE(path.empty()) << "fixture for " << GetParam();
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), 0x130, 0, 0);
    ASSERT_NE(stream, nullptr);
    EXPECT_NEAR(FSOUND_Stream_GetLengthMs(stream), 1500, 80);
    EXPECT_EQ(FSOUND_Stream_GetLength(stream), static_cast<int>(std::filesystem::file_size(path)));
    ASSERT_GE(FSOUND_Stream_Play(FSOUND_FREE, stream), 0);
    EXPECT_EQ(FSOUND_GetChannelsPlaying(), 1);
    EXPECT_EQ(FSOUND_GetFrequency(FSOUND_GetChannelsPlaying()), 44100);
    EXPECT_TRUE(FSOUND_Stream_Stop(stream));
    EXPECT_EQ(FSOUND_GetChannelsPlaying(), 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, FsoundOpen, ::testing::Values("mp3", "mp2", "ogg", "wav", "aiff", "wma", "flac"));

TEST(FsoundBadInput, RefusesWhatIsNotAudio)
{
    const std::string dir = Library::instance().folder();
    EXPECT_EQ(FSOUND_Stream_Open("", 0x130, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(nullptr, 0x130, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open((dir + "/missing.mp3").c_str(), 0x130, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(dir.c_str(), 0x130, 0, 0), nullptr);
    const std::string text = dir + "/notes.txt";
    { std::ofstream(text) << "not a song\n"; }
    EXPECT_EQ(FSOUND_Stream_Open(text.c_str(), 0x130, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open("/dev/zero", 0x130, 0, 0), nullptr);
}

TEST(FsoundBadInput, DamagedFilesAreOpenedOrRefusedAsExpected)
{
    const std::string dir = Library::instance().folder() + "/damaged";
    std::filesystem::create_directories(dir);
    const std::string mp3 = Library::instance().tone("mp3", 2.0);
    const std::string wav = Library::instance().tone("wav", 1.0);
    struct Case {
        std::string name;
        bool opens;
    };
    std::vector<Case> cases;
    auto add = [&](const std::string& name, bool opens) { cases.push_back({dir + "/" + name, opens}); };

    ASSERT_TRUE(fixtures::WriteRandomBytes(dir + "/random.mp3", 40000, 7));
    add("random.mp3", false);
    ASSERT_TRUE(fixtures::Truncate(mp3, dir + "/truncated.mp3", std::filesystem::file_size(mp3) / 3));
    add("truncated.mp3", true);
    ASSERT_TRUE(fixtures::Truncate(wav, dir + "/header-only.wav", 44));
    add("header-only.wav", false);  // no sound in it: no song
    ASSERT_TRUE(fixtures::WriteWav(dir + "/one-hertz.wav", {1, 2, 4096.0}, fixtures::Tone(0.1, 0.5, 1)));
    add("one-hertz.wav", false);
    ASSERT_TRUE(fixtures::WriteWav(dir + "/ten-hertz.wav", {10, 1, 400.0}, fixtures::Tone(1, 0.5, 10)));
    add("ten-hertz.wav", false);
    ASSERT_EQ(::mkfifo((dir + "/fifo.mp3").c_str(), 0600), 0);
    add("fifo.mp3", false);
    std::filesystem::create_symlink("/dev/zero", dir + "/zero.mp3");
    add("zero.mp3", false);

    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        FSOUND_STREAM* stream = FSOUND_Stream_Open(c.name.c_str(), 0x130, 0, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << c.name;
        EXPECT_EQ(stream != nullptr, c.opens) << c.name;
        if (!stream)
            continue;
        FSOUND_Stream_Play(FSOUND_FREE, stream);
        // Whatever is decodable plays; then the stream is played out and stays so.
        EXPECT_TRUE(waitFor([&] { return fsound::StreamPlayedOut(stream); }, 5s)) << c.name;
        EXPECT_GE(FSOUND_Stream_GetTime(stream), FSOUND_Stream_GetLengthMs(stream)) << c.name;
        FSOUND_Stream_Stop(stream);
    }
}

// A file that takes long to open is opened off the calling thread: the stream it gives
// back can be played, sought and stopped at once, is silent and stands where it was put
// until the file is open, and a file that turns out not to open says so through the news.
TEST(FsoundSlowOpen, AStreamStillOpeningIsPlayedSoughtOrStoppedAtOnce)
{
    fsound::SetOpenWaitForTests(0);
    fsound::HoldOpensForTests(true);
    const std::string wav = Library::instance().tone("wav", 3.0);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(wav.c_str(), 0x130, 0, 0);
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(fsound::StreamOpening(stream));
    EXPECT_EQ(FSOUND_Stream_GetLengthMs(stream), 0);
    EXPECT_GE(FSOUND_Stream_Play(FSOUND_FREE, stream), 0);
    FSOUND_Stream_SetTime(stream, 1000);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 1000);
    EXPECT_FALSE(fsound::StreamPlayedOut(stream));

    FSOUND_STREAM* dropped = FSOUND_Stream_Open(wav.c_str(), 0x130, 0, 0);
    EXPECT_EQ(FSOUND_Stream_Stop(dropped), 1);
    const std::string noise = Library::instance().folder() + "/noise.mp3";
    ASSERT_TRUE(fixtures::WriteRandomBytes(noise, 40000, 3));
    FSOUND_STREAM* refused = FSOUND_Stream_Open(noise.c_str(), 0x130, 0, 0);
    ASSERT_NE(refused, nullptr) << "not known yet";

    fsound::HoldOpensForTests(false);
    fsound::SetOpenWaitForTests(10000);
    ASSERT_TRUE(waitFor([&] { return !fsound::StreamOpening(stream); }, 5s));
    EXPECT_NEAR(FSOUND_Stream_GetLengthMs(stream), 3000, 30);
    EXPECT_TRUE(waitFor([&] { return FSOUND_Stream_GetTime(stream) >= 1200; }, 3s)) << "plays on from the seek";
    fsound::OpenError why;
    ASSERT_TRUE(waitFor([&] { return fsound::StreamOpenFailed(refused, &why); }, 5s));
    EXPECT_EQ(why.kind, fsound::OpenError::NotAudio);
    EXPECT_FALSE(fsound::StreamOpenFailed(stream, nullptr));
    FSOUND_Stream_Stop(refused);
    FSOUND_Stream_Stop(stream);
    EXPECT_EQ(FSOUND_GetChannelsPlaying(), 0);
}

TEST(FsoundNullHandle, AnswersZero)
{
    EXPECT_EQ(FSOUND_Stream_GetTime(nullptr), 0);
    EXPECT_EQ(FSOUND_Stream_GetLengthMs(nullptr), 0);
    EXPECT_EQ(FSOUND_Stream_GetLength(nullptr), 0);
    EXPECT_FALSE(FSOUND_Stream_Stop(nullptr));
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, nullptr), -1);
    EXPECT_EQ(FSOUND_GetFrequency(1), 0);
}

// Read as often as a reader can, the position never goes back and never runs ahead of
// the time since the start: a read that met the output's callback between its counts
// once took a whole device buffer (186 ms) as heard, and the next read took it back.
TEST(FsoundPlayback, PositionRunsInRealTimeAndReachesTheEnd)
{
    const std::string path = Library::instance().tone("wav", 1.0);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), 0x130, 0, 0);
    ASSERT_NE(stream, nullptr);
    const auto start = std::chrono::steady_clock::now();
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    int last = 0;
    int back = 0;
    std::chrono::milliseconds ahead{0};
    while (last < 1000 && std::chrono::steady_clock::now() - start < 4s) {
        const int now = FSOUND_Stream_GetTime(stream);
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        back = std::max(back, last - now);
        ahead = std::max(ahead, std::chrono::milliseconds(now) - elapsed);
        last = now;
        std::this_thread::yield();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(last, 1000);
    EXPECT_EQ(back, 0) << "the position went back";
    EXPECT_LE(ahead, 20ms) << "the position ran ahead of the time since the start";
    EXPECT_GE(elapsed, 900ms) << "played faster than real time";
    EXPECT_LE(elapsed, 2500ms);
    FSOUND_Stream_Stop(stream);
}

TEST(FsoundPlayback, SetTimeBeforePlayStartsThere)
{
    const std::string path = Library::instance().tone("ogg", 3.0);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), 0x130, 0, 0);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(FSOUND_Stream_SetTime(stream, 2000));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 2000);
    const auto start = std::chrono::steady_clock::now();
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    ASSERT_TRUE(waitFor([&] { return FSOUND_Stream_GetTime(stream) >= 3000; }, 4s));
    // Only the last second was played.
    EXPECT_LE(std::chrono::steady_clock::now() - start, 2000ms);
    FSOUND_Stream_Stop(stream);
}

TEST(FsoundSpectrum, ToneAndVolumeShowInTheBins)
{
    ASSERT_NE(FSOUND_DSP_GetSpectrum(), nullptr);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    const std::string path = Library::instance().tone("wav", 3.0);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), 0x130, 0, 0);
    ASSERT_NE(stream, nullptr);
    FSOUND_SetVolume(FSOUND_ALL, 255);
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    // 1 kHz lies at 1000 / (44100 / 1024) = bin 23.2. Once 100 ms are heard, the
    // analysed window holds the tone only.
    ASSERT_TRUE(waitFor([&] { return FSOUND_Stream_GetTime(stream) >= 100; }, 2s));
    ASSERT_TRUE(waitFor([] { return FSOUND_DSP_GetSpectrum()[23] > 0.5f; }, 2s));
    const float* bins = FSOUND_DSP_GetSpectrum();
    EXPECT_EQ(peakBin(bins), 23);
    EXPECT_NEAR(bins[23], 0.8 * 0.95, 0.12);  // 0.8 amplitude, a little scalloping off-centre
    EXPECT_LT(bins[100], 0.01f);

    FSOUND_SetVolume(FSOUND_ALL, 0);
    EXPECT_TRUE(waitFor([] { return FSOUND_DSP_GetSpectrum()[23] < 0.001f; }, 1s));
    FSOUND_SetVolume(FSOUND_ALL, 255);
    FSOUND_Stream_Stop(stream);
    // Silence after the stop reaches the analysed window too.
    EXPECT_TRUE(waitFor([] { return FSOUND_DSP_GetSpectrum()[23] < 0.001f; }, 1s));
}

TEST(FsoundSpectrum, FftUnitOffGivesZerosNotNull)
{
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 0);
    const float* bins = FSOUND_DSP_GetSpectrum();
    ASSERT_NE(bins, nullptr);
    EXPECT_TRUE(std::all_of(bins, bins + FSOUND_SPECTRUM_BINS, [](float v) { return v == 0.0f; }));
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
}

TEST(FsoundStreams, StopReleasesTheHandleAndOpeningAgainWorks)
{
    const std::string path = Library::instance().tone("mp3", 1.0);
    for (int i = 0; i < 50; ++i) {
        FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), 0x130, 0, 0);
        ASSERT_NE(stream, nullptr);
        FSOUND_Stream_Play(FSOUND_FREE, stream);
        FSOUND_Stream_Stop(stream);
        // A forgotten handle is a null handle.
        EXPECT_EQ(FSOUND_Stream_GetLengthMs(stream), 0);
        EXPECT_FALSE(FSOUND_Stream_Stop(stream));
    }
    EXPECT_EQ(FSOUND_GetChannelsPlaying(), 0);
}

} // namespace
