#include "DecodeProbe.h"
#include "Decoder.h"
#include "support/AudioFixtures.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

using probe::decodeAll;
using probe::kRate;
using probe::lagInSource;
using probe::sourceSignal;

struct SeekCase {
    const char* kind;
    fsound::Decoder::Choice choice;
    int rate;
};

void PrintTo(const SeekCase& c, std::ostream* os)
{
    *os << c.kind;
}

std::string caseName(const ::testing::TestParamInfo<SeekCase>& info)
{
    return std::string(info.param.kind) + (info.param.choice == fsound::Decoder::Choice::Ffmpeg ? "_ffmpeg" : "_own");
}

class DecoderSeek : public ::testing::TestWithParam<SeekCase> {
protected:
    QTemporaryDir dir;
};

// The first sample decoded is the first sample encoded (the codec's and the encoder's
// delay removed), and decoding after a seek starts at the target's sample: within 2 ms
// for every format and every decoder that serves it, within 25 ms for ASF, whose packets
// are stamped in whole milliseconds. Both are measured against the signal the encoder
// was given.
TEST_P(DecoderSeek, LandsOnTheTargetSample)
{
    const SeekCase c = GetParam();
    const std::string kind = c.kind;
    const double seconds = 4.0;
    const int rate = c.rate;
    const std::string path = fixtures::MakeFile(dir.path().toStdString(), kind, {rate, 2, seconds},
                                                fixtures::Noise(42));
    ASSERT_FALSE(path.empty());
    const std::vector<float> source = sourceSignal(seconds, rate);
    const long tolerance = kind == "wma" ? rate * 25 / 1000 : rate * 2 / 1000;

    fsound::Decoder fromStart;
    ASSERT_TRUE(fromStart.open(path, rate, 2, 0x130, c.choice));
    EXPECT_EQ(fromStart.kind() == fsound::DecoderKind::Ffmpeg, c.choice == fsound::Decoder::Choice::Ffmpeg) << kind;
    std::vector<float> head = decodeAll(fromStart, 8192 * 2);
    ASSERT_GE(head.size(), 8192u * 2);
    head.erase(head.begin(), head.begin() + 2048 * 2);  // so that a late start is found too
    const long startLag = 2048 - lagInSource(source, head, 2048, 2048);
    EXPECT_LE(std::abs(startLag), tolerance) << kind << " from the start: " << startLag * 1000.0 / rate << " ms late";

    for (int percent : {10, 50, 90}) {
        const int targetMs = static_cast<int>(seconds * 10 * percent);
        fsound::Decoder seeker;
        ASSERT_TRUE(seeker.open(path, rate, 2, 0x130, c.choice));
        seeker.seekMs(targetMs);
        const std::vector<float> probe = decodeAll(seeker, 4096 * 2);
        ASSERT_GE(probe.size(), 4096u * 2);
        const long expected = static_cast<long>(targetMs) * rate / 1000;
        const long lag = lagInSource(source, probe, expected, rate / 10);
        EXPECT_LE(std::abs(lag - expected), tolerance)
            << kind << " at " << percent << " %: " << (lag - expected) * 1000.0 / rate << " ms off";
    }
}

constexpr auto kOwn = fsound::Decoder::Choice::Dedicated;
constexpr auto kFfmpeg = fsound::Decoder::Choice::Ffmpeg;

INSTANTIATE_TEST_SUITE_P(Formats, DecoderSeek,
                         ::testing::Values(SeekCase{"wav", kOwn, kRate}, SeekCase{"aiff", kOwn, kRate},
                                           SeekCase{"mp3", kOwn, kRate}, SeekCase{"ogg", kOwn, kRate},
                                           SeekCase{"flac", kOwn, kRate}, SeekCase{"opus", kOwn, 48000},
                                           SeekCase{"wav", kFfmpeg, kRate}, SeekCase{"aiff", kFfmpeg, kRate},
                                           SeekCase{"mp3", kFfmpeg, kRate}, SeekCase{"ogg", kFfmpeg, kRate},
                                           SeekCase{"flac", kFfmpeg, kRate}, SeekCase{"opus", kFfmpeg, 48000},
                                           SeekCase{"mp2", kFfmpeg, kRate}, SeekCase{"wma", kFfmpeg, kRate},
                                           SeekCase{"ac3", kFfmpeg, 48000}, SeekCase{"aac", kFfmpeg, kRate},
                                           SeekCase{"m4a", kFfmpeg, kRate}, SeekCase{"adpcm_ms", kFfmpeg, kRate},
                                           SeekCase{"adpcm_ima_wav", kFfmpeg, kRate}),
                         caseName);

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
