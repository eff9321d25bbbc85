#include "AppFolder.h"
#include "Cmain.h"
#include "Diagnostics.h"
#include "FileBytes.h"
#include "FileName.h"
#include "G.h"
#include "ProfileFile.h"
#include "SettingsFile.h"
#include "support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolderOverride(dir.path());
        app.FileProblems.Succeeded(QStringLiteral("Sorvel.ini"));
    }
    void TearDown() override { SetProgramFolderOverride({}); }
    QString ini() const { return dir.path() + "/Sorvel.ini"; }

    QTemporaryDir dir;
    G_STRUCT_tag settings;
    CMain app;
};

TEST_F(SettingsFile, FirstStartGivesTheDefaults)
{
    EXPECT_EQ(app.LoadSettings(settings), 1);
    EXPECT_TRUE(settings.ViewPlayList);
    EXPECT_EQ(settings.MainX, 200);
    EXPECT_EQ(settings.MainY, 100);
    EXPECT_EQ(settings.PlayListX, 200);
    EXPECT_EQ(settings.PlayListY, 200);
    EXPECT_EQ(settings.PlayListW, 400);
    EXPECT_EQ(settings.PlayListH, 600);
    EXPECT_EQ(settings.Volume, 30);
    EXPECT_TRUE(settings.OutputDevice.isEmpty());
    EXPECT_FALSE(QFile::exists(ini())) << "loading never creates the file";
}

TEST_F(SettingsFile, SaveWritesBothSectionsInTableOrder)
{
    app.LoadSettings(settings);
    settings.ViewPlayList = false;
    settings.MainX = -5;
    settings.Volume = 55;
    ASSERT_EQ(app.SaveSettings(settings), 1);
    EXPECT_EQ(readAll(ini()),
              "[Control]\r\nViewPlayList=0\r\nOutputDevice=\r\nReplayGain=1\r\n[Data]\r\nMainX=-5\r\nMainY=100\r\nPlayListX=200\r\n"
              "PlayListY=200\r\nPlayListW=400\r\nPlayListH=600\r\nVolume=55\r\n");
    settings = G_STRUCT_tag{};
    app.LoadSettings(settings);
    EXPECT_FALSE(settings.ViewPlayList);
    EXPECT_EQ(settings.MainX, -5);
    EXPECT_EQ(settings.Volume, 55);
}

TEST_F(SettingsFile, BadValuesGiveDefaultsAndMatchingIgnoresCase)
{
    writeAll(ini(), "[control]\nviewplaylist=7\n[DATA]\nMainX=abc\nMAINY = 42 \nPlayListX=12abc\n"
                    "PlayListY=99999999999\nPlayListW=\nVolume=+3\n");
    app.LoadSettings(settings);
    EXPECT_TRUE(settings.ViewPlayList);  // any non-zero integer is true
    EXPECT_EQ(settings.MainX, 200);
    EXPECT_EQ(settings.MainY, 42);
    EXPECT_EQ(settings.PlayListX, 200);
    EXPECT_EQ(settings.PlayListY, 200);
    EXPECT_EQ(settings.PlayListW, 400);
    EXPECT_EQ(settings.Volume, 3);
}

TEST_F(SettingsFile, SaveKeepsForeignLinesAndLineEnds)
{
    writeAll(ini(), "; my notes\n[Other]\nKeep=this\n\n[Data]\nMainX=1\nExtra=yes\n\n[Tail]\nx=1\n");
    app.LoadSettings(settings);
    settings.MainX = 300;
    ASSERT_EQ(app.SaveSettings(settings), 1);
    EXPECT_EQ(readAll(ini()),
              "; my notes\n[Other]\nKeep=this\n\n[Data]\nMainX=300\nExtra=yes\nMainY=100\nPlayListX=200\n"
              "PlayListY=200\nPlayListW=400\nPlayListH=600\nVolume=30\n\n[Tail]\nx=1\n[Control]\nViewPlayList=1\n"
              "OutputDevice=\nReplayGain=1\n");
}

// The output device is a name as the sound server gives it; the line keeps its place
// and the comment in code page 949 beside it stays byte for byte.
TEST_F(SettingsFile, OutputDeviceIsReadAndWrittenInControl)
{
    writeAll(ini(), "[Control]\r\n; \xc3\xe2\xb7\xc2 \xc0\xe5\xc4\xa1\r\nOutputDevice = alsa_output.usb-DAC.analog-stereo \r\n"
                    "ViewPlayList=1\r\n");
    EXPECT_EQ(StoredOutputDevice(), "alsa_output.usb-DAC.analog-stereo") << "read before the settings";
    app.LoadSettings(settings);
    EXPECT_EQ(settings.OutputDevice, "alsa_output.usb-DAC.analog-stereo");
    settings.OutputDevice = "sorvel_null";
    ASSERT_EQ(app.SaveSettings(settings), 1);
    EXPECT_TRUE(readAll(ini()).startsWith("[Control]\r\n; \xc3\xe2\xb7\xc2 \xc0\xe5\xc4\xa1\r\nOutputDevice=sorvel_null\r\n"
                                          "ViewPlayList=1\r\nReplayGain=1\r\n[Data]"));
    settings = G_STRUCT_tag{};
    app.LoadSettings(settings);
    EXPECT_EQ(settings.OutputDevice, "sorvel_null");
}

// ReplayGain is on unless the file says it is off; older files have no such key.
TEST_F(SettingsFile, ReplayGainIsOnUnlessSwitchedOff)
{
    writeAll(ini(), "[Control]\r\nViewPlayList=1\r\n");
    app.LoadSettings(settings);
    EXPECT_TRUE(settings.ReplayGain);
    settings.ReplayGain = false;
    ASSERT_EQ(app.SaveSettings(settings), 1);
    EXPECT_TRUE(readAll(ini()).contains("ViewPlayList=1\r\nOutputDevice=\r\nReplayGain=0\r\n"));
    settings = G_STRUCT_tag{};
    app.LoadSettings(settings);
    EXPECT_FALSE(settings.ReplayGain);
}

// The keys kept after the design's: the song's name byte for byte (a line break and a
// byte that is not UTF-8 included), its place, and the volume as the player holds it.
TEST_F(SettingsFile, TheSongToCarryOnWithAndTheExactVolumeRoundTrip)
{
    app.LoadSettings(settings);
    EXPECT_TRUE(settings.SongPath.isEmpty());
    EXPECT_LT(settings.ExactVolume, 0.0);
    const QString name = FileNameFromBytes(QByteArray("/m\xe9/a\nb %41=;.mp3"));
    settings.SongPath = name;
    settings.SongPage = 6;
    settings.SongEntry = 41;
    settings.SongPositionMs = 123456789012;
    settings.ExactVolume = 0.5;
    ASSERT_EQ(app.SaveSettings(settings), 1);
    const QByteArray text = readAll(ini());
    EXPECT_LT(text.indexOf("\r\nVolume=30\r\n"), text.indexOf("ExactVolume=")) << "after the original keys";
    settings = G_STRUCT_tag{};
    app.LoadSettings(settings);
    EXPECT_EQ(FileNameBytes(settings.SongPath), FileNameBytes(name));
    EXPECT_EQ(settings.SongPage, 6);
    EXPECT_EQ(settings.SongEntry, 41);
    EXPECT_EQ(settings.SongPositionMs, 123456789012);
    EXPECT_EQ(settings.ExactVolume, 0.5);

    // Cleared, the song stays cleared; values out of range are not taken.
    settings.SongPath.clear();
    ASSERT_EQ(app.SaveSettings(settings), 1);
    writeAll(ini(), readAll(ini()).replace("ExactVolume=0.5", "ExactVolume=1.5").replace("SongPosition=123456789012", "SongPosition=-4"));
    app.LoadSettings(settings);
    EXPECT_TRUE(settings.SongPath.isEmpty());
    EXPECT_LT(settings.ExactVolume, 0.0);
    EXPECT_EQ(settings.SongPositionMs, 0);
}

// A settings file that cannot be written is said in one box until a save succeeds, and
// on stderr every time.
TEST_F(SettingsFile, AFailedSaveIsSaidOnceWithItsReason)
{
    QStringList boxes;
    QStringList lines;
    SetMessageBoxHandler([&](const QString&, const QString& text, int) { return boxes << text, IDOK; });
    SetProblemReporter([&](const QString& text) { lines << text; });
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.path() + "/fifo").constData(), 0600), 0);
    ASSERT_EQ(::symlink("fifo", QFile::encodeName(ini()).constData()), 0);
    EXPECT_EQ(app.SaveSettings(settings), 0);
    EXPECT_EQ(app.SaveSettings(settings), 0);
    EXPECT_EQ(boxes, QStringList{QStringLiteral("파일을 저장하지 못했습니다: Sorvel.ini\n일반 파일이 아닙니다")});
    EXPECT_EQ(lines.filter(QStringLiteral("Sorvel.ini: 일반 파일이 아닙니다")).size(), 2);
    ASSERT_EQ(::unlink(QFile::encodeName(ini()).constData()), 0);
    EXPECT_EQ(app.SaveSettings(settings), 1);
    SetMessageBoxHandler({});
    SetProblemReporter({});
}

TEST_F(SettingsFile, FailedSaveReportsItAndKeepsTheOldFile)
{
    writeAll(ini(), "[Data]\nMainX=1\n");
    {
        FileSizeLimit full(8);  // a full disk
        ASSERT_TRUE(full.Active());
        EXPECT_EQ(app.SaveSettings(settings), 0);
    }
    EXPECT_EQ(readAll(ini()), "[Data]\nMainX=1\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Sorvel.ini"}) << "no half-written file left";
}

TEST(ProfileFileRead, KeysOutsideTheirSectionAreNotSeen)
{
    QTemporaryDir dir;
    G_STRUCT_tag settings;
    CMain app;
    const QString path = dir.path() + "/p.ini";
    writeAll(path, "MainX=5\n[Data]\n[Control]\nMainX=6\n");
    ProfileFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Data", "MainX", 200), 200);
    EXPECT_EQ(ini.ReadInteger("Control", "MainX", 200), 6);
    EXPECT_EQ(ini.ReadString("Nope", "x", "d"), "d");
}

TEST(ProgramFolderChoice, OverrideEndsWithSlash)
{
    SetProgramFolderOverride("/tmp/somewhere");
    EXPECT_EQ(ProgramFolder(), "/tmp/somewhere/");
    SetProgramFolderOverride({});
}

TEST(MessageBoxes, CaptionsAndFlagsReachTheSeam)
{
    std::vector<std::tuple<QString, QString, int>> seen;
    SetMessageBoxHandler([&](const QString& c, const QString& t, int f) {
        seen.emplace_back(c, t, f);
        return IDOK;
    });
    EXPECT_EQ(ShowNotice("n", 64), IDOK);
    EXPECT_EQ(ShowWarning("w", 48), IDOK);
    SetMessageBoxHandler({});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(std::get<0>(seen[0]), "알림");
    EXPECT_EQ(std::get<2>(seen[0]), 64);
    EXPECT_EQ(std::get<0>(seen[1]), "경고");
    EXPECT_EQ(std::get<1>(seen[1]), "w");
}

} // namespace
