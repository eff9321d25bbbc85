#include "G.h"
#include "Ogg.h"
#include "OggThread.h"
#include "support/EngineEnvironment.h"

#include <QFile>

#include <filesystem>

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

    ogg->m_ControlOGG(1);
    EXPECT_FALSE(ogg->m_IsOpen());
    EXPECT_GE(ogg->m_nPausePos, 1000);
    const int paused = ogg->m_nPausePos;

    ogg->m_ControlOGG(2);
    ASSERT_TRUE(ogg->m_IsOpen());
    // Resumes where it paused, not from the start.
    EXPECT_GE(ogg->m_GetTimeMs(), paused);
    EXPECT_LE(ogg->m_GetTimeMs(), paused + 200);
    EXPECT_TRUE(boxes.empty());

    ogg->m_ControlOGG(3);
    EXPECT_FALSE(ogg->m_IsOpen());
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

TEST_F(OggPlayer, ResumeAfterTheFileVanishedShowsTheErrorBox)
{
    const std::string source = Library::instance().tone("wav", 1.0);
    const QString copy = QString::fromStdString(Library::instance().folder() + "/vanishing.wav");
    QFile::remove(copy);
    ASSERT_TRUE(QFile::copy(QString::fromStdString(source), copy));
    ASSERT_TRUE(ogg->m_OpenOGG(copy));
    ogg->m_PlayOGG();
    ogg->m_ControlOGG(1);
    QFile::remove(copy);
    ogg->m_ControlOGG(2);
    EXPECT_FALSE(ogg->m_IsOpen());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "오류");
    EXPECT_EQ(boxes[0].text, "음악파일이 잘못되었습니다. \n(오류위치 : m_ControlOGG)");
    EXPECT_EQ(boxes[0].flags, MB_ICONHAND);
}

TEST_F(OggPlayer, EndIsReachedAtWholeSecondsAndTimeTextFollows)
{
    // 1.9 s: total 1 whole second, so the end counts from 1000 ms on.
    const QString path = QString::fromStdString(Library::instance().tone("wav", 1.9));
    ASSERT_TRUE(ogg->m_OpenOGG(path));
    ogg->m_PlayOGG();
    EXPECT_EQ(ogg->m_nTotalSec, 1);
    ogg->m_GetTimeText();
    EXPECT_FALSE(ogg->m_IsEnd());
    ASSERT_TRUE(waitFor([&] { ogg->m_GetTimeText(); return ogg->m_IsEnd(); }, 3s));
    EXPECT_GE(ogg->m_GetTimeMs(), 1000);
    EXPECT_EQ(ogg->m_GetTimeText(), "00:01-00:01");
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
