#include "Decoder.h"
#include "support/AudioFixtures.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;

std::vector<float> decodeAll(fsound::Decoder& decoder, std::size_t limitSamples = SIZE_MAX)
{
    std::vector<float> out;
    while (out.size() < limitSamples && decoder.decodeChunk(out)) {
    }
    return out;
}

// The source signal itself, channel 0, as the encoders were fed it.
std::vector<float> sourceSignal(double seconds)
{
    auto signal = fixtures::Noise(42);
    std::vector<float> out(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = signal(static_cast<std::int64_t>(i), 0);
    return out;
}

// Frame of `source` where `decoded` (interleaved stereo, 4096 frames) lines up best,
// searched within `range` of `expected`.
long lagInSource(const std::vector<float>& source, const std::vector<float>& decoded, long expected, long range)
{
    double best = -1e30;
    long bestLag = 0;
    for (long lag = expected - range; lag <= expected + range; ++lag) {
        if (lag < 0 || static_cast<std::size_t>(lag + 4096) > source.size())
            continue;
        double sum = 0;
        for (int i = 0; i < 4096; ++i)
            sum += source[lag + i] * decoded[i * 2];
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    return bestLag;
}

class DecoderSeek : public ::testing::TestWithParam<const char*> {
protected:
    QTemporaryDir dir;
};

// The first sample decoded is the first sample encoded, and decoding after a seek
// starts at the target's sample: within 2 ms for every format, within 25 ms for ASF,
// whose packets are stamped in whole milliseconds. Both are measured against the
// signal the encoder was given, so an offset the decoder shares with itself shows.
TEST_P(DecoderSeek, LandsOnTheTargetSample)
{
    const std::string kind = GetParam();
    const double seconds = 4.0;
    const std::string path = fixtures::MakeFile(dir.path().toStdString(), kind, {kRate, 2, seconds},
                                                fixtures::Noise(42));
    ASSERT_FALSE(path.empty());
    const std::vector<float> source = sourceSignal(seconds);
    const long tolerance = kind == "wma" ? kRate * 25 / 1000 : kRate * 2 / 1000;

    fsound::Decoder fromStart;
    ASSERT_TRUE(fromStart.open(path, kRate, 2, 0x130));
    std::vector<float> head = decodeAll(fromStart, 8192 * 2);
    ASSERT_GE(head.size(), 8192u * 2);
    head.erase(head.begin(), head.begin() + 2048 * 2);  // so that a late start is found too
    // Layer II files keep no record of the 481-sample delay of the decoder's filter
    // bank, so their sound starts that much late, from the start and after a seek alike.
    const long startLag = 2048 - lagInSource(source, head, 2048, 2048);
    if (kind != "mp2") {
        EXPECT_LE(std::abs(startLag), tolerance) << kind << " from the start: " << startLag * 1000.0 / kRate << " ms late";
    }

    for (int percent : {10, 50, 90}) {
        const int targetMs = static_cast<int>(seconds * 10 * percent);
        fsound::Decoder seeker;
        ASSERT_TRUE(seeker.open(path, kRate, 2, 0x130));
        seeker.seekMs(targetMs);
        const std::vector<float> probe = decodeAll(seeker, 4096 * 2);
        ASSERT_GE(probe.size(), 4096u * 2);
        const long expected = static_cast<long>(targetMs) * kRate / 1000;
        const long lag = lagInSource(source, probe, expected, kRate / 5);
        EXPECT_LE(std::abs(lag + startLag - expected), tolerance)
            << kind << " at " << percent << " %: " << (lag + startLag - expected) * 1000.0 / kRate << " ms off";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, DecoderSeek, ::testing::Values("wav", "aiff", "mp3", "mp2", "ogg", "flac", "wma"));

TEST(DecoderOutput, MonoBecomesStereoAndRatesAreConverted)
{
    QTemporaryDir dir;
    const std::string path = fixtures::MakeFile(dir.path().toStdString(), "wav", {22050, 1, 1.0},
                                                fixtures::Tone(440.0, 0.5, 22050));
    fsound::Decoder decoder;
    ASSERT_TRUE(decoder.open(path, kRate, 2, 0x130));
    EXPECT_EQ(decoder.sampleRate(), 22050);
    EXPECT_NEAR(decoder.durationMs(), 1000, 5);
    const std::vector<float> all = decodeAll(decoder);
    EXPECT_NEAR(static_cast<double>(all.size()) / 2, kRate, kRate * 0.01);
    for (std::size_t i = 1000; i < 1100; ++i)
        EXPECT_FLOAT_EQ(all[2 * i], all[2 * i + 1]);
}

TEST(DecoderOutput, SeekPastTheEndEndsAtOnce)
{
    QTemporaryDir dir;
    const std::string path = fixtures::MakeFile(dir.path().toStdString(), "wav", {kRate, 2, 1.0}, fixtures::Tone(440));
    fsound::Decoder decoder;
    ASSERT_TRUE(decoder.open(path, kRate, 2, 0x130));
    decoder.seekMs(5000);
    EXPECT_TRUE(decodeAll(decoder).size() < 64);
}

} // namespace

namespace {

// Headers that no real file has must not make one step of decoding take seconds or
// gigabytes: such rates are refused, and every other rate converts in small pieces.
class DecoderHostileHeaders : public ::testing::Test {
protected:
    std::string wav(int rate, int channels, double seconds)
    {
        const std::string path = dir.path().toStdString() + "/r" + std::to_string(rate) + "c"
            + std::to_string(channels) + ".wav";
        EXPECT_TRUE(fixtures::WriteWav(path, {rate, channels, seconds}, fixtures::Tone(5.0, 0.5, rate)));
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(DecoderHostileHeaders, RatesAndChannelCountsNoFileHasAreRefused)
{
    for (int rate : {1, 10, 999}) {
        fsound::Decoder decoder;
        EXPECT_FALSE(decoder.open(wav(rate, 2, 4096.0 / rate), kRate, 2, 0x130)) << rate << " Hz";
    }
    fsound::Decoder many;
    EXPECT_FALSE(many.open(wav(8000, 40, 0.1), kRate, 2, 0x130)) << "40 channels";
}

TEST_F(DecoderHostileHeaders, LowRatesConvertInBoundedChunks)
{
    fsound::Decoder decoder;
    ASSERT_TRUE(decoder.open(wav(1000, 1, 20.0), kRate, 2, 0x130));
    std::vector<float> out;
    std::size_t total = 0;
    std::size_t largest = 0;
    while (decoder.decodeChunk(out)) {
        largest = std::max(largest, out.size() / 2);
        total += out.size() / 2;
        out.clear();
    }
    EXPECT_LE(largest, 8192u + 64u);
    EXPECT_NEAR(static_cast<double>(total), 20.0 * kRate, kRate * 0.01);
}

} // namespace
