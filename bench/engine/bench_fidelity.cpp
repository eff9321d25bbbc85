// How exactly each format sounds as its maker encoded it: one noise signal encoded by
// Debian's command-line encoders (lame, flac, oggenc, opusenc, ffmpeg), decoded through
// the engine's Decoder at 44.1 kHz and lined up against the signal itself.
//
// Per format: the stated and the decoded length against the signal's, where a seek to
// 10, 30 and 110 s lands, where the first 20 ms sit and how loud they are against the
// signal (a fade-in shows as a ratio under 1), and the join gap between two encoded
// pieces of one cut signal (frames added, or lost when negative).
// Arguments: the signal's length in seconds (default 120), and optionally the formats
// to measure, comma-separated (default all).

#include "Decoder.h"
#include "support/AudioFixtures.h"

#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kWindow = 4096;  // frames compared at each place

std::vector<float> signalOf(std::int64_t frames, std::uint32_t seed)
{
    auto noise = fixtures::Noise(seed);
    std::vector<float> out(static_cast<std::size_t>(frames));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = noise(static_cast<std::int64_t>(i), 0);
    return out;
}

fixtures::Signal piece(const std::vector<float>& source, std::int64_t from)
{
    return [&source, from](std::int64_t frame, int) {
        const auto at = static_cast<std::size_t>(frame + from);
        return at < source.size() ? source[at] : 0.0f;
    };
}

// Frames the decoded stretch (stereo, channel 0 compared) sits late against the source
// at `at`: positive when the decoder put out that much before the source's frame.
long offsetAt(const std::vector<float>& source, long at, const std::vector<float>& decoded, long range)
{
    double best = -1e30;
    long bestOffset = 0;
    for (long d = -range; d <= range; ++d) {
        double sum = 0;
        for (long i = 0; i < kWindow; ++i) {
            const long s = at + i;
            const long k = i + d;
            if (s < 0 || s >= static_cast<long>(source.size()) || k < 0
                || 2 * k >= static_cast<long>(decoded.size()))
                continue;
            sum += source[static_cast<std::size_t>(s)] * decoded[static_cast<std::size_t>(2 * k)];
        }
        if (sum > best) {
            best = sum;
            bestOffset = d;
        }
    }
    return bestOffset;
}

std::vector<float> decodeFrames(fsound::Decoder& decoder, std::size_t frames)
{
    std::vector<float> out;
    while (out.size() < frames * 2 && decoder.decodeChunk(out)) {
    }
    return out;
}

double levelRatio(const std::vector<float>& source, const std::vector<float>& decoded, long offset, long frames)
{
    double s = 0, d = 0;
    for (long i = 0; i < frames; ++i) {
        const long k = i + offset;
        if (k < 0 || 2 * k >= static_cast<long>(decoded.size()))
            continue;
        s += source[static_cast<std::size_t>(i)] * source[static_cast<std::size_t>(i)];
        d += decoded[static_cast<std::size_t>(2 * k)] * decoded[static_cast<std::size_t>(2 * k)];
    }
    return s > 0 ? std::sqrt(d / s) : 0.0;
}

double ms(long frames)
{
    return frames * 1000.0 / kRate;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 120.0;
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const auto total = static_cast<std::int64_t>(seconds * kRate);
    const std::vector<float> source = signalOf(total, 42);
    const fixtures::Clip clip{kRate, 2, seconds};
    const std::string wav = folder + "/signal.wav";
    fixtures::WriteWav(wav, clip, piece(source, 0));
    // The join: the signal cut at 5 s and a bit, each piece encoded on its own.
    const std::int64_t cut = 5 * kRate + 17;
    const std::string wavA = folder + "/a.wav";
    const std::string wavB = folder + "/b.wav";
    fixtures::WriteWav(wavA, {kRate, 2, static_cast<double>(cut) / kRate}, piece(source, 0));
    fixtures::WriteWav(wavB, {kRate, 2, 3.0}, piece(source, cut));
    const std::vector<float> sourceB(source.begin() + cut, source.end());

    std::printf("%-11s %9s %9s %8s %8s %8s %10s %8s %9s\n", "format", "stated", "decoded", "seek10", "seek30",
                "seek110", "first20ms", "level", "join");
    std::printf("%-11s %9s %9s %8s %8s %8s %10s %8s %9s\n", "", "ms off", "ms off", "ms", "ms", "ms", "ms", "ratio",
                "frames");
    const char* kinds[] = {"wav", "lame", "lame-bare", "flac", "oggenc", "opusenc", "ffmpeg-m4a", "ffmpeg-ac3"};
    const std::string only = argc > 2 ? "," + std::string(argv[2]) + "," : std::string();
    for (const std::string kind : kinds) {
        if (!only.empty() && only.find("," + kind + ",") == std::string::npos)
            continue;
        const std::string path = kind == "wav" ? wav : fixtures::EncodeWithTool(wav, kind, "whole-" + kind);
        const std::string pathA = kind == "wav" ? wavA : fixtures::EncodeWithTool(wavA, kind, "a-" + kind);
        const std::string pathB = kind == "wav" ? wavB : fixtures::EncodeWithTool(wavB, kind, "b-" + kind);
        fsound::Decoder decoder;
        if (path.empty() || !decoder.open(path, kRate, 2, 0)) {
            std::printf("%-11s (not encoded or not opened)\n", kind.c_str());
            continue;
        }
        const double statedOff = static_cast<double>(decoder.durationMs()) - seconds * 1000.0;
        std::vector<float> head = decodeFrames(decoder, kWindow + 2048);
        const long firstOffset = offsetAt(source, 0, head, 2048);
        const double level = levelRatio(source, head, firstOffset, kRate / 50);
        std::int64_t frames = static_cast<std::int64_t>(head.size() / 2);
        std::vector<float> rest;
        while (decoder.decodeChunk(rest)) {
            frames += static_cast<std::int64_t>(rest.size() / 2);
            rest.clear();
        }
        double seekOff[3] = {};
        const int targets[3] = {10, 30, 110};
        for (int i = 0; i < 3; ++i) {
            if (targets[i] + 1 > seconds) {
                seekOff[i] = NAN;
                continue;
            }
            decoder.seekMs(targets[i] * 1000);
            const std::vector<float> got = decodeFrames(decoder, kWindow + 4096);
            seekOff[i] = ms(offsetAt(source, targets[i] * kRate, got, 4096));
        }
        long join = 0;
        fsound::Decoder a, b;
        if (!pathA.empty() && !pathB.empty() && a.open(pathA, kRate, 2, 0) && b.open(pathB, kRate, 2, 0)) {
            std::int64_t framesA = 0;
            std::vector<float> chunk;
            while (a.decodeChunk(chunk)) {
                framesA += static_cast<std::int64_t>(chunk.size() / 2);
                chunk.clear();
            }
            const std::vector<float> headB = decodeFrames(b, kWindow + 2048);
            join = static_cast<long>(framesA - cut) + offsetAt(sourceB, 0, headB, 2048);
        }
        std::printf("%-11s %9.1f %9.1f %8.2f %8.2f %8.2f %10.2f %8.3f %9ld\n", kind.c_str(), statedOff,
                    ms(static_cast<long>(frames - total)), seekOff[0], seekOff[1], seekOff[2], ms(firstOffset), level,
                    join);
    }
    return 0;
}
