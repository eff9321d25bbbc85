#include "AudioOutput.h"
#include "fsound.h"
#include "support/EngineEnvironment.h"

#include <atomic>
#include <cstdlib>

using namespace std::chrono_literals;
using fixtures::Library;
using fixtures::waitFor;

namespace {

// Without any usable sound device the library plays into a silent sink that keeps real
// time: positions, the end of a song and the spectrum behave as with a device.
TEST(SilentSink, KeepsRealTimeWhenNoDeviceOpens)
{
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    FSOUND_Init(44100, 32, 0);
    ASSERT_TRUE(fsound::UsingSilentSink());

    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(Library::instance().tone("wav", 1.0).c_str(), 0x130, 0, 0);
    ASSERT_NE(stream, nullptr);
    const auto start = std::chrono::steady_clock::now();
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    EXPECT_TRUE(waitFor([] { return FSOUND_DSP_GetSpectrum()[23] > 0.3f; }, 2s));
    ASSERT_TRUE(waitFor([&] { return FSOUND_Stream_GetTime(stream) >= 1000; }, 3s));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 900ms);
    EXPECT_LE(elapsed, 2000ms);
    FSOUND_Stream_Stop(stream);
    fsound::Shutdown();
}

// Nothing playing costs nothing: an idle output does not call for sound at all.
TEST(SilentSink, IdleOutputDoesNotTick)
{
    std::atomic<int> calls{0};
    fsound::OutputRequest request;
    request.callback = [&](float*, std::size_t frames, bool) {
        calls.fetch_add(1);
        return frames;
    };
    fsound::OutputFailure failure;
    fsound::Output output = fsound::Output::open(fsound::kSilentDriver, request, failure);
    ASSERT_TRUE(output.isOpen());
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(calls.load(), 0);
    output.setActive(true);
    EXPECT_TRUE(waitFor([&] { return calls.load() >= 3; }, 1s));
    output.setActive(false);
    const int atStop = calls.load();
    std::this_thread::sleep_for(200ms);
    EXPECT_LE(calls.load(), atStop + 1) << "more than the one call under way at the stop";
    output.close();
}

} // namespace
