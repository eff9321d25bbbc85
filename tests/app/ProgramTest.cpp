// The two windows as the program holds them: closing the strip must end the program
// whatever the playlist window does with its own close.

#include "support/QtApplication.h"
#include "AppFolder.h"
#include "G.h"
#include "Main.h"
#include "Playlist.h"
#include "fsound.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

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
        TFormMain formMain;
        TFormPlayList formPlayList;
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

} // namespace
