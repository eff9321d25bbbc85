#include "DecodeProbe.h"
#include "Decoder.h"
#include "support/AudioFixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace {

using probe::decodeAll;
using probe::lagInSource;

// A signal read from a vector, from `offset` on: the pieces of one cut signal.
fixtures::Signal piece(const std::vector<float>& source, std::int64_t offset)
{
    return [&source, offset](std::int64_t frame, int) {
        const auto at = static_cast<std::size_t>(frame + offset);
        return at < source.size() ? source[at] : 0.0f;
    };
}

double rms(const float* samples, std::size_t count, std::size_t step)
{
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += samples[i * step] * samples[i * step];
    return std::sqrt(sum / static_cast<double>(count));
}

struct JoinCase {
    const char* kind;
    int rate;
    int toleranceFrames;  // of each piece's length
};

void PrintTo(const JoinCase& c, std::ostream* os)
{
    *os << c.kind;
}

class DecoderJoins : public ::testing::TestWithParam<JoinCase> {};

// A signal cut sample-exactly into three files decodes back as the uncut signal: each
// piece as long as it was (exactly for lossless formats and those whose container
// states the end, within 1 ms where an MP3's LAME header or an M4A's edit list does),
// and every join in place.
TEST_P(DecoderJoins, PiecesDecodeBackAsTheUncutSignal)
{
    const JoinCase c = GetParam();
    QTemporaryDir dir;
    const std::vector<float> source = probe::sourceSignal(3.4, c.rate);
    const std::vector<std::int64_t> cuts = {0, c.rate * 13 / 10 + 17, c.rate * 22 / 10 + 22,
                                            static_cast<std::int64_t>(source.size())};
    std::vector<float> joined;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        const std::int64_t frames = cuts[i + 1] - cuts[i];
        const std::string folder = dir.path().toStdString() + "/" + std::to_string(i);
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
        const std::string path = fixtures::MakeFile(folder, c.kind, {c.rate, 2, static_cast<double>(frames) / c.rate},
                                                    piece(source, cuts[i]));
        ASSERT_FALSE(path.empty());
        fsound::Decoder decoder;
        ASSERT_TRUE(decoder.open(path, c.rate, 2, 0x130));
        const std::vector<float> decoded = decodeAll(decoder);
        EXPECT_NEAR(static_cast<double>(decoded.size() / 2), static_cast<double>(frames), c.toleranceFrames)
            << c.kind << " piece " << i;
        // Heard from its first sample: the first 20 ms are as loud as the source's (an
        // M4A decoder started after its priming packet fades in from silence instead).
        const auto opening = static_cast<std::size_t>(c.rate / 50);
        ASSERT_GE(decoded.size(), opening * 2);
        EXPECT_NEAR(20.0 * std::log10(rms(decoded.data(), opening, 2) / rms(source.data() + cuts[i], opening, 1)), 0.0,
                    1.0)
            << c.kind << " piece " << i << " opening";
        joined.insert(joined.end(), decoded.begin(), decoded.end());
    }
    for (std::size_t i = 1; i + 1 < cuts.size(); ++i) {
        const long expected = static_cast<long>(cuts[i]) - 2048;
        ASSERT_GE(joined.size(), static_cast<std::size_t>(expected + 4096) * 2);
        const std::vector<float> around(joined.begin() + expected * 2, joined.begin() + (expected + 4096) * 2);
        EXPECT_NEAR(lagInSource(source, around, expected, c.rate / 20), expected, c.rate / 1000)
            << c.kind << " join " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, DecoderJoins,
                         ::testing::Values(JoinCase{"wav", 44100, 0}, JoinCase{"flac", 44100, 0},
                                           JoinCase{"ogg", 44100, 0}, JoinCase{"opus", 48000, 0},
                                           JoinCase{"mp3", 44100, 44}, JoinCase{"m4a", 44100, 44}),
                         [](const auto& info) { return std::string(info.param.kind); });

// Sound follows a seek at once: the first 20 ms after it are as loud as the source there
// (within 1 dB). An MP3 frame takes data from the frames before it; at 8 kbit/s up to
// nine of them, which a decoder starting at the target's frame would miss.
TEST(DecoderSeekSound, LowRateMp3IsHeardFromTheFirstFrameAfterASeek)
{
    QTemporaryDir dir;
    const int rate = 8000;
    const std::string path = fixtures::MakeFile(dir.path().toStdString(), "mp3-8k", {rate, 1, 4.0},
                                                fixtures::Tone(330.0, 0.5, rate));
    ASSERT_FALSE(path.empty());
    const double sourceRms = 0.5 / std::sqrt(2.0);
    for (auto choice : {fsound::Decoder::Choice::Dedicated, fsound::Decoder::Choice::Ffmpeg}) {
        for (int targetMs : {1000, 1730, 2900}) {
            fsound::Decoder decoder;
            ASSERT_TRUE(decoder.open(path, rate, 2, 0x130, choice));
            decoder.seekMs(targetMs);
            const std::vector<float> probe = decodeAll(decoder, rate / 50 * 2);
            ASSERT_GE(probe.size(), static_cast<std::size_t>(rate / 50 * 2));
            const double db = 20.0 * std::log10(rms(probe.data(), rate / 50, 2) / sourceRms + 1e-9);
            EXPECT_NEAR(db, 0.0, 1.0) << (choice == fsound::Decoder::Choice::Ffmpeg ? "FFmpeg" : "libmpg123")
                                      << " at " << targetMs << " ms";
        }
    }
}

// A song at another rate than the output's is converted without shifting it: from the
// start and after a seek its sound lines up with the same signal sampled at the
// output's rate, within 2 ms (as every Opus file plays, at 48 kHz into 44.1 kHz).
TEST(DecoderRates, ConversionKeepsEveryPositionInPlace)
{
    // A sum of sines is the same signal at any rate.
    auto signalAt = [](int rate) {
        return [rate](std::int64_t frame, int) {
            const double t = static_cast<double>(frame) / rate;
            double sum = 0;
            for (int k = 1; k <= 12; ++k)
                sum += std::sin(2 * std::numbers::pi * (97.0 * k + 13.0 * k * k) * t + k) / 16;
            return static_cast<float>(sum);
        };
    };
    const int outRate = probe::kRate;
    std::vector<float> expected(static_cast<std::size_t>(outRate * 3));
    const auto reference = signalAt(outRate);
    for (std::size_t i = 0; i < expected.size(); ++i)
        expected[i] = reference(static_cast<std::int64_t>(i), 0);
    QTemporaryDir dir;
    for (const char* kind : {"wav", "opus"}) {
        const std::string path = fixtures::MakeFile(dir.path().toStdString(), kind, {48000, 2, 3.0}, signalAt(48000));
        ASSERT_FALSE(path.empty()) << kind;
        for (int targetMs : {0, 1234, 2100}) {
            fsound::Decoder decoder;
            ASSERT_TRUE(decoder.open(path, outRate, 2, 0x130));
            decoder.seekMs(targetMs);
            std::vector<float> probe = decodeAll(decoder, 8192 * 2);
            ASSERT_GE(probe.size(), 8192u * 2);
            // Skip the first 1000 frames so a late start shows too.
            probe.erase(probe.begin(), probe.begin() + 2000);
            const long at = static_cast<long>(targetMs) * outRate / 1000 + 1000;
            EXPECT_NEAR(lagInSource(expected, probe, at, outRate / 100), at, outRate * 2 / 1000)
                << kind << " at " << targetMs << " ms";
        }
    }
}

// ADPCM WAVs are laid out in blocks of a fixed sample count: a seek lands on its sample,
// and one near the end plays only what is left.
TEST(DecoderAdpcm, SeeksLandOnTheSampleAndNeverPassTheEnd)
{
    const int rate = probe::kRate;
    const double seconds = 4.0;
    const std::vector<float> source = probe::sourceSignal(seconds, rate);
    for (const char* kind : {"adpcm_ms", "adpcm_ima_wav"}) {
        QTemporaryDir dir;
        const std::string path = fixtures::MakeFile(dir.path().toStdString(), kind, {rate, 2, seconds},
                                                    fixtures::Noise(42));
        ASSERT_FALSE(path.empty()) << kind;
        fsound::Decoder whole;
        ASSERT_TRUE(whole.open(path, rate, 2, 0x130));
        const std::int64_t lengthMs = whole.durationMs();
        const std::size_t total = decodeAll(whole).size() / 2;
        EXPECT_NEAR(lengthMs, seconds * 1000, 30) << kind;
        for (int targetMs : {400, 2000, 3600}) {
            fsound::Decoder seeker;
            ASSERT_TRUE(seeker.open(path, rate, 2, 0x130));
            seeker.seekMs(targetMs);
            const std::vector<float> probe = decodeAll(seeker, 4096 * 2);
            ASSERT_GE(probe.size(), 4096u * 2);
            const long expected = static_cast<long>(targetMs) * rate / 1000;
            EXPECT_NEAR(lagInSource(source, probe, expected, rate / 10), expected, rate * 2 / 1000)
                << kind << " at " << targetMs << " ms";
        }
        fsound::Decoder nearEnd;
        ASSERT_TRUE(nearEnd.open(path, rate, 2, 0x130));
        const std::int64_t targetMs = lengthMs - 300;
        nearEnd.seekMs(targetMs);
        const double leftFrames = static_cast<double>(total) - static_cast<double>(targetMs) * rate / 1000;
        EXPECT_NEAR(static_cast<double>(decodeAll(nearEnd).size() / 2), leftFrames, rate * 2 / 1000) << kind;
    }
}

// Every channel count a decoder opens is heard, folded into two: a tone on every
// channel comes out on both sides.
TEST(DecoderChannels, EveryChannelCountIsMixedDown)
{
    const int rate = probe::kRate;
    for (int channels : {1, 3, 6, 8, 9, 12, 15, 16, 17, 23, 24, 25, 32}) {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/many.wav";
        ASSERT_TRUE(fixtures::WriteWav(path, {rate, channels, 0.5}, fixtures::Tone(440.0, 0.5, rate)));
        for (auto choice : {fsound::Decoder::Choice::Auto, fsound::Decoder::Choice::Ffmpeg}) {
            fsound::Decoder decoder;
            ASSERT_TRUE(decoder.open(path, rate, 2, 0x130, choice)) << channels;
            const std::vector<float> all = decodeAll(decoder);
            ASSERT_NEAR(static_cast<double>(all.size() / 2), rate * 0.5, 2) << channels << " channels";
            for (int side = 0; side < 2; ++side)
                EXPECT_GT(rms(all.data() + side, all.size() / 2, 2), 0.1)
                    << channels << " channels, side " << side
                    << (choice == fsound::Decoder::Choice::Ffmpeg ? " (FFmpeg)" : "");
        }
    }
}

} // namespace
