// A decoder that cannot be loaded: the open fails and says what is missing, other
// formats still play. Its own program, since a module once opened stays open.

#include "DecodeModule.h"
#include "G.h"
#include "Transport.h"
#include "support/QtApplication.h"
#include "TagReader.h"
#include "fsound.h"
#include "support/AudioFixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fstream>
#include <thread>

namespace {

class MissingModules : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Only the transform module is there; the FLAC module is a file that does not load.
        s_dir = new QTemporaryDir;
        const QString modules = s_dir->path() + "/modules";
        ASSERT_TRUE(QDir().mkpath(modules));
        ASSERT_TRUE(QFile::copy(QStringLiteral(SORVEL_MODULE_DIR_BUILT "/libsorvel_fft.so"),
                                modules + "/libsorvel_fft.so"));
        std::ofstream(QString(modules + "/libsorvel_flac.so").toStdString()) << "not a library";
        fsound::UseModuleFolder(modules.toStdString());
        ::setenv("SDL_AUDIODRIVER", "dummy", 0);
        // The failures are asked for as they happen: however loaded the machine, the
        // open's result comes back from FSOUND_Stream_Open itself.
        fsound::SetOpenWaitForTests(10000);
        FSOUND_Init(44100, 32, 0);
    }
    static void TearDownTestSuite()
    {
        fsound::Shutdown();
        delete s_dir;
    }
    static std::string make(const std::string& kind)
    {
        const std::string folder = s_dir->path().toStdString() + "/" + kind;
        QDir().mkpath(QString::fromStdString(folder));
        return fixtures::MakeFile(folder, kind, {44100, 2, 0.5}, fixtures::Tone(440.0));
    }
    static QTemporaryDir* s_dir;
};

QTemporaryDir* MissingModules::s_dir = nullptr;

TEST_F(MissingModules, TheFailedOpenNamesWhatIsMissing)
{
    const std::string mp3 = make("mp3");
    const std::string flac = make("flac");
    ASSERT_FALSE(mp3.empty());
    ASSERT_FALSE(flac.empty());

    EXPECT_EQ(FSOUND_Stream_Open(mp3.c_str(), 0x130, 0, 0), nullptr);
    fsound::OpenError error = fsound::LastOpenError();
    EXPECT_EQ(error.kind, fsound::OpenError::MissingLibrary);
    EXPECT_EQ(error.library, "libsorvel_mpg123.so");

    // The module is there but does not load: the library it needs is what is missing.
    EXPECT_EQ(FSOUND_Stream_Open(flac.c_str(), 0x130, 0, 0), nullptr);
    error = fsound::LastOpenError();
    EXPECT_EQ(error.kind, fsound::OpenError::MissingLibrary);
    EXPECT_EQ(error.library, "libFLAC.so.12");

    // Asked from another thread, the answer is the same.
    fsound::OpenError seen;
    std::thread([&seen] { seen = fsound::LastOpenError(); }).join();
    EXPECT_EQ(seen.library, "libFLAC.so.12");

    // The built-in reader needs no module; a file that is no song is no missing library.
    const std::string wav = make("wav");
    FSOUND_STREAM* stream = FSOUND_Stream_Open(wav.c_str(), 0x130, 0, 0);
    EXPECT_NE(stream, nullptr);
    EXPECT_EQ(fsound::LastOpenError().kind, fsound::OpenError::None);
    FSOUND_Stream_Stop(stream);
    const std::string text = s_dir->path().toStdString() + "/notes.txt";
    std::ofstream(text) << "not a song\n";
    EXPECT_EQ(FSOUND_Stream_Open(text.c_str(), 0x130, 0, 0), nullptr);
    EXPECT_EQ(fsound::LastOpenError().kind, fsound::OpenError::MissingLibrary)
        << "no decoder could look at it: FFmpeg is missing too";
    EXPECT_EQ(fsound::LastOpenError().library, "libsorvel_ffmpeg.so");

    // Tags of a file whose decoder is missing are empty, not a crash.
    EXPECT_TRUE(ReadFileTags(QString::fromStdString(mp3)).title.isEmpty());
}

// Played, a song whose decoder cannot be loaded says so once, naming what is missing,
// and the player stays stopped; a file that is no song stays silent as always.
TEST_F(MissingModules, PlayingSaysWhatIsMissingAndStaysStopped)
{
    EnsureQtApplication();
    QStringList boxes;
    SetMessageBoxHandler([&](const QString& caption, const QString& text, int flags) {
        boxes << caption + "|" + text + "|" + QString::number(flags);
        return IDOK;
    });
    COgg ogg(nullptr, nullptr);
    Transport transport(ogg);
    EXPECT_FALSE(transport.PlayFile(QString::fromStdString(make("mp3"))));
    EXPECT_EQ(transport.State(), TransportState::Stopped);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith("오류|")) << boxes[0].toStdString();
    EXPECT_TRUE(boxes[0].contains("libsorvel_mpg123.so")) << boxes[0].toStdString();
    EXPECT_TRUE(boxes[0].endsWith(QString::number(MB_ICONHAND)));
    EXPECT_FALSE(transport.PlayFile(s_dir->path() + "/no such song.wav"));
    EXPECT_EQ(boxes.size(), 1);
    SetMessageBoxHandler({});
}

} // namespace
