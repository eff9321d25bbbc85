// End-to-end probe. `play FOLDER SECONDS` makes an MP3 of a 1 kHz tone in FOLDER and plays
// it through the stream player on whatever device SDL opens; `analyse FILE` reads raw
// s16le stereo 44.1 kHz sound (recorded from the sound server) and checks that the tone
// is in it. `make FILE SECONDS HZ` writes a tone (FLAC, Opus, M4A, AIFF or Ogg by the
// extension, else MP3); `tones FILE` prints, for each
// quarter second of a recording that is not silent, its loudest frequency in Hz.
// Exit code 0 means the check passed.

#include "Ogg.h"
#include "Spectrum.h"
#include "support/AudioFixtures.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::string(argv[1]) == "play")
        return play(argv[2], std::stod(argv[3]));
    if (argc == 3 && std::string(argv[1]) == "analyse")
        return analyse(argv[2], false);
    if (argc == 3 && std::string(argv[1]) == "analyse-any")
        return analyse(argv[2], true);
    if (argc == 5 && std::string(argv[1]) == "make")
        return make(argv[2], std::stod(argv[3]), std::stod(argv[4]));
    if (argc == 3 && std::string(argv[1]) == "tones")
        return tones(argv[2]);
    std::fprintf(stderr, "usage: %s play FOLDER SECONDS | analyse FILE | analyse-any FILE | make FILE SECONDS HZ | tones FILE\n", argv[0]);
    return 2;
}
