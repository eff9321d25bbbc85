#include "Ogg.h"
#include "OggThread.h"
#include "support/EngineEnvironment.h"

#include "Spectrum.h"
#include "support/ThreadNames.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <condition_variable>
#include <mutex>
#include <vector>

using namespace std::chrono_literals;
using fixtures::Library;
using fixtures::waitFor;

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new fixtures::EngineEnvironment);

constexpr int W = SpectrumFrameSink::kWidth;
constexpr int H = SpectrumFrameSink::kHeight;

// A background whose every pixel is distinct, alpha byte included.
std::array<std::uint8_t, SpectrumFrameSink::kBytes> patternBackground()
{
    std::array<std::uint8_t, SpectrumFrameSink::kBytes> back{};
    for (int i = 0; i < W * H; ++i) {
        back[i * 4 + 0] = static_cast<std::uint8_t>(i);
        back[i * 4 + 1] = static_cast<std::uint8_t>(i >> 8);
        back[i * 4 + 2] = 7;
        back[i * 4 + 3] = 0xA5;
    }
    return back;
}

const std::uint8_t* pixel(const std::uint8_t* frame, int column, int rowFromBottom)
{
    return frame + (rowFromBottom * W + column) * 4;
}

int barHeight(const std::uint8_t* frame, const std::uint8_t* back, int column)
{
    int h = 0;
    while (h < H && std::memcmp(pixel(frame, column, h), pixel(back, column, h), 4) != 0)
        ++h;
    return h;
}

TEST(SpectrumFrame, BarHeightsCapAndColours)
{
    const auto back = patternBackground();
    std::array<float, 512> spectrum{};
    spectrum[0] = 1.0f;        // column 59: full scale, capped at 29
    spectrum[2] = 0.05f;       // column 57: 9 pixels
    spectrum[4] = 0.1f;        // column 55: 18
    spectrum[6] = 30.0f / 180; // column 53: 29
    spectrum[8] = -0.5f;       // column 51: nothing
    spectrum[10] = std::nanf("");
    spectrum[1] = 1.0f;        // odd bins are never drawn
    std::array<std::uint8_t, SpectrumFrameSink::kBytes> frame{};
    TOggThread::ComposeFrame(spectrum.data(), back.data(), frame.data());

    EXPECT_EQ(barHeight(frame.data(), back.data(), 59), 29);
    EXPECT_EQ(barHeight(frame.data(), back.data(), 57), 9);
    EXPECT_EQ(barHeight(frame.data(), back.data(), 55), 18);
    EXPECT_EQ(barHeight(frame.data(), back.data(), 53), 29);
    EXPECT_EQ(barHeight(frame.data(), back.data(), 51), 0);
    EXPECT_EQ(barHeight(frame.data(), back.data(), 49), 0);
    // Even columns and the top row always show the background.
    for (int c = 0; c < W; c += 2)
        EXPECT_EQ(barHeight(frame.data(), back.data(), c), 0) << "column " << c;
    EXPECT_EQ(std::memcmp(pixel(frame.data(), 59, 29), pixel(back.data(), 59, 29), 4), 0);

    const std::uint8_t* bottom = pixel(frame.data(), 59, 0);
    EXPECT_EQ(bottom[0], 250);
    EXPECT_EQ(bottom[1], 255);
    EXPECT_EQ(bottom[2], 100);
    EXPECT_EQ(bottom[3], 0xA5);  // the fourth byte stays the background's
    const std::uint8_t* top = pixel(frame.data(), 59, 28);
    EXPECT_EQ(top[0], 250);
    EXPECT_EQ(top[1], 143);
    EXPECT_EQ(top[2], 212);
}

// A frame like the last asks for no repaint; the panel gets its rows the right way up.
TEST(SpectrumFrame, SinkRepaintsOnlyChangedFrames)
{
    SpectrumFrameSink sink;
    int repaints = 0;
    sink.SetRepaintRequest([&] { ++repaints; });
    BitmapInfo info{};
    info.biWidth = W;
    info.biHeight = H;
    info.biBitCount = 32;
    auto frame = patternBackground();
    sink.SetDIBits(info, frame.data(), sink.Generation());
    sink.SetDIBits(info, frame.data(), sink.Generation());
    EXPECT_EQ(repaints, 1);
    frame[4 * W * 7 + 3] ^= 1;
    sink.SetDIBits(info, frame.data(), sink.Generation());
    EXPECT_EQ(repaints, 2);
    EXPECT_EQ(sink.FrameCount(), 3u);

    constexpr std::ptrdiff_t stride = W * 4 + 16;
    std::vector<std::uint8_t> image(stride * H, 0xEE);
    ASSERT_TRUE(sink.CopyLatestFrame(image.data(), stride));
    for (int row = 0; row < H; ++row) {
        EXPECT_EQ(std::memcmp(image.data() + (H - 1 - row) * stride, frame.data() + row * W * 4, W * 4), 0) << row;
        EXPECT_EQ(image[(H - 1 - row) * stride + W * 4], 0xEE) << "past the row's pixels";
    }
    sink.Clear();
    EXPECT_FALSE(sink.CopyLatestFrame(image.data(), stride));
}

TEST(SpectrumThread, DrawsOnlyWhileAStreamIsOpenAndStopsPromptly)
{
    const auto back = patternBackground();
    SpectrumFrameSink sink;
    std::atomic<int> repaints{0};
    sink.SetRepaintRequest([&] { repaints.fetch_add(1); });
    auto ogg = std::make_unique<COgg>(&sink, back.data());
    ogg->m_InitSound();
    ogg->m_StartThread();

    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sink.FrameCount(), 0u) << "no stream, no frames";

    ASSERT_TRUE(ogg->m_OpenOGG(QString::fromStdString(Library::instance().tone("wav", 3.0))));
    ogg->m_PlayOGG();
    // A 1 kHz tone lights the bars of bins 22 and 24 (columns 37 and 35).
    ASSERT_TRUE(waitFor([&] {
        const auto frame = sink.LatestFrame();
        return sink.HasFrame() && barHeight(frame.data(), back.data(), 37) > 5
            && barHeight(frame.data(), back.data(), 35) > 5;
    }, 3s));
    EXPECT_GT(repaints.load(), 0);
    const auto frame = sink.LatestFrame();
    EXPECT_EQ(barHeight(frame.data(), back.data(), 59), 0);
    EXPECT_EQ(ogg->m_BmpInfo.biSize, 40u);
    EXPECT_EQ(ogg->m_BmpInfo.biHeight, 30);
    EXPECT_EQ(ogg->m_BmpInfo.biBitCount, 32);

    // Nobody sees the window: the thread sleeps. Seen again, it draws at once.
    sink.SetShown(false);
    auto count = sink.FrameCount();
    std::this_thread::sleep_for(350ms);
    EXPECT_LE(sink.FrameCount(), count + 1) << "drawn while nobody could see it";
    count = sink.FrameCount();
    sink.SetShown(true);
    EXPECT_TRUE(waitFor([&] { return sink.FrameCount() >= count + 2; }, 2s));

    ogg->m_ControlOGG(OggPause);  // paused: the last frame stays, nothing new is drawn
    count = sink.FrameCount();
    std::this_thread::sleep_for(350ms);  // four periods of the thread
    EXPECT_LE(sink.FrameCount(), count + 1) << "more than the one frame that was being drawn";

    const auto start = std::chrono::steady_clock::now();
    ogg.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
}

// A stop erases the area right after closing the stream. A frame the thread was
// drawing at that moment must not put the bars back: the interleaving is forced by
// holding the thread between drawing the frame and handing it over.
TEST(SpectrumThread, FrameDrawnAcrossAStopIsDropped)
{
    SpectrumFrameSink sink;
    auto ogg = std::make_unique<COgg>(&sink, nullptr);
    ogg->m_InitSound();
    ogg->m_StartThread();
    std::mutex gate;
    std::condition_variable changed;
    bool composed = false;
    bool stopped = false;
    ogg->m_pThread->AfterCompose = [&] {
        std::unique_lock guard(gate);
        if (stopped)
            return;
        composed = true;
        changed.notify_all();
        changed.wait(guard, [&] { return stopped; });
    };
    ASSERT_TRUE(ogg->m_OpenOGG(QString::fromStdString(Library::instance().tone("wav", 3.0))));
    ogg->m_PlayOGG();
    {
        std::unique_lock guard(gate);
        ASSERT_TRUE(changed.wait_for(guard, 3s, [&] { return composed; }));
        // What the stop button does: close the stream, then erase the area.
        ogg->m_ControlOGG(OggStop);
        sink.Clear();
        stopped = true;
    }
    changed.notify_all();
    ogg.reset();  // joins the thread: the frame it held has been handed over by now
    EXPECT_FALSE(sink.HasFrame());
}

TEST(SpectrumFrameSinkGeneration, OnlyFramesBegunAfterTheLastClearLand)
{
    SpectrumFrameSink sink;
    BitmapInfo info{};
    info.biWidth = W;
    info.biHeight = H;
    info.biBitCount = 32;
    const auto bits = patternBackground();
    const std::uint64_t before = sink.Generation();
    sink.SetDIBits(info, bits.data(), before);
    EXPECT_TRUE(sink.HasFrame());
    sink.Clear();
    sink.SetDIBits(info, bits.data(), before);
    EXPECT_FALSE(sink.HasFrame());
    sink.SetDIBits(info, bits.data(), sink.Generation());
    EXPECT_TRUE(sink.HasFrame());
}

TEST(SpectrumAnalyser, SineOnABinReadsFullScaleThereOnly)
{
    fsound::FftAnalyser analyser;
    std::array<float, fsound::kFftSize> samples{};
    std::array<float, fsound::kSpectrumBins> bins{};
    for (int i = 0; i < fsound::kFftSize; ++i)
        samples[i] = std::sin(2.0f * std::numbers::pi_v<float> * 40.0f * i / fsound::kFftSize);
    analyser.analyse(samples.data(), bins.data());
    EXPECT_NEAR(bins[40], 1.0f, 0.01f);
    EXPECT_NEAR(bins[39], 0.5f, 0.02f);  // the Hann window's neighbours
    EXPECT_LT(bins[45], 1e-3f);
    EXPECT_LT(bins[200], 1e-3f);
    samples.fill(0.0f);
    analyser.analyse(samples.data(), bins.data());
    EXPECT_EQ(*std::max_element(bins.begin(), bins.end()), 0.0f);
}

TEST(SpectrumThread, WaitForTwiceAndAfterTheThreadEndedIsHarmless)
{
    COgg ogg(nullptr, nullptr);
    ogg.m_InitSound();
    TOggThread thread(&ogg);
    thread.Terminate();
    thread.WaitFor();
    EXPECT_TRUE(thread.Finished());
    thread.WaitFor();
}

// The engine's threads say what they are: the spectrum's, and the one decoder the library
// started at its initialisation.
TEST(EngineThreads, CarryTheirNames)
{
    EXPECT_TRUE(fixtures::HasThreadNamed("sorvel-decoder"));
    COgg ogg(nullptr, nullptr);
    ogg.m_InitSound();
    TOggThread thread(&ogg);
    EXPECT_TRUE(fixtures::HasThreadNamed("sorvel-spectrum"));
    thread.Terminate();
    thread.WaitFor();
}

} // namespace
