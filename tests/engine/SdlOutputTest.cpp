#include "fsound.h"
#include "support/EngineEnvironment.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

using namespace std::chrono_literals;
using fixtures::Library;
using fixtures::deviceSound;
using fixtures::waitFor;

namespace {

// SDL starts every device paused, and its thread can write one buffer of silence before
// the unpause that follows the open reaches it. Normally the unpause wins; when the
// opening thread is held up (the sanitizers, a loaded machine) it loses now and then. A
// buffer of silence the library itself put first would come at every start, so the start
// is tried up to three times and one of them must begin with the song; under the
// sanitizers, which lose the race often, that one buffer is allowed as well.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define SORVEL_SLOW_THREADS 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
#define SORVEL_SLOW_THREADS 1
#endif
#endif
#ifdef SORVEL_SLOW_THREADS
constexpr std::size_t kAllowedSilence = 8192 + 64;
#else
constexpr std::size_t kAllowedSilence = 64;
#endif

// SDL's disk driver writes what the device plays to a file in real time, so the file
// shows what a listener would hear from the moment the device opened.

// A song started on an idle library is heard from the device's first buffer: no buffer
// of silence (186 ms) goes ahead of it, neither the silence an idle device writes nor
// one asked for before the first sound was decoded. And the device is not there at all
// until something plays.
TEST(SdlOutput, SongStartsInTheDevicesFirstBuffer)
{
    QTemporaryDir dir;
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    std::size_t fewest = SIZE_MAX;
    for (int attempt = 0; attempt < 3 && fewest >= kAllowedSilence; ++attempt) {
        const std::string device = dir.filePath(QStringLiteral("device%1.raw").arg(attempt)).toStdString();
        ::setenv("SDL_DISKAUDIOFILE", device.c_str(), 1);
        ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
        ASSERT_FALSE(fsound::UsingSilentSink());
        std::this_thread::sleep_for(400ms);  // idle, as between start-up and the first press

        for (int song = 0; song < 2; ++song) {
            FSOUND_STREAM* stream = FSOUND_Stream_Open(Library::instance().tone("wav", 1.0).c_str(), 0x130, 0, 0);
            ASSERT_NE(stream, nullptr);
            FSOUND_Stream_Play(FSOUND_FREE, stream);
            ASSERT_TRUE(waitFor([&] { return FSOUND_Stream_GetTime(stream) >= 400; }, 3s));
            FSOUND_Stream_Stop(stream);
            if (song == 0) {
                const std::vector<float> heard = deviceSound(device);
                std::size_t first = 0;
                while (first < heard.size() && std::fabs(heard[first]) < 1e-4f)
                    ++first;
                ASSERT_LT(first, heard.size()) << "nothing reached the device";
                fewest = std::min(fewest, first / 2);
            }
        }
        // A second song on the same device plays too (the device is paused and resumed).
        EXPECT_GT(deviceSound(device).size() / 2, 44100u * 8 / 10);
        fsound::Shutdown();
    }
    EXPECT_LT(fewest, kAllowedSilence) << "frames of silence before the song, at the best of three starts";
}

// A damaged file's decoder can hand over samples far past full scale, NaN or infinity.
// What reaches the device never passes the level the volume allows, and is never NaN.
TEST(SdlOutput, DamagedSamplesNeverPassTheVolumesLevel)
{
    QTemporaryDir dir;
    // A Sun AU file of 32-bit float samples: FFmpeg hands them over as they are.
    const std::string wav = dir.filePath(QStringLiteral("wild.au")).toStdString();
    {
        const float wild[] = {1e8f, -1e8f, NAN, INFINITY, -INFINITY, 0.5f, 3.0f, -0.25f};
        const std::uint32_t frames = 44100;
        std::ofstream out(wav, std::ios::binary);
        auto put = [&out](std::uint32_t v) {
            const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
            out.write(bytes, 4);
        };
        out.write(".snd", 4), put(24), put(frames * 8), put(6), put(44100), put(2);
        for (std::uint32_t i = 0; i < frames * 2; ++i) {
            std::uint32_t bits;
            std::memcpy(&bits, &wild[i % 8], 4);
            put(bits);
        }
    }
    const std::string device = dir.filePath(QStringLiteral("device.raw")).toStdString();
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", device.c_str(), 1);
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(wav.c_str(), 0x130, 0, 0);
    ASSERT_NE(stream, nullptr);
    FSOUND_SetVolume(FSOUND_ALL, 25);
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    ASSERT_TRUE(waitFor([&] { return FSOUND_Stream_GetTime(stream) >= 300; }, 3s));
    FSOUND_Stream_Stop(stream);
    fsound::Shutdown();
    const std::vector<float> heard = deviceSound(device);
    float loudest = 0;
    for (const float sample : heard) {
        ASSERT_TRUE(std::isfinite(sample));
        loudest = std::max(loudest, std::fabs(sample));
    }
    EXPECT_LE(loudest, 25.0f / 255.0f + 1e-6f);
    EXPECT_GT(loudest, 0.9f * 25.0f / 255.0f) << "the song was heard";
}

} // namespace
