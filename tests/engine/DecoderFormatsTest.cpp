// What reaches the engine that the encoders of the other tests never write: sample
// formats of the built-in WAV/AIFF reader, files named for another format, damaged
// files of each dedicated decoder, surround files, and the downmix's gains.

#include "DecodeProbe.h"
#include "Decoder.h"
#include "Downmix.h"
#include "support/AudioFixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using probe::decodeAll;

void put(std::string& out, std::uint64_t value, int bytes, bool bigEndian)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * (bigEndian ? bytes - 1 - i : i)));
}

// A mono WAV (or AIFF-C when `aifc` names its compression) holding `samples` as given.
std::string soundFile(const std::string& path, int tag, int bits, const std::string& samples, const char* aifc = nullptr)
{
    std::string file;
    if (!aifc) {
        file = "RIFF";
        put(file, 36 + samples.size(), 4, false);
        file += "WAVEfmt ";
        put(file, 16, 4, false);
        put(file, static_cast<std::uint64_t>(tag), 2, false);
        put(file, 1, 2, false);
        put(file, 8000, 4, false);
        put(file, 8000 * bits / 8, 4, false);
        put(file, static_cast<std::uint64_t>(bits / 8), 2, false);
        put(file, static_cast<std::uint64_t>(bits), 2, false);
        file += "data";
        put(file, samples.size(), 4, false);
    } else {
        const std::uint64_t frames = samples.size() / static_cast<std::size_t>(bits / 8);
        std::string comm;
        put(comm, 1, 2, true);
        put(comm, frames, 4, true);
        put(comm, static_cast<std::uint64_t>(bits), 2, true);
        comm += std::string("\x40\x0B\xFA\x00\x00\x00\x00\x00\x00\x00", 10);  // 8000 Hz
        comm += std::string(aifc, 4);
        comm += std::string("\0\0", 2);
        file = "FORM";
        put(file, 4 + 8 + comm.size() + 16 + samples.size(), 4, true);
        file += "AIFCCOMM";
        put(file, comm.size(), 4, true);
        file += comm + "SSND";
        put(file, 8 + samples.size(), 4, true);
        put(file, 0, 8, true);
    }
    std::ofstream(path, std::ios::binary) << file << samples;
    return path;
}

// Every integer and float sample format, in both byte orders, reads back as the values
// written: half scale up, half scale down, and the extremes.
TEST(DecoderWaveFormats, EverySampleFormatReadsBackItsValues)
{
    QTemporaryDir dir;
    const std::vector<double> values = {0.5, -0.5, 0.0, -1.0};
    struct Case {
        const char* name;
        int tag;
        int bits;
        const char* aifc;
        bool isFloat;
        bool isUnsigned;
    };
    for (const Case& c : {Case{"u8", 1, 8, nullptr, false, true}, Case{"s16", 1, 16, nullptr, false, false},
                          Case{"s24", 1, 24, nullptr, false, false}, Case{"s32", 1, 32, nullptr, false, false},
                          Case{"f32", 3, 32, nullptr, true, false}, Case{"f64", 3, 64, nullptr, true, false},
                          Case{"aifc-twos", 0, 16, "twos", false, false}, Case{"aifc-sowt", 0, 16, "sowt", false, false},
                          Case{"aifc-fl32", 0, 32, "fl32", true, false}}) {
        const bool bigEndian = c.aifc && std::strcmp(c.aifc, "sowt") != 0;
        std::string samples;
        for (double v : values) {
            std::uint64_t raw = 0;
            if (c.isFloat && c.bits == 32) {
                const float f = static_cast<float>(v);
                std::uint32_t bits32;
                std::memcpy(&bits32, &f, 4);
                raw = bits32;
            } else if (c.isFloat) {
                std::memcpy(&raw, &v, 8);
            } else {
                const double full = std::ldexp(1.0, c.bits - 1);
                raw = static_cast<std::uint64_t>(static_cast<std::int64_t>(std::max(v * full, -full)));
                if (c.isUnsigned)
                    raw = static_cast<std::uint64_t>(static_cast<std::int64_t>(v * full + full));
            }
            put(samples, raw, c.bits / 8, bigEndian);
        }
        const std::string path = soundFile(dir.filePath(c.name).toStdString() + (c.aifc ? ".aiff" : ".wav"), c.tag,
                                           c.bits, samples, c.aifc);
        fsound::Decoder decoder;
        ASSERT_TRUE(decoder.open(path, 8000, 2, 0x130, fsound::Decoder::Choice::Dedicated)) << c.name;
        const std::vector<float> out = decodeAll(decoder);
        ASSERT_EQ(out.size(), values.size() * 2) << c.name;
        for (std::size_t i = 0; i < values.size(); ++i)
            EXPECT_NEAR(out[2 * i], values[i], 1.0 / 120) << c.name << " sample " << i;
    }
}

// The bytes choose the decoder, not the name: a file named for another format plays,
// and bytes that are no song under a song's name are refused by every decoder.
TEST(DecoderChoice, TheBytesChooseTheDecoder)
{
    QTemporaryDir dir;
    struct Case {
        const char* kind;
        const char* name;
        fsound::DecoderKind expected;
    };
    for (const Case& c : {Case{"mp3", "song.ogg", fsound::DecoderKind::Mpg123},
                          Case{"flac", "song.mp3", fsound::DecoderKind::Flac},
                          Case{"ogg", "song.wav", fsound::DecoderKind::Vorbis},
                          Case{"opus", "song.flac", fsound::DecoderKind::Opus},
                          Case{"wav", "song.mp3", fsound::DecoderKind::Wave},
                          Case{"mp2", "song.mp3", fsound::DecoderKind::Ffmpeg}}) {
        const std::string folder = dir.path().toStdString() + "/" + c.kind;
        std::filesystem::create_directories(folder);
        const std::string made = fixtures::MakeFile(folder, c.kind, {48000, 2, 0.5}, fixtures::Tone(440, 0.5, 48000));
        ASSERT_FALSE(made.empty()) << c.kind;
        const std::string path = folder + "/" + c.name;
        std::filesystem::rename(made, path);
        fsound::Decoder decoder;
        ASSERT_TRUE(decoder.open(path, 48000, 2, 0x130)) << c.kind << " named " << c.name;
        EXPECT_EQ(decoder.kind(), c.expected) << c.kind << " named " << c.name;
        // Layer II files end a frame short: the encoder leaves its filter bank's delay unflushed.
        EXPECT_NEAR(static_cast<double>(decodeAll(decoder).size() / 2), 24000, c.expected == fsound::DecoderKind::Ffmpeg ? 1152 : 48)
            << c.kind;
    }
    for (const char* name : {"noise.mp3", "noise.flac", "noise.ogg", "noise.opus", "noise.wav"}) {
        const std::string path = dir.filePath(name).toStdString();
        ASSERT_TRUE(fixtures::WriteRandomBytes(path, 30000, 11));
        fsound::Decoder decoder;
        EXPECT_FALSE(decoder.open(path, 44100, 2, 0x130)) << name;
        EXPECT_EQ(decoder.failure(), fsound::OpenFailure::NotAudio) << name;
    }
}

// A file cut off three quarters in plays what it holds and ends cleanly, in every
// decoder. (An Ogg page is checked whole: the sound of the page the cut runs through is
// lost, and FFmpeg's muxer writes pages of a second.)
TEST(DecoderDamage, TruncatedFilesPlayWhatTheyHold)
{
    QTemporaryDir dir;
    for (const char* kind : {"mp3", "flac", "ogg", "opus", "wav"}) {
        const std::string folder = dir.path().toStdString() + "/" + kind;
        std::filesystem::create_directories(folder);
        const std::string whole = fixtures::MakeFile(folder, kind, {48000, 2, 2.0}, fixtures::Noise(5));
        ASSERT_FALSE(whole.empty()) << kind;
        const std::string cut = folder + "/cut." + kind;
        ASSERT_TRUE(fixtures::Truncate(whole, cut, std::filesystem::file_size(whole) * 3 / 4));
        fsound::Decoder decoder;
        ASSERT_TRUE(decoder.open(cut, 48000, 2, 0x130)) << kind;
        const double seconds = static_cast<double>(decodeAll(decoder).size() / 2) / 48000;
        EXPECT_GT(seconds, 0.7) << kind;
        EXPECT_LT(seconds, 1.6) << kind;
        decoder.seekMs(1900);  // past what is left
        EXPECT_LT(decodeAll(decoder).size(), 48000u) << kind;
    }
}

// Surround is folded by where each channel is heard: the centre at -3 dB on both sides,
// the low-frequency channel left out, and all channels at full scale never clip.
TEST(DecoderDownmix, SurroundFoldsByPlaceWithoutClipping)
{
    using S = fsound::Speaker;
    const fsound::Downmix fold({S::FrontLeft, S::FrontRight, S::FrontCenter, S::LowFrequency, S::BackLeft, S::BackRight},
                               2);
    std::vector<float> out;
    const float leftOnly[] = {1, 0, 0, 0, 0, 0};
    const float centreOnly[] = {0, 0, 1, 0, 0, 0};
    const float lfeOnly[] = {0, 0, 0, 1, 0, 0};
    const float all[] = {1, 1, 1, 1, 1, 1};
    fold.apply(leftOnly, 1, out);
    fold.apply(centreOnly, 1, out);
    fold.apply(lfeOnly, 1, out);
    fold.apply(all, 1, out);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_FLOAT_EQ(out[2], out[3]);
    EXPECT_NEAR(20 * std::log10(out[2] / out[0]), -3.0, 0.1) << "the centre against the front left";
    EXPECT_EQ(out[4], 0.0f);
    EXPECT_EQ(out[5], 0.0f);
    EXPECT_LE(out[6], 1.0f);
    EXPECT_LE(out[7], 1.0f);
    EXPECT_GT(out[6], 0.99f);

    // A 5.1 Opus file (Vorbis channel order) plays on both sides.
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("surround.opus")).toStdString();
    ASSERT_TRUE(fixtures::Encode(path, "ogg", "libopus", 256000, {48000, 6, 0.5}, fixtures::Tone(440, 0.5, 48000)));
    fsound::Decoder decoder;
    ASSERT_TRUE(decoder.open(path, 48000, 2, 0x130));
    EXPECT_EQ(decoder.kind(), fsound::DecoderKind::Opus);
    const std::vector<float> sound = decodeAll(decoder);
    ASSERT_NEAR(static_cast<double>(sound.size() / 2), 24000, 48);
    double left = 0, right = 0;
    for (std::size_t i = 0; i < sound.size(); i += 2) {
        left += sound[i] * sound[i];
        right += sound[i + 1] * sound[i + 1];
    }
    EXPECT_GT(std::sqrt(left / (sound.size() / 2)), 0.1);
    EXPECT_GT(std::sqrt(right / (sound.size() / 2)), 0.1);
}

} // namespace
