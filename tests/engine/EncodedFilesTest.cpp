// Files as listeners have them, made by the encoders Debian ships (lame, flac, oggenc,
// opusenc, ffmpeg), some damaged the way real files are: each sounds as encoded, from
// its first sample, seeks land where asked, and damage costs no more than the damage.

#include "DecodeProbe.h"
#include "Decoder.h"
#include "support/AudioFixtures.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>
#include <string>
#include <vector>

namespace {

using probe::decodeAll;

constexpr int kRate = 44100;

std::string folderOf(const QTemporaryDir& dir)
{
    return dir.path().toStdString();
}

// The noise of the other decoder tests, `seconds` long at `rate`, written as a WAV.
std::string noiseWav(const std::string& folder, const std::string& name, double seconds, int rate = kRate)
{
    const std::string path = folder + "/" + name + ".wav";
    return fixtures::WriteWav(path, {rate, 2, seconds}, fixtures::Noise(42)) ? path : std::string();
}

// Frames the decoded stretch (interleaved stereo) runs late against `source`: where
// decoded[k + i] lines up with source[at + i], less `expected`, searched within `range`.
long lateness(const std::vector<float>& source, long at, const std::vector<float>& decoded, long range,
              long expected = 0)
{
    double best = -1e30;
    long bestOffset = 0;
    for (long d = expected - range; d <= expected + range; ++d) {
        double sum = 0;
        for (long i = 0; i < 4096; ++i) {
            const long s = at + i;
            const long k = d + i;
            if (s >= 0 && s < static_cast<long>(source.size()) && k >= 0 && 2 * k < static_cast<long>(decoded.size()))
                sum += source[static_cast<std::size_t>(s)] * decoded[static_cast<std::size_t>(2 * k)];
        }
        if (sum > best) {
            best = sum;
            bestOffset = d;
        }
    }
    return bestOffset - expected;
}

std::vector<float> decodeFrom(fsound::Decoder& decoder, std::int64_t ms, std::size_t frames)
{
    decoder.seekMs(ms);
    return decodeAll(decoder, frames * 2);
}

double rms(const std::vector<float>& samples, std::size_t from, std::size_t to, int channel)
{
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += samples[2 * i + channel] * samples[2 * i + channel];
    return std::sqrt(sum / static_cast<double>(to - from));
}

// Rising zero crossings per second of channel 0 between two frames: the tone's pitch.
double pitch(const std::vector<float>& samples, std::size_t from, std::size_t to)
{
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        crossings += samples[2 * (i - 1)] < 0 && samples[2 * i] >= 0;
    return crossings * static_cast<double>(kRate) / static_cast<double>(to - from);
}

TEST(EncodedFiles, Mp3WithoutHeaderStartsAfterTheDecoderDelay)
{
    QTemporaryDir dir;
    const std::string mp3 = fixtures::EncodeWithTool(noiseWav(folderOf(dir), "noise", 2.0), "lame-bare");
    ASSERT_FALSE(mp3.empty());
    fsound::Decoder decoder;
    ASSERT_TRUE(decoder.open(mp3, kRate, 2, 0));
    // Nothing states lame's own 576 frames, but the decoder's 529 are always there.
    EXPECT_NEAR(lateness(probe::sourceSignal(2.0), 0, decodeAll(decoder, 8192 * 2), 2048), 576, 1);
}

TEST(EncodedFiles, Ac3SeeksLandOnTheTargetAtEveryRate)
{
    QTemporaryDir dir;
    for (const int rate : {44100, 48000}) {
        const std::string ac3 = fixtures::EncodeWithTool(noiseWav(folderOf(dir), "noise", 32.0, rate), "ffmpeg-ac3");
        ASSERT_FALSE(ac3.empty());
        fsound::Decoder decoder;
        ASSERT_TRUE(decoder.open(ac3, rate, 2, 0));
        const std::vector<float> source = probe::sourceSignal(32.0, rate);
        for (const int seconds : {10, 30})
            EXPECT_NEAR(lateness(source, seconds * rate, decodeFrom(decoder, seconds * 1000, 8192), 2048), 0, 1)
                << rate << " Hz, seek to " << seconds << " s";
    }
}

// Two Ogg files joined, as streams and some rippers write them: a 440 Hz tone in stereo
// at 44.1 kHz, then the same tone in mono at 48 kHz. Each link is heard at its own pitch,
// in both ears, for its whole length.
TEST(EncodedFiles, ChainedOggPlaysEveryLinkAtItsOwnRateAndLayout)
{
    for (const char* tool : {"oggenc", "opusenc"}) {
        QTemporaryDir dir;
        const std::string folder = folderOf(dir);
        ASSERT_TRUE(fixtures::WriteWav(folder + "/a.wav", {44100, 2, 1.0}, fixtures::Tone(440, 0.5, 44100)));
        ASSERT_TRUE(fixtures::WriteWav(folder + "/b.wav", {48000, 1, 1.0}, fixtures::Tone(440, 0.5, 48000)));
        const std::string a = fixtures::EncodeWithTool(folder + "/a.wav", tool, "a");
        const std::string b = fixtures::EncodeWithTool(folder + "/b.wav", tool, "b");
        ASSERT_TRUE(!a.empty() && !b.empty() && fixtures::AppendFile(a, b));
        fsound::Decoder decoder;
        ASSERT_TRUE(decoder.open(a, kRate, 2, 0)) << tool;
        EXPECT_NEAR(decoder.durationMs(), 2000, 2) << tool;
        const std::vector<float> out = decodeAll(decoder);
        ASSERT_NEAR(out.size() / 2.0, 2.0 * kRate, 100) << tool;
        EXPECT_NEAR(pitch(out, 5000, 40000), 440, 4) << tool << ": first link";
        EXPECT_NEAR(pitch(out, 50000, 85000), 440, 4) << tool << ": second link";
        EXPECT_GT(rms(out, 50000, 85000, 1), 0.8 * rms(out, 50000, 85000, 0)) << tool << ": mono heard on the right";
        // Positions count on across the links.
        EXPECT_NEAR(pitch(decodeFrom(decoder, 1500, 20000), 0, 20000), 440, 4) << tool << ": seek into the second link";
    }
}

// One signal cut in two, each piece encoded on its own and the two files joined: the
// chained file decodes back as the uncut signal. (Opus at its own 48 kHz: the encoder's
// conversion of each piece would blur the cut otherwise.)
TEST(EncodedFiles, ChainedOggLinksJoinWithoutAGap)
{
    for (const auto& [tool, rate] : {std::pair{"oggenc", 44100}, std::pair{"opusenc", 48000}}) {
        QTemporaryDir dir;
        const std::string folder = folderOf(dir);
        const std::vector<float> source = probe::sourceSignal(3.0, rate);
        const std::int64_t cut = rate + 1234;
        auto piece = [&source](std::int64_t from) {
            return [&source, from](std::int64_t frame, int) {
                return source[static_cast<std::size_t>(std::min<std::int64_t>(frame + from, source.size() - 1))];
            };
        };
        ASSERT_TRUE(fixtures::WriteWav(folder + "/a.wav", {rate, 2, cut / double(rate)}, piece(0)));
        ASSERT_TRUE(fixtures::WriteWav(folder + "/b.wav", {rate, 2, 1.5}, piece(cut)));
        const std::string a = fixtures::EncodeWithTool(folder + "/a.wav", tool, "a");
        const std::string b = fixtures::EncodeWithTool(folder + "/b.wav", tool, "b");
        ASSERT_TRUE(!a.empty() && !b.empty() && fixtures::AppendFile(a, b));
        fsound::Decoder decoder;
        ASSERT_TRUE(decoder.open(a, rate, 2, 0));
        const std::vector<float> out = decodeAll(decoder);
        EXPECT_EQ(lateness(source, cut - 4096, out, 2048, cut - 4096), 0) << tool << ": before the join";
        EXPECT_EQ(lateness(source, cut + 16, out, 2048, cut + 16), 0) << tool << ": after the join";
    }
}

TEST(DamagedFiles, FlacWithADamagedBlockSizeSeeksByScanning)
{
    QTemporaryDir dir;
    const std::string flac = fixtures::EncodeWithTool(noiseWav(folderOf(dir), "noise", 10.0), "flac");
    ASSERT_FALSE(flac.empty());
    // The stream info's minimum block size (bytes 8-9) no longer matches the frames:
    // libFLAC's own seek gives up on the file.
    ASSERT_TRUE(fixtures::PutByte(flac, 8, 0));
    fsound::Decoder decoder;
    ASSERT_TRUE(decoder.open(flac, kRate, 2, 0));
    const std::vector<float> source = probe::sourceSignal(10.0);
    for (const int ms : {3000, 0, 9000}) {
        EXPECT_EQ(lateness(source, ms * kRate / 1000, decodeFrom(decoder, ms, 8192), 64), 0) << "seek to " << ms;
        decoder.seekMs(ms);
        EXPECT_EQ(decodeAll(decoder).size() / 2, static_cast<std::size_t>((10000 - ms) * kRate / 1000))
            << "from " << ms << " ms on to the end";
    }
}

TEST(DamagedFiles, Mp3LengthTheFileCannotHoldIsBoundedBySize)
{
    QTemporaryDir dir;
    const std::string mp3 = fixtures::EncodeWithTool(noiseWav(folderOf(dir), "noise", 10.0), "lame");
    const long long tag = std::max(fixtures::FindBytes(mp3, "Info"), fixtures::FindBytes(mp3, "Xing"));
    ASSERT_GT(tag, 0);
    ASSERT_TRUE(fixtures::OverwriteBigEndian32(mp3, static_cast<std::size_t>(tag) + 8, 0x7FFFFFFF));  // frame count
    fsound::Decoder decoder;
    ASSERT_TRUE(decoder.open(mp3, kRate, 2, 0));
    EXPECT_NEAR(decoder.durationMs(), 10000, 500);
}

TEST(DamagedFiles, Mp3PlaysOnAfterGarbageAtLeastAsFarAsFfmpeg)
{
    QTemporaryDir dir;
    const std::string mp3 = fixtures::EncodeWithTool(noiseWav(folderOf(dir), "noise", 10.0), "lame");
    ASSERT_TRUE(fixtures::ScrambleBytes(mp3, 40000, 30000, 7));
    fsound::Decoder own;
    fsound::Decoder ffmpeg;
    ASSERT_TRUE(own.open(mp3, kRate, 2, 0));
    ASSERT_TRUE(ffmpeg.open(mp3, kRate, 2, 0, fsound::Decoder::Choice::Ffmpeg));
    ASSERT_EQ(own.kind(), fsound::DecoderKind::Mpg123);
    const std::size_t ownFrames = decodeAll(own).size() / 2;
    EXPECT_GE(ownFrames, decodeAll(ffmpeg).size() / 2);
    EXPECT_GT(ownFrames, 7u * kRate);
}

TEST(DamagedFiles, AFileThatYieldsNoSoundDoesNotOpen)
{
    QTemporaryDir dir;
    const std::string folder = folderOf(dir);
    const std::string empty = folder + "/empty.wav";
    ASSERT_TRUE(fixtures::WriteWav(empty, {kRate, 2, 0.0}, fixtures::Tone(440)));
    // The WAV's header says 0 frames; the MP3 holds its first frame (the LAME header,
    // which carries no sound) and none after it.
    const std::string whole = fixtures::EncodeWithTool(noiseWav(folder, "noise", 3.0), "lame");
    const std::string mp3 = folder + "/header-only.mp3";
    ASSERT_TRUE(fixtures::Truncate(whole, mp3, 600));
    for (const std::string& path : {empty, mp3}) {
        fsound::Decoder decoder;
        EXPECT_FALSE(decoder.open(path, kRate, 2, 0)) << path;
        EXPECT_EQ(decoder.failure(), fsound::OpenFailure::NotAudio) << path;
    }
}

// A tag in a WAV's INFO list that says it is nearly 4 GiB long: the walk over the tags
// once stood still on it for ever (the step wrapped to 0), and the file never opened.
TEST(DamagedFiles, AWaveTagOfNearlyFourGigabytesEndsTheTagWalk)
{
    QTemporaryDir dir;
    const std::string path = folderOf(dir) + "/long-tag.wav";
    auto le32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    std::string fmt = "fmt " + le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(44100) + le32(88200)
                      + std::string("\x02\x00\x10\x00", 4);
    std::string list = "LIST" + le32(0x7fffff00u) + "INFO" + "INAM" + le32(4) + "Name" + "ABCD" + le32(0xfffffff7u);
    std::string samples(88200, '\0');
    for (std::size_t i = 0; i < samples.size(); i += 2)
        samples[i + 1] = static_cast<char>(i % 64);  // a rising edge every 32 samples
    std::string data = "data" + le32(static_cast<std::uint32_t>(samples.size())) + samples;
    std::string body = "WAVE" + fmt + data + list;
    std::string file = "RIFF" + le32(static_cast<std::uint32_t>(body.size())) + body;
    {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(std::fwrite(file.data(), 1, file.size(), out), file.size());
        std::fclose(out);
    }
    fsound::Decoder decoder;
    ASSERT_TRUE(decoder.open(path, kRate, 2, 0));
    std::vector<float> out;
    EXPECT_TRUE(decoder.decodeChunk(out));
}

} // namespace
