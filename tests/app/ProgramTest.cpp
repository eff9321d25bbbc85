// The two windows as the program holds them: closing the strip must end the program
// whatever the playlist window does with its own close.

#include "support/QtApplication.h"
#include "AppFolder.h"
#include "Cmain.h"
#include "Diagnostics.h"
#include "G.h"
#include "Main.h"
#include "Playlist.h"
#include "Program.h"
#include "ShutdownRequests.h"
#include "fsound.h"
#include "support/StripWithEngine.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(Program, ClosingTheStripEndsTheEventLoopWithTheListShown)
{
    EnsureQtApplication();
    QTemporaryDir dir;
    SetProgramFolderOverride(dir.path());
    SetMessageBoxHandler([](const QString&, const QString&, int) { return IDOK; });
    bool hung = false;
    int result = -1;
    for (int round = 0; round < 5; ++round) {
        StripWithEngine strip;
        TFormMain& formMain = strip.form;
        PlaylistModel playlist(strip.app.FileProblems);
        TFormPlayList formPlayList(playlist, strip.settings, strip.app);
        formMain.show();
        formPlayList.show();
        QTimer::singleShot(20, &formMain, [&] { formMain.close(); });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            hung = true;
            QCoreApplication::exit(7);
        });
        watchdog.start(3000);
        result = QApplication::exec();
        if (hung)
            break;
        // The playlist window itself was never closed: only the program ended.
        EXPECT_TRUE(formPlayList.isVisible());
    }
    EXPECT_FALSE(hung);
    EXPECT_EQ(result, 0);
    fsound::Shutdown();
    SetMessageBoxHandler({});
    SetProgramFolderOverride({});
}

// The program as `main` builds it: the playlist's play request reaches the transport, which
// finds no song on a page that holds only a heading and says so through the windows' box; its end writes the settings with the list's last place,
// and leaves no box presenter behind.
TEST(Program, BuildsWholeAndTearsDownInTheOrderTheWindowsNeed)
{
    EnsureQtApplication();
    QTemporaryDir dir;
    SetProgramFolderOverride(dir.path());
    QStringList boxes;
    SetMessageBoxHandler([&](const QString&, const QString& text, int) { return boxes << text, IDOK; });
    {
        Program program;
        program.Start({});
        ASSERT_NE(program.PlayList(), nullptr);
        EXPECT_TRUE(program.Player().isVisible());
        program.PlayList()->move(321, 234);
        ASSERT_TRUE(program.Playlist().AddPageEntry(1, QStringLiteral("/m/heading"), true, 0));
        ASSERT_TRUE(program.Playlist().PlayEntry(1, 0));
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_TRUE(boxes[0].contains(QStringLiteral("플레이할 음악 파일이 등록되어 있지 않습니다")));
        EXPECT_FALSE(program.TheTransport().CanGoPrevious());
        ASSERT_TRUE(program.Playlist().AddPageEntry(1, QStringLiteral("/m/a.mp3"), false, 0));
        EXPECT_TRUE(program.TheTransport().CanGoPrevious()) << "the transport is given the playlist's previous song";
    }
    QFile ini(dir.filePath(QStringLiteral("Sorvel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("PlayListX=321"));

    SetMessageBoxHandler({});
    QStringList problems;
    SetProblemReporter([&](const QString& text) { problems << text; });
    ShowNotice(QStringLiteral("after"), MB_OK);
    EXPECT_EQ(problems.size(), 1);  // no window box is left to show it
    SetProblemReporter({});
    fsound::Shutdown();
    SetProgramFolderOverride({});
}

// A list that cannot be written is said at a quit the user asked for while the windows
// still show, and kept for the next start; at a signal nobody is there to answer a box.
TEST(Program, AFailedSaveAtTheQuitIsSaidBeforeTheWindowsGo)
{
    EnsureQtApplication();
    QTemporaryDir dir;
    SetProgramFolderOverride(dir.path());
    const QByteArray savedState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("state"))));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600), 0);
    ASSERT_EQ(::symlink("fifo", QFile::encodeName(dir.filePath(QStringLiteral("Temprary.txt"))).constData()), 0);
    for (const bool signalled : {false, true}) {
        QStringList boxes;
        QStringList lines;
        bool stripShown = false;
        SetProblemReporter([&](const QString& text) { lines << text; });
        {
            ShutdownRequests::InstallHandlers();
            Program program;
            SetMessageBoxHandler([&](const QString&, const QString& text, int) {
                boxes << text;
                stripShown = program.Player().isVisible();
                return IDOK;
            });
            program.Start({});
            program.PlayList()->Model().AddTempItem(QStringLiteral("/m/a.mp3"));
            QTimer::singleShot(50, &program.Player(), [&] {
                if (signalled)
                    ::raise(SIGTERM);
                else
                    program.Player().close();
            });
            QApplication::exec();
        }
        const QString said = QStringLiteral("파일을 저장하지 못했습니다: Temprary.txt\n일반 파일이 아닙니다");
        if (signalled) {
            // (The list kept by the first round was offered back at the start.)
            EXPECT_TRUE(boxes.filter(QStringLiteral("저장하지 못했습니다:")).isEmpty())
                << boxes.join(QLatin1Char('|')).toStdString();
        } else {
            EXPECT_EQ(boxes, QStringList{said});
            EXPECT_TRUE(stripShown);
        }
        EXPECT_EQ(lines.filter(QStringLiteral("Temprary.txt: 일반 파일이 아닙니다")).size(), 1) << signalled;
        QFile kept(dir.filePath(QStringLiteral("state/sorvel/Temprary.txt")));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), "/m/a.mp3\r\n");
    }
    fsound::Shutdown();
    SetMessageBoxHandler({});
    SetProblemReporter({});
    SetProgramFolderOverride({});
    qputenv("XDG_STATE_HOME", savedState);
}

} // namespace
