// Every extension of the music-file table plays: one file of each is made here with
// FFmpeg's encoders, taken for music by the table, opened with its length and played to
// its end.

#include "MusicFormats.h"
#include "support/EngineEnvironment.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new fixtures::EngineEnvironment);

struct Recipe {
    const char* container;  // FFmpeg's muxer
    const char* codec;      // FFmpeg's encoder
    int rate;
    int bitRate;
};

// How a file of each extension is made. The extensions that no encoder here can make
// are listed with an empty container and the reason.
const std::map<std::string, Recipe>& recipes()
{
    static const std::map<std::string, Recipe> table = {
        {"mp3", {"mp3", "libmp3lame", 44100, 128000}}, {"mp2", {"mp2", "mp2", 44100, 192000}},
        {"ogg", {"ogg", "libvorbis", 44100, 0}},       {"oga", {"ogg", "libvorbis", 44100, 0}},
        {"opus", {"opus", "libopus", 48000, 96000}},   {"spx", {"ogg", "libspeex", 32000, 0}},
        {"flac", {"flac", "flac", 44100, 0}},          {"wav", {"wav", "pcm_s16le", 44100, 0}},
        {"aiff", {"aiff", "pcm_s16be", 44100, 0}},     {"aif", {"aiff", "pcm_s16be", 44100, 0}},
        {"aifc", {"aiff", "pcm_s16be", 44100, 0}},     {"asf", {"asf", "wmav2", 44100, 128000}},
        {"wma", {"asf", "wmav2", 44100, 128000}},      {"m4a", {"ipod", "aac", 44100, 128000}},
        {"m4b", {"ipod", "aac", 44100, 128000}},       {"aac", {"adts", "aac", 44100, 128000}},
        {"ac3", {"ac3", "ac3", 48000, 192000}},        {"mka", {"matroska", "flac", 44100, 0}},
        {"wv", {"wv", "wavpack", 44100, 0}},           {"tta", {"tta", "tta", 44100, 0}},
        {"au", {"au", "pcm_mulaw", 44100, 0}},         {"snd", {"au", "pcm_mulaw", 44100, 0}},
    };
    return table;
}

// ".cda" is a CD track's stub kept from the original list; nothing decodes it.
const std::set<std::string> kNotPlayable = {"cda"};

std::vector<std::string> playableExtensions()
{
    std::vector<std::string> extensions;
    for (const MusicFormat& format : MusicFormats())
        if (!kNotPlayable.count(format.Extension))
            extensions.push_back(format.Extension);
    return extensions;
}

TEST(MusicFormatTable, EveryExtensionHasAWayToMakeAFile)
{
    for (const MusicFormat& format : MusicFormats()) {
        const std::string extension = format.Extension;
        EXPECT_TRUE(recipes().count(extension) || kNotPlayable.count(extension)) << extension;
        EXPECT_TRUE(IsMusicFileName(QStringLiteral("/m/SONG.") + QString::fromLatin1(format.Extension).toUpper()));
    }
}

class MusicFormatPlays : public ::testing::TestWithParam<std::string> {
protected:
    QTemporaryDir dir;
};

TEST_P(MusicFormatPlays, OpensWithItsLengthAndPlaysToTheEnd)
{
    const std::string extension = GetParam();
    const Recipe& recipe = recipes().at(extension);
    const std::string path = dir.path().toStdString() + "/tone." + extension;
    ASSERT_TRUE(fixtures::Encode(path, recipe.container, recipe.codec, recipe.bitRate, {recipe.rate, 2, 0.5},
                                 fixtures::Tone(440.0, 0.5, recipe.rate)))
        << extension;
    ASSERT_TRUE(IsMusicFileName(QString::fromStdString(path)));
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), 0x130, 0, 0);
    ASSERT_NE(stream, nullptr) << extension;
    EXPECT_NEAR(FSOUND_Stream_GetLengthMs(stream), 500, 80) << extension;
    ASSERT_GE(FSOUND_Stream_Play(FSOUND_FREE, stream), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fsound::StreamPlayedOut(stream) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fsound::StreamPlayedOut(stream)) << extension;
    EXPECT_GE(FSOUND_Stream_GetTime(stream), 400) << extension;
    FSOUND_Stream_Stop(stream);
}

INSTANTIATE_TEST_SUITE_P(Table, MusicFormatPlays, ::testing::ValuesIn(playableExtensions()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
