// One signal cut into songs, and how much of it a sink's recording holds.
//
// The signal is a 441 Hz cosine (amplitude 12000) whose loudness rises and falls every
// 2 s, so that no stretch of it is the same as the one 100 samples on: a skipped or
// repeated stretch shows as a wrong sample. It starts on a peak, so its first sample is
// found exactly in a recording.
//
//   sorvel_sequence_probe piece FILE RATE START_S FRAMES
//       16-bit stereo WAV at RATE: FRAMES samples of the signal from START_S seconds.
//   sorvel_sequence_probe silence FILE SECONDS
//       16-bit stereo WAV of digital silence at 44.1 kHz.
//   sorvel_sequence_probe ended RECORDING
//       exit 0 once the recording (s16le, 44.1 kHz, stereo) holds the signal followed
//       by half a second of silence.
//   sorvel_sequence_probe analyse RECORDING SECONDS [exact]
//       prints how much of the signal was heard against its SECONDS; exit 0 when that
//       is within 1 ms and nothing inside it is silent. With `exact` (songs at 44.1 kHz
//       in lossless formats) every sample must be the signal's, and the length exact.

#include "support/WaveFile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kThreshold = 600;    // well below the signal's quietest peaks (7200)
constexpr long kGapFrames = 10;    // the cosine is never this long below the threshold
constexpr long kRestFrames = kRate / 2;

int signal(double seconds)
{
    const double loudness = 0.8 + 0.2 * std::cos(2 * M_PI * 0.5 * seconds);
    return static_cast<int>(std::lrint(12000.0 * loudness * std::cos(2 * M_PI * 441.0 * seconds)));
}

bool writeWav(const std::string& path, int rate, long frames, double start)
{
    return wave::WriteStereo16(path, static_cast<std::uint32_t>(rate), static_cast<std::uint32_t>(frames),
                               [rate, start](std::uint32_t n, std::int16_t& left, std::int16_t& right) {
                                   left = right = static_cast<std::int16_t>(
                                       start < 0 ? 0 : signal(start + static_cast<double>(n) / rate));
                               });
}

std::vector<std::int16_t> leftChannel(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> left(bytes.size() / 4);
    for (std::size_t i = 0; i < left.size(); ++i)
        left[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[i * 4])
                                            | (static_cast<std::uint8_t>(bytes[i * 4 + 1]) << 8));
    return left;
}

// Where the signal lies in a recording: its first and last loud sample before half a
// second of silence, and the silences inside. `first` is -1 when it was not heard, and
// `last` is -1 while no closing silence follows it.
struct Heard {
    long first = -1;
    long last = -1;
    long gaps = 0;
};

Heard locate(const std::vector<std::int16_t>& left)
{
    Heard heard;
    long quiet = 0;
    for (long i = 0; i < static_cast<long>(left.size()); ++i) {
        if (std::abs(left[static_cast<std::size_t>(i)]) > kThreshold) {
            if (heard.first < 0)
                heard.first = i;
            if (quiet >= kGapFrames)
                ++heard.gaps;
            quiet = 0;
            heard.last = i;
        } else if (heard.first >= 0 && ++quiet >= kRestFrames) {
            return heard;
        }
    }
    heard.last = -1;
    return heard;
}

int analyse(const std::string& path, double seconds, bool exact)
{
    const std::vector<std::int16_t> left = leftChannel(path);
    const Heard heard = locate(left);
    if (heard.first < 0 || heard.last < 0) {
        std::printf("heard: %s\n", heard.first < 0 ? "nothing" : "no end");
        return 1;
    }
    const double expectedFrames = seconds * kRate;
    const long frames = heard.last - heard.first + 1;
    bool ok = heard.gaps == 0;
    int worst = 0;
    if (exact) {
        // Every sample, and silence right after the last one (the closing samples may be
        // quieter than the threshold, so the length alone does not say it).
        const auto total = static_cast<long>(std::lrint(expectedFrames));
        for (long n = 0; n < total && heard.first + n < static_cast<long>(left.size()); ++n)
            worst = std::max(worst, std::abs(left[static_cast<std::size_t>(heard.first + n)]
                                             - signal(static_cast<double>(n) / kRate)));
        const long after = heard.first + total;
        if (after >= static_cast<long>(left.size()) || left[static_cast<std::size_t>(after)] != 0)
            worst = std::max(worst, 32767);  // more than the signal, or less of it
        ok = ok && worst <= 1;
    }
    const double missing = expectedFrames - static_cast<double>(frames);
    ok = ok && (exact || std::fabs(missing) <= kRate / 1000.0);
    std::printf("heard %.2f ms of %.2f ms (%+.0f frames), %ld silences inside", frames * 1000.0 / kRate,
                seconds * 1000.0, -missing, heard.gaps);
    if (exact)
        std::printf(", largest sample difference %d", worst);
    std::printf(": %s\n", ok ? "ok" : "FAIL");
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "piece" && argc == 6)
        return writeWav(argv[2], std::atoi(argv[3]), std::atol(argv[5]), std::atof(argv[4])) ? 0 : 1;
    if (command == "silence" && argc == 4)
        return writeWav(argv[2], kRate, std::lrint(std::atof(argv[3]) * kRate), -1) ? 0 : 1;
    if (command == "ended" && argc == 3)
        return locate(leftChannel(argv[2])).last >= 0 ? 0 : 1;
    if (command == "analyse" && (argc == 4 || argc == 5))
        return analyse(argv[2], std::atof(argv[3]), argc == 5 && std::string(argv[4]) == "exact");
    std::fprintf(stderr,
                 "usage: %s piece FILE RATE START_S FRAMES | silence FILE SECONDS | ended RECORDING"
                 " | analyse RECORDING SECONDS [exact]\n",
                 argv[0]);
    return 2;
}
