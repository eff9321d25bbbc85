#include "Decoder.h"
#include "support/AudioFixtures.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>
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

// Offset (in frames) of `probe` inside `whole`, searched around `expected`.
long bestLag(const std::vector<float>& whole, const std::vector<float>& probe, long expected, long range)
{
    double best = -1e30;
    long bestLag = 0;
    for (long lag = expected - range; lag <= expected + range; ++lag) {
        if (lag < 0 || static_cast<std::size_t>(lag + 4096) * 2 > whole.size())
            continue;
        double sum = 0;
        for (int i = 0; i < 4096; ++i)
            sum += whole[(lag + i) * 2] * probe[i * 2];
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

// Decoding after a seek must give the same samples as decoding from the start and
// skipping to the target, within 50 ms.
TEST_P(DecoderSeek, LandsWithin50ms)
{
    const std::string path = fixtures::MakeFile(dir.path().toStdString(), GetParam(), {kRate, 2, 4.0},
                                                fixtures::Noise(42));
    ASSERT_FALSE(path.empty());
    fsound::Decoder whole;
    ASSERT_TRUE(whole.open(path, kRate, 2, 0x130));
    const std::vector<float> all = decodeAll(whole);
    ASSERT_GT(all.size(), static_cast<std::size_t>(3.5 * kRate * 2));

    for (int targetMs : {1000, 2345, 3100}) {
        fsound::Decoder seeker;
        ASSERT_TRUE(seeker.open(path, kRate, 2, 0x130));
        seeker.seekMs(targetMs);
        const std::vector<float> probe = decodeAll(seeker, 4096 * 2);
        ASSERT_GE(probe.size(), 4096u * 2);
        const long expected = static_cast<long>(targetMs) * kRate / 1000;
        const long lag = bestLag(all, probe, expected, kRate / 5);
        // ASF stamps packets in whole milliseconds and WMA needs a primed frame after a
        // flush; it lands within 100 ms, the others within 50 ms.
        const long tolerance = std::string(GetParam()) == "wma" ? kRate / 10 : kRate / 20;
        EXPECT_LE(std::abs(lag - expected), tolerance) << GetParam() << " at " << targetMs << " ms";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, DecoderSeek, ::testing::Values("wav", "mp3", "ogg", "flac", "wma"));

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
