// Songs queued one behind the other play as one signal: a signal cut into pieces comes
// out of the device as the uncut signal. What the device plays is read back from SDL's
// disk driver, which writes it to a file in real time.

#include "G.h"
#include "Ogg.h"
#include "Transport.h"
#include "fsound.h"
#include "support/AudioFixtures.h"
#include "support/EngineEnvironment.h"
#include "support/QtApplication.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using fixtures::deviceSound;
using fixtures::waitFor;

namespace {

constexpr int kRate = 44100;
// Piece lengths that are no multiple of any codec's frame size.
constexpr std::int64_t kPieces[] = {16411, 20023, 17389};


// The uncut signal, one value per frame (both channels carry it).
std::vector<float> uncutSignal()
{
    std::int64_t total = 0;
    for (std::int64_t piece : kPieces)
        total += piece;
    const fixtures::Signal noise = fixtures::Noise(7, 0.4);
    std::vector<float> signal(static_cast<std::size_t>(total));
    for (std::int64_t i = 0; i < total; ++i)
        signal[static_cast<std::size_t>(i)] = noise(i, 0);
    return signal;
}

// Normalised correlation of `window` frames of the source from `from` with the left
// channel of the device's sound from `at`.
double correlation(const std::vector<float>& source, std::int64_t from, const std::vector<float>& device,
                   std::int64_t at, std::int64_t window)
{
    if (from < 0 || at < 0 || from + window > static_cast<std::int64_t>(source.size())
        || (at + window) * 2 > static_cast<std::int64_t>(device.size()))
        return -1.0;
    double sum = 0.0, a = 0.0, b = 0.0;
    for (std::int64_t i = 0; i < window; ++i) {
        const double x = source[static_cast<std::size_t>(from + i)];
        const double y = device[static_cast<std::size_t>((at + i) * 2)];
        sum += x * y;
        a += x * x;
        b += y * y;
    }
    return a > 0 && b > 0 ? sum / std::sqrt(a * b) : -1.0;
}

// The device frame where `window` source frames from `from` match best, searched
// within `reach` frames of `guess`.
std::int64_t bestMatch(const std::vector<float>& source, std::int64_t from, const std::vector<float>& device,
                       std::int64_t guess, std::int64_t reach, std::int64_t window)
{
    std::int64_t best = -1;
    double bestScore = 0.5;  // below this nothing matches
    for (std::int64_t at = std::max<std::int64_t>(guess - reach, 0); at <= guess + reach; ++at) {
        const double score = correlation(source, from, device, at, window);
        if (score > bestScore) {
            bestScore = score;
            best = at;
        }
    }
    return best;
}

// The file SDL's disk driver writes what it plays to.
std::string diskDevice()
{
    static QTemporaryDir dir;
    return dir.filePath(QStringLiteral("device.raw")).toStdString();
}

// Plays the files queued one behind the other through the disk device and reads back
// what it wrote; `dropouts` counts the frames of silence SDL had to put inside the songs.
void playInARow(const std::vector<std::string>& paths, std::vector<float>& heard, std::int64_t& dropouts,
                bool replayGain = false)
{
    std::filesystem::remove(diskDevice());
    ASSERT_EQ(FSOUND_Init(kRate, 32, 0), 1);
    ASSERT_FALSE(fsound::UsingSilentSink());
    std::vector<FSOUND_STREAM*> streams;
    for (const std::string& path : paths) {
        streams.push_back(fsound::StreamOpen(path.c_str(), 0x130, {replayGain, {}, {}}));
        ASSERT_NE(streams.back(), nullptr) << path;
    }
    ASSERT_TRUE(fsound::StreamQueue(streams[0], streams[1]));
    ASSERT_TRUE(fsound::StreamQueue(streams[1], streams[2]));
    EXPECT_FALSE(fsound::StreamQueue(streams[0], streams[2])) << "a stream takes one follower";
    FSOUND_Stream_Play(FSOUND_FREE, streams[0]);
    ASSERT_TRUE(waitFor([&] { return fsound::StreamHandedOver(streams[0]); }, 10s));
    // The first song's position stands at its end from then on, never running back.
    const int endOfFirst = FSOUND_Stream_GetTime(streams[0]);
    FSOUND_Stream_Stop(streams[0]);  // the second goes on
    ASSERT_TRUE(waitFor([&] { return fsound::StreamPlayedOut(streams[2]); }, 10s));
    EXPECT_GE(endOfFirst, static_cast<int>(kPieces[0] * 1000 / kRate) - 400);
    FSOUND_Stream_Stop(streams[1]);
    FSOUND_Stream_Stop(streams[2]);
    dropouts = fsound::StarvedFrames();
    fsound::Shutdown();
    heard = deviceSound(diskDevice());
}

struct JoinCase {
    const char* kind;
    std::int64_t allowedFrames;  // drift allowed at a join, either way
};

class GaplessJoin : public ::testing::TestWithParam<JoinCase> {
protected:
    static void SetUpTestSuite()
    {
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", device().c_str(), 1);
    }
    static std::string device() { return diskDevice(); }
};

// Each piece goes behind the one before it while the first plays; every join then lands
// where the uncut signal has it: not one frame of gap or overlap for lossless formats,
// within 1 ms where the encoder's delay and padding are stated in the file.
TEST_P(GaplessJoin, PiecesOfOneSignalPlayAsTheUncutSignal)
{
    const JoinCase join = GetParam();
    const std::vector<float> source = uncutSignal();
    QTemporaryDir dir;
    std::vector<std::string> paths;
    std::int64_t offset = 0;
    for (std::int64_t frames : kPieces) {
        const std::string folder = dir.filePath(QString::number(paths.size())).toStdString();
        std::filesystem::create_directories(folder);
        const fixtures::Clip clip{kRate, 2, static_cast<double>(frames) / kRate};
        const std::string path = fixtures::MakeFile(
            folder, join.kind, clip, [&source, offset](std::int64_t frame, int) {
                return source[static_cast<std::size_t>(std::min<std::int64_t>(offset + frame,
                                                                              static_cast<std::int64_t>(source.size()) - 1))];
            });
        ASSERT_FALSE(path.empty()) << join.kind;
        paths.push_back(path);
        offset += frames;
    }

    // SDL cannot wait for a late decoder: it plays silence instead. A try in which the
    // machine kept the decoder thread from its work that long says nothing about where the
    // joins fall, so it is made again (the dropouts themselves are counted by the library).
    std::vector<float> heard;
    for (int attempt = 1;; ++attempt) {
        std::int64_t dropouts = 0;
        playInARow(paths, heard, dropouts);
        if (HasFatalFailure() || dropouts == 0)
            break;
        if (attempt == 3)
            GTEST_SKIP() << "the decoder thread was late in every try (" << dropouts << " frames of dropout)";
    }
    ASSERT_FALSE(HasFatalFailure());

    const std::int64_t window = 2048;
    const std::int64_t start = bestMatch(source, 0, heard, 0, static_cast<std::int64_t>(heard.size() / 2), window);
    ASSERT_GE(start, 0) << "the first piece was not heard";
    std::int64_t joinAt = 0;
    for (std::size_t piece = 0; piece + 1 < std::size(kPieces); ++piece) {
        joinAt += kPieces[piece];
        // The signal just after the join lies where the uncut signal has it.
        const std::int64_t found = bestMatch(source, joinAt, heard, start + joinAt, 2000, window);
        ASSERT_GE(found, 0) << "nothing like piece " << piece + 2 << " near its join";
        ::testing::Test::RecordProperty("join" + std::to_string(piece + 1) + "Frames",
                                        static_cast<int>(found - (start + joinAt)));
        EXPECT_LE(std::llabs(found - (start + joinAt)), join.allowedFrames)
            << join.kind << ": frames of gap (+) or overlap (-) at join " << piece + 1;
    }
    if (join.allowedFrames == 0) {
        // Lossless: the whole signal, sample for sample.
        double worst = 0.0;
        for (std::size_t i = 0; i < source.size(); ++i)
            for (int channel = 0; channel < 2; ++channel)
                worst = std::max(worst, std::fabs(double(heard[(start + i) * 2 + channel]) - source[i]));
        EXPECT_LT(worst, 1e-3) << join.kind;
    }
}

// A song's own gain is part of it: a piece tagged 6 dB down between two untagged ones is
// heard at half the level from its first sample to its last, the others as they are.
TEST_F(GaplessJoin, ReplayGainStartsAndEndsWithItsSong)
{
    const std::vector<float> source = uncutSignal();
    QTemporaryDir dir;
    std::vector<std::string> paths;
    std::int64_t offset = 0;
    for (std::int64_t frames : kPieces) {
        const bool tagged = paths.size() == 1;
        const std::string path = dir.filePath(QString::number(paths.size()) + ".flac").toStdString();
        const fixtures::Clip clip{kRate, 2, static_cast<double>(frames) / kRate};
        ASSERT_TRUE(fixtures::Encode(
            path, "flac", "flac", 0, clip,
            [&source, offset](std::int64_t frame, int) { return source[static_cast<std::size_t>(offset + frame)]; },
            tagged ? std::vector<std::pair<std::string, std::string>>{{"REPLAYGAIN_TRACK_GAIN", "-6.0206 dB"}}
                   : std::vector<std::pair<std::string, std::string>>{}));
        paths.push_back(path);
        offset += frames;
    }
    std::vector<float> heard;
    for (int attempt = 1;; ++attempt) {
        std::int64_t dropouts = 0;
        playInARow(paths, heard, dropouts, true);
        if (HasFatalFailure() || dropouts == 0)
            break;
        if (attempt == 3)
            GTEST_SKIP() << "the decoder thread was late in every try (" << dropouts << " frames of dropout)";
    }
    ASSERT_FALSE(HasFatalFailure());
    const std::int64_t start = bestMatch(source, 0, heard, 0, static_cast<std::int64_t>(heard.size() / 2), 2048);
    ASSERT_GE(start, 0) << "the first piece was not heard";
    ASSERT_LE((start + static_cast<std::int64_t>(source.size())) * 2, static_cast<std::int64_t>(heard.size()));
    double worst[3] = {};
    std::size_t frame = 0;
    for (std::size_t piece = 0; piece < std::size(kPieces); ++piece) {
        const double gain = piece == 1 ? 0.5 : 1.0;
        for (std::int64_t i = 0; i < kPieces[piece]; ++i, ++frame)
            for (int channel = 0; channel < 2; ++channel)
                worst[piece] = std::max(worst[piece], std::fabs(heard[(start + frame) * 2 + channel] - gain * source[frame]));
    }
    for (std::size_t piece = 0; piece < std::size(kPieces); ++piece)
        EXPECT_LT(worst[piece], 1e-3) << "piece " << piece + 1;
}

class SongPair : public ISongSource {
public:
    QStringList list;
    int current = 0;
    QString CurrentSong() override { return list.value(current); }
    QString NextSong() override { return current + 1 < list.size() ? list[++current] : QString(); }
    QString PeekNextSong() override { return list.value(current + 1); }
};

// The song after this one is in place before the output can reach this one's end, even
// while the window thread is busy: the output mixes ahead of what is heard and pads a song
// with nothing behind it with silence. Queued only once the window thread had heard that
// the first song was decoded, a short song was followed by silence (250 ms was heard at a
// join on a loaded desktop).
TEST_F(GaplessJoin, TheNextSongIsInPlaceWhileTheWindowThreadIsBusy)
{
    EnsureQtApplication();
    const std::vector<float> source = uncutSignal();
    QTemporaryDir dir;
    const std::int64_t firstFrames = 11025;  // a quarter of a second
    QStringList paths;
    for (std::int64_t from : {std::int64_t{0}, firstFrames}) {
        const std::string folder = dir.filePath(QString::number(from)).toStdString();
        std::filesystem::create_directories(folder);
        const std::int64_t frames = from == 0 ? firstFrames : kPieces[1];
        const fixtures::Clip clip{kRate, 2, static_cast<double>(frames) / kRate};
        paths << QString::fromStdString(fixtures::MakeFile(folder, "wav", clip, [&source, from](std::int64_t frame, int) {
            return source[static_cast<std::size_t>(from + frame)];
        }));
    }

    std::filesystem::remove(device());
    auto ogg = std::make_unique<COgg>(nullptr, nullptr);
    ogg->m_InitSound();
    ASSERT_FALSE(fsound::UsingSilentSink());
    SongPair songs;
    songs.list = paths;
    {
        Transport transport(*ogg);
        transport.SetSongSource(&songs);
        transport.SetVolume(1.0);
        transport.Play();
        std::this_thread::sleep_for(600ms);  // the window thread at work elsewhere
        QElapsedTimer clock;
        clock.start();
        while (transport.State() == TransportState::Playing && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_EQ(songs.current, 1);
        EXPECT_EQ(transport.State(), TransportState::Stopped);
    }
    ogg->m_ControlOGG(OggStop);
    ogg.reset();
    fsound::Shutdown();

    const std::vector<float> heard = deviceSound(device());
    const std::int64_t window = 2048;
    const std::int64_t start = bestMatch(source, 0, heard, 0, static_cast<std::int64_t>(heard.size() / 2), window);
    ASSERT_GE(start, 0) << "the first song was not heard";
    const std::int64_t found = bestMatch(source, firstFrames, heard, start + firstFrames, 2000, window);
    ASSERT_GE(found, 0) << "the second song is not near the first one's end";
    EXPECT_EQ(found - (start + firstFrames), 0) << "frames of gap (+) or overlap (-) at the join";
}

INSTANTIATE_TEST_SUITE_P(Formats, GaplessJoin,
                         ::testing::Values(JoinCase{"wav", 0}, JoinCase{"flac", 0}, JoinCase{"mp3", 44},
                                           JoinCase{"m4a", 44}),
                         [](const auto& info) { return std::string(info.param.kind); });

} // namespace
