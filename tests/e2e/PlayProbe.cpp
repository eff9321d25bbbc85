// End-to-end probe. `play FOLDER SECONDS` makes an MP3 of a 1 kHz tone in FOLDER and plays
// it through the stream player on whatever device SDL opens; `engine FOLDER` builds the
// program's engine with no window at all and drives its transport through two songs (play,
// seek, pause, resume, the join to the next song), printing what it did; `analyse FILE` reads raw
// s16le stereo 44.1 kHz sound (recorded from the sound server) and checks that the tone
// is in it. `make FILE SECONDS HZ` writes a tone (FLAC, Opus, M4A, AIFF or Ogg by the
// extension, else MP3); `tones FILE` prints, for each
// quarter second of a recording that is not silent, its loudest frequency in Hz;
// `levels FILE HZ` the stretches of a recording in which the tone at HZ is heard.
// Exit code 0 means the check passed.

#include "Ogg.h"
#include "PlaybackEngine.h"
#include "Transport.h"
#include "Spectrum.h"
#include "support/AudioFixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

int play(const std::string& folder, double seconds)
{
    const std::string path = fixtures::MakeFile(folder, "mp3", {44100, 2, seconds + 1.0}, fixtures::Tone(1000.0, 0.5));
    if (path.empty()) {
        std::fprintf(stderr, "could not encode the test song\n");
        return 2;
    }
    COgg ogg(nullptr, nullptr);
    ogg.m_InitSound();
    if (fsound::UsingSilentSink()) {
        std::fprintf(stderr, "no sound device: nothing would reach the sound server\n");
        return 3;
    }
    if (!ogg.m_OpenOGG(QString::fromStdString(path)))
        return 4;
    ogg.m_PlayOGG();
    ogg.m_SetVolume(255);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    std::printf("played %d ms of %s\n", ogg.m_GetTimeMs(), ogg.m_strTotalTime.toUtf8().constData());
    ogg.m_ControlOGG(3);
    fsound::Shutdown();
    return 0;
}

// Runs the event loop until `done` holds or `ms` pass.
bool spinUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

void spin(int ms)
{
    spinUntil([] { return false; }, ms);
}

class TwoSongs : public ISongSource {
public:
    QStringList list;
    int current = 0;
    QString CurrentSong() override { return list.value(current); }
    QString NextSong() override { return current + 1 < list.size() ? list[++current] : QString(); }
    QString PeekNextSong() override { return list.value(current + 1); }
};

// The engine alone: song A (1 kHz, 3 s, MP3) plays from its start, is sought to 1.5 s,
// paused for 0.6 s and resumed; song B (2 kHz, 1.5 s, FLAC) follows it without a gap and
// plays to its end. Exit code 0 when the transport reported each step as asked; the
// recording tells whether it was heard so (see engine_headless.sh).
int engine(const std::string& folder)
{
    TwoSongs songs;
    songs.list << QString::fromStdString(
        fixtures::MakeFile(folder, "mp3", {44100, 2, 3.0}, fixtures::Tone(1000.0, 0.5)));
    songs.list << QString::fromStdString(
        fixtures::MakeFile(folder, "flac", {44100, 2, 1.5}, fixtures::Tone(2000.0, 0.5)));
    if (songs.list[0].isEmpty() || songs.list[1].isEmpty()) {
        std::fprintf(stderr, "could not encode the test songs\n");
        return 2;
    }
    PlaybackEngine engine;
    if (fsound::UsingSilentSink()) {
        std::fprintf(stderr, "no sound device: nothing would reach the sound server\n");
        return 3;
    }
    Transport& transport = engine.TheTransport();
    int songChanges = 0;
    QObject::connect(&transport, &Transport::SongChanged, [&] { ++songChanges; });
    transport.SetSongSource(&songs);
    transport.SetVolume(1.0);
    int failures = 0;
    QElapsedTimer clock;
    clock.start();
    auto check = [&](bool ok, const char* what) {
        std::printf("%5lld ms, at %5lld ms: %s %s\n", static_cast<long long>(clock.elapsed()),
                    static_cast<long long>(transport.PositionMs()), ok ? "ok" : "FAILED", what);
        failures += ok ? 0 : 1;
    };

    transport.Play();
    check(transport.State() == TransportState::Playing, "song A plays");
    spin(500);
    transport.SeekTo(1500);
    check(transport.PositionMs() >= 1500 && transport.PositionMs() < 1700, "the seek lands at 1.5 s");
    spin(500);
    transport.Pause();
    const qint64 held = transport.PositionMs();
    spin(600);
    check(transport.State() == TransportState::Paused && transport.PositionMs() == held,
          "paused, the position stands still");
    transport.Play();
    const qint64 resumed = transport.PositionMs();
    check(transport.State() == TransportState::Playing && resumed >= held && resumed < held + 200,
          "resumed where it was held");
    check(spinUntil([&] { return songs.current == 1; }, 3000), "song B follows song A");
    check(spinUntil([&] { return transport.State() == TransportState::Stopped; }, 4000),
          "stopped after the last song");
    check(songChanges == 2, "two songs were told");
    return failures == 0 ? 0 : 1;
}

int analyse(const std::string& file, bool anyTone)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const std::size_t frames = bytes.size() / 4;
    if (frames < fsound::kFftSize) {
        std::printf("recorded %zu frames: too little\n", frames);
        return 1;
    }
    const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
    double sum = 0;
    std::size_t loudest = 0;
    double loudestLevel = 0;
    std::vector<float> mono(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        mono[i] = (samples[2 * i] + samples[2 * i + 1]) / 65536.0f;
        sum += static_cast<double>(mono[i]) * mono[i];
        if (std::fabs(mono[i]) > loudestLevel) {
            loudestLevel = std::fabs(mono[i]);
            loudest = i;
        }
    }
    const double rms = std::sqrt(sum / static_cast<double>(frames));
    const std::size_t at = std::min(loudest, frames - fsound::kFftSize);
    fsound::FftAnalyser fft;
    std::vector<float> bins(fsound::kSpectrumBins);
    fft.analyse(mono.data() + at, bins.data());
    const int peak = static_cast<int>(std::max_element(bins.begin(), bins.end()) - bins.begin());
    std::printf("recorded %.2f s, RMS %.4f (%.1f dBFS), spectrum peak in bin %d (%.0f Hz)\n",
                static_cast<double>(frames) / 44100, rms, 20 * std::log10(std::max(rms, 1e-9)), peak,
                peak * 44100.0 / fsound::kFftSize);
    return rms > 0.05 && (anyTone || peak == 23 || peak == 24) ? 0 : 1;
}

int make(const std::string& file, double seconds, double hz)
{
    // The kind of file is told by its extension; an MP3 otherwise.
    struct Kind {
        const char* container;
        const char* codec;
        int rate;
        int bitRate;
    };
    const std::map<std::string, Kind> kinds = {
        {"flac", {"flac", "flac", 44100, 0}},      {"opus", {"opus", "libopus", 48000, 96000}},
        {"m4a", {"ipod", "aac", 44100, 128000}},   {"aiff", {"aiff", "pcm_s16be", 44100, 0}},
        {"aif", {"aiff", "pcm_s16be", 44100, 0}},  {"ogg", {"ogg", "libvorbis", 44100, 0}},
    };
    const std::string extension = file.substr(file.find_last_of('.') + 1);
    const auto found = kinds.find(extension);
    const Kind kind = found != kinds.end() ? found->second : Kind{"mp3", "libmp3lame", 44100, 128000};
    return fixtures::Encode(file, kind.container, kind.codec, kind.bitRate, {kind.rate, 2, seconds},
                            fixtures::Tone(hz, 0.5, kind.rate))
               ? 0
               : 1;
}

int tones(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
    const std::size_t frames = bytes.size() / 4;
    const std::size_t step = 44100 / 4;
    fsound::FftAnalyser fft;
    std::vector<float> mono(fsound::kFftSize);
    std::vector<float> bins(fsound::kSpectrumBins);
    for (std::size_t at = 0; at + fsound::kFftSize <= frames; at += step) {
        double sum = 0;
        for (std::size_t i = 0; i < fsound::kFftSize; ++i) {
            mono[i] = (samples[2 * (at + i)] + samples[2 * (at + i) + 1]) / 65536.0f;
            sum += static_cast<double>(mono[i]) * mono[i];
        }
        if (std::sqrt(sum / fsound::kFftSize) < 0.02)
            continue;
        fft.analyse(mono.data(), bins.data());
        const auto peak = std::max_element(bins.begin(), bins.end()) - bins.begin();
        std::printf("%.2f %.0f\n", static_cast<double>(at) / 44100, peak * 44100.0 / fsound::kFftSize);
    }
    return 0;
}

// The tone at `hz` (a multiple of 20 Hz) in a recording: each stretch in which it is
// heard, as "START_S END_S LEVEL_DBFS", its level the median of the stretch's 50 ms
// blocks (its first and last two left out).
int levels(const std::string& file, double hz)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
    const std::size_t frames = bytes.size() / 4;
    constexpr std::size_t block = 2205;  // a whole number of periods of every such tone
    std::vector<double> amplitude;
    for (std::size_t at = 0; at + block <= frames; at += block) {
        double re = 0, im = 0;
        for (std::size_t i = 0; i < block; ++i) {
            const double x = samples[2 * (at + i)] / 32768.0;
            const double phase = 2.0 * M_PI * hz * static_cast<double>(i) / 44100.0;
            re += x * std::cos(phase);
            im += x * std::sin(phase);
        }
        amplitude.push_back(2.0 * std::hypot(re, im) / block);
    }
    std::size_t i = 0;
    while (i < amplitude.size()) {
        if (amplitude[i] < 0.02) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < amplitude.size() && amplitude[end] >= 0.02)
            ++end;
        if (end - i >= 8) {
            std::vector<double> middle(amplitude.begin() + static_cast<long>(i + 2), amplitude.begin() + static_cast<long>(end - 2));
            std::nth_element(middle.begin(), middle.begin() + static_cast<long>(middle.size() / 2), middle.end());
            std::printf("%.2f %.2f %.3f\n", i * 0.05, end * 0.05, 20 * std::log10(middle[middle.size() / 2]));
        }
        i = end;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::string(argv[1]) == "play")
        return play(argv[2], std::stod(argv[3]));
    if (argc == 3 && std::string(argv[1]) == "engine")
        return engine(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "analyse")
        return analyse(argv[2], false);
    if (argc == 3 && std::string(argv[1]) == "analyse-any")
        return analyse(argv[2], true);
    if (argc == 5 && std::string(argv[1]) == "make")
        return make(argv[2], std::stod(argv[3]), std::stod(argv[4]));
    if (argc == 3 && std::string(argv[1]) == "tones")
        return tones(argv[2]);
    if (argc == 4 && std::string(argv[1]) == "levels")
        return levels(argv[2], std::stod(argv[3]));
    std::fprintf(stderr, "usage: %s play FOLDER SECONDS | engine FOLDER | analyse FILE | analyse-any FILE | make FILE SECONDS HZ | tones FILE | levels FILE HZ\n", argv[0]);
    return 2;
}
