#include "G.h"
#include "Ogg.h"
#include "OggThread.h"
#include "support/EngineEnvironment.h"

#include <QFile>

#include <filesystem>
#include <thread>

using namespace std::chrono_literals;
using fixtures::Library;
using fixtures::waitFor;

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new fixtures::EngineEnvironment);

struct Box {
    QString caption;
    QString text;
    int flags;
};

class OggPlayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetMessageBoxHandler([this](const QString& caption, const QString& text, int flags) {
            boxes.push_back({caption, text, flags});
            return IDOK;
        });
        ogg = std::make_unique<COgg>(nullptr, nullptr);
        ogg->m_InitSound();
    }
    void TearDown() override
    {
        ogg->m_ControlOGG(3);
        ogg.reset();
        SetMessageBoxHandler({});
    }

    std::unique_ptr<COgg> ogg;
    std::vector<Box> boxes;
};

TEST_F(OggPlayer, FreshPlayerShowsNoTime)
{
    EXPECT_FALSE(ogg->m_IsOpen());
    EXPECT_EQ(ogg->m_strTotalTime, "00:00");
    EXPECT_EQ(ogg->m_GetTimeText(), "00:00-00:00");
    EXPECT_EQ(ogg->m_GetTimeMs(), 0);
    EXPECT_EQ(ogg->m_GetLengthMs(), 0);
    EXPECT_EQ(ogg->m_GetTagInfo().Artist, "가수");
    EXPECT_EQ(ogg->m_GetTagInfo().Title, "노래");
}

TEST_F(OggPlayer, PlayPauseResumeStop)
{
    const QString path = QString::fromStdString(Library::instance().tone("mp3", 3.0));
    ASSERT_TRUE(ogg->m_OpenOGG(path));
    ogg->m_PlayOGG();
    EXPECT_EQ(ogg->m_nTotalSec, 3);
    EXPECT_EQ(ogg->m_strTotalTime, "00:03");
    ASSERT_TRUE(waitFor([&] { return ogg->m_GetTimeMs() >= 1000; }, 3s));
    EXPECT_EQ(ogg->m_GetTimeText(), "00:01-00:03");

    ogg->m_ControlOGG(OggPause);
    EXPECT_TRUE(ogg->m_IsOpen()) << "a paused stream stays open";
    EXPECT_TRUE(ogg->m_IsHeld());
    EXPECT_GE(ogg->m_nPausePos, 1000);
    const int paused = ogg->m_nPausePos;
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(ogg->m_GetTimeMs(), paused) << "the position stands still while paused";
    EXPECT_EQ(ogg->m_GetTimeText(), "00:01-00:03");

    ogg->m_ControlOGG(OggResume);
    ASSERT_TRUE(ogg->m_IsOpen());
    EXPECT_FALSE(ogg->m_IsHeld());
    // Resumes where it paused, not from the start.
    EXPECT_GE(ogg->m_GetTimeMs(), paused);
    EXPECT_LE(ogg->m_GetTimeMs(), paused + 200);
    EXPECT_TRUE(boxes.empty());

    ogg->m_ControlOGG(OggStop);
    EXPECT_FALSE(ogg->m_IsOpen());
    EXPECT_FALSE(ogg->m_IsHeld());
    EXPECT_EQ(ogg->m_nPausePos, paused);
}

TEST_F(OggPlayer, OpenFailureKeepsThePreviousFile)
{
    const QString good = QString::fromStdString(Library::instance().tone("wav", 1.0));
    ASSERT_TRUE(ogg->m_OpenOGG(good));
    EXPECT_FALSE(ogg->m_OpenOGG(QStringLiteral("/no/such/file.mp3")));
    EXPECT_FALSE(ogg->m_IsOpen());
    EXPECT_EQ(ogg->m_strFileName, good);
    ogg->m_ControlOGG(2);  // resume reopens the previous file
    EXPECT_TRUE(ogg->m_IsOpen());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(OggPlayer, ResumeAfterTheFileVanishedGoesOnAndAReopenThatFailsShowsTheErrorBox)
{
    const std::string source = Library::instance().tone("wav", 1.0);
    const QString copy = QString::fromStdString(Library::instance().folder() + "/vanishing.wav");
    QFile::remove(copy);
    ASSERT_TRUE(QFile::copy(QString::fromStdString(source), copy));
    ASSERT_TRUE(ogg->m_OpenOGG(copy));
    ogg->m_PlayOGG();
    ogg->m_ControlOGG(OggPause);
    QFile::remove(copy);
    // The paused stream still has its file open.
    ogg->m_ControlOGG(OggResume);
    EXPECT_TRUE(ogg->m_IsOpen());
    EXPECT_FALSE(ogg->m_IsHeld());
    EXPECT_TRUE(boxes.empty());

    // With no stream left to go on with, resuming opens the file again, which is gone.
    ogg->m_ControlOGG(OggStop);
    ogg->m_ControlOGG(OggResume);
    EXPECT_FALSE(ogg->m_IsOpen());
    EXPECT_FALSE(ogg->m_IsHeld());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "오류");
    EXPECT_EQ(boxes[0].text, "음악파일이 잘못되었습니다. \n(오류위치 : m_ControlOGG)");
    EXPECT_EQ(boxes[0].flags, MB_ICONHAND);
}

// A song ends when its last sample has been played, whatever its file says about its
// length: the clock advances to the next song only then.
class OggSongEnd : public OggPlayer {
protected:
    // Plays `path` and returns how long after the start m_IsEnd first held.
    std::chrono::milliseconds playUntilEnd(const std::string& path, std::chrono::milliseconds limit)
    {
        EXPECT_TRUE(ogg->m_OpenOGG(QString::fromStdString(path)));
        const auto start = std::chrono::steady_clock::now();
        ogg->m_PlayOGG();
        EXPECT_TRUE(waitFor([&] { ogg->m_GetTimeText(); return ogg->m_IsEnd(); }, limit)) << path;
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }
    std::string scratch(const std::string& name)
    {
        const std::string folder = Library::instance().folder() + "/end";
        std::filesystem::create_directories(folder);
        return folder + "/" + name;
    }
};

TEST_F(OggSongEnd, NotBeforeTheLastSampleHasPlayed)
{
    // 1.9 s: the file's whole seconds would call it ended at 1.0 s.
    const auto took = playUntilEnd(Library::instance().tone("wav", 1.9), 4s);
    EXPECT_GE(took, 1850ms);
    EXPECT_EQ(ogg->m_nTotalSec, 1);
    EXPECT_GE(ogg->m_GetTimeMs(), 1900);
    EXPECT_TRUE(ogg->m_IsOpen());
    EXPECT_FALSE(ogg->m_IsHeld());
    EXPECT_TRUE(ogg->m_IsEnd());
}

TEST_F(OggSongEnd, StreamWithoutAStatedLengthPlaysToItsEnd)
{
    const std::string path = scratch("piped.flac");
    ASSERT_TRUE(fixtures::Encode(path, "flac", "flac", 0, {44100, 2, 1.6}, fixtures::Tone(440)));
    ASSERT_TRUE(fixtures::ForgetFlacLength(path));
    ASSERT_TRUE(ogg->m_OpenOGG(QString::fromStdString(path)));
    EXPECT_EQ(ogg->m_GetLengthMs(), 0);
    ogg->m_ControlOGG(OggStop);

    const auto took = playUntilEnd(path, 4s);
    EXPECT_GE(took, 1550ms);
    // The total shown grows to what was really there.
    EXPECT_EQ(ogg->m_GetTimeText(), "00:01-00:01");
}

TEST_F(OggSongEnd, SoundBeyondTheStatedLengthIsPlayed)
{
    // An AIFF whose header counts half of the frames its sound chunk holds.
    const std::string path = scratch("understated.aiff");
    ASSERT_TRUE(fixtures::WriteAiff(path, {44100, 2, 2.0}, fixtures::Tone(440)));
    ASSERT_TRUE(fixtures::OverwriteBigEndian32(path, 22, 44100));
    ASSERT_TRUE(ogg->m_OpenOGG(QString::fromStdString(path)));
    ASSERT_EQ(ogg->m_GetLengthMs(), 1000) << "the fixture must understate its length";
    ogg->m_ControlOGG(OggStop);

    const auto took = playUntilEnd(path, 5s);
    EXPECT_GE(took, 1900ms);
    EXPECT_GE(ogg->m_GetLengthMs(), 1990);
    EXPECT_EQ(ogg->m_GetTimeText(), "00:02-00:02");
}

TEST_F(OggPlayer, SetPositionWhilePlayingMovesTheClock)
{
    const QString path = QString::fromStdString(Library::instance().tone("ogg", 3.0));
    ASSERT_TRUE(ogg->m_OpenOGG(path));
    ogg->m_PlayOGG();
    ogg->m_SetPosition(2500);
    EXPECT_GE(ogg->m_GetTimeMs(), 2500);
    ASSERT_TRUE(waitFor([&] { return ogg->m_GetTimeMs() >= 3000; }, 2s));
}

TEST_F(OggPlayer, StreamInfoGivesRateAndBitRate)
{
    const QString path = QString::fromStdString(Library::instance().tone("mp3", 3.0));
    ASSERT_TRUE(ogg->m_OpenOGG(path));
    ogg->m_PlayOGG();
    int kbps = -1, khz = -1;
    EXPECT_TRUE(ogg->m_GetStreamInfo(kbps, khz));
    EXPECT_EQ(khz, 44);
    EXPECT_EQ(kbps, 128);
}

TEST(OggKbps, SnapsMpegNamesOnlyAndSurvivesZeroLength)
{
    auto bytesFor = [](int kbps, int ms) { return static_cast<std::int64_t>(kbps) * ms / 8; };
    EXPECT_EQ(COgg::EstimateKbps(bytesFor(127, 10000), 10000, "a.MP3"), 128);
    EXPECT_EQ(COgg::EstimateKbps(bytesFor(42, 10000), 10000, "a.mp3"), 40);
    EXPECT_EQ(COgg::EstimateKbps(bytesFor(50, 10000), 10000, "a.mp3"), 48);
    EXPECT_EQ(COgg::EstimateKbps(bytesFor(300, 10000), 10000, "a.mp3"), 300);
    EXPECT_EQ(COgg::EstimateKbps(bytesFor(127, 10000), 10000, "a.ogg"), 127);
    EXPECT_EQ(COgg::EstimateKbps(bytesFor(190, 10000), 10000, "dir.v2/a.Mp2"), 192);
    EXPECT_EQ(COgg::EstimateKbps(bytesFor(190, 10000), 10000, "mp3"), 190);
    EXPECT_EQ(COgg::EstimateKbps(123456, 0, "a.mp3"), 0);
    // Absurd estimates wrap at 10000 as the label has four digits at most.
    EXPECT_EQ(COgg::EstimateKbps(bytesFor(12345, 1000), 1000, "a.wav"), 2345);
}

} // namespace
