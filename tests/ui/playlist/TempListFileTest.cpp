// "Temprary.txt" as a file: a damaged or unreadable list is never overwritten by what
// was read of it, a failed write is said once and the list kept for the next start, and
// no size that memory holds is too large.

#include "PlaylistTestSupport.h"

#include "SaveProblems.h"
#include "TempListFile.h"
#include "support/Isolation.h"
#include "support/QtApplication.h"

#include <QDir>
#include <QElapsedTimer>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class TempListFileTest : public ScratchFolderTest {
protected:
    void SetUp() override
    {
        ScratchFolderTest::SetUp();
        m_savedState = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", QFile::encodeName(Path(QStringLiteral("state"))));
    }
    void TearDown() override
    {
        qputenv("XDG_STATE_HOME", m_savedState);
        ScratchFolderTest::TearDown();
    }
    QString List() const { return Path(QStringLiteral("Temprary.txt")); }
    static QStringList Kept() { return TempListFile::ReadKeptList(); }

    QByteArray m_savedState;
    SaveProblems m_problems;
};

TEST_F(TempListFileTest, ADamagedListKeepsEveryValidLineAndIsLeftAsItIs)
{
    const QByteArray damaged("/a.mp3\r\n\r\nnot a path\r\n/b\0c.mp3\r\n/c.ogg\r\n", 40);
    WriteBytes(QStringLiteral("Temprary.txt"), damaged);
    TempListFile file(m_problems);
    const QStringList entries = file.Load(List());
    EXPECT_EQ(entries, (QStringList{"/a.mp3", "", "/c.ogg"}));
    EXPECT_TRUE(file.Held());
    ASSERT_EQ(m_problems.StartNotices().size(), 1);
    EXPECT_TRUE(m_problems.StartNotices()[0].contains(QStringLiteral("2개"))) << m_problems.StartNotices()[0].toStdString();

    // What was read is no reason to write; what was added is kept, not lost.
    EXPECT_FALSE(file.SaveNow(List(), entries));
    EXPECT_TRUE(Kept().isEmpty());
    EXPECT_FALSE(file.SaveNow(List(), entries + QStringList{"/new.mp3"}));
    EXPECT_EQ(ReadBytes(QStringLiteral("Temprary.txt")), damaged);
    EXPECT_EQ(Kept(), (QStringList{"/a.mp3", "/c.ogg", "/new.mp3"}));
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(TempListFileTest, AListOver64MBIsReadWhole)
{
    QByteArray bytes = "/first.mp3\r\n/" + QByteArray(65 * 1024 * 1024, 'x') + ".mp3\r\n/last.mp3\r\n";
    WriteBytes(QStringLiteral("Temprary.txt"), bytes);
    bytes.clear();
    TempListFile file(m_problems);
    const QStringList entries = file.Load(List());
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries.last(), QStringLiteral("/last.mp3"));
    EXPECT_FALSE(file.Held());
}

TEST_F(TempListFileTest, AnUnreadableListIsNamedAtStartAndNotOverwritten)
{
    WriteBytes(QStringLiteral("Temprary.txt"), "/a.mp3\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(List()).constData(), 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0777), 0);
    const int code = isolation::RunInChild([&] {
        if (::getuid() == 0 && !isolation::BecomeNobody())
            return isolation::kCannotIsolate;
        TempListFile file(m_problems);
        if (!file.Load(List()).isEmpty() || !file.Held() || m_problems.StartNotices().size() != 1)
            return 1;
        return file.SaveNow(List(), {QStringLiteral("/b.mp3")}) ? 2 : 0;
    });
    if (code == isolation::kCannotIsolate)
        GTEST_SKIP() << "cannot become another user here";
    EXPECT_EQ(code, 0);
    ASSERT_EQ(::chmod(QFile::encodeName(List()).constData(), 0644), 0);
    EXPECT_EQ(ReadBytes(QStringLiteral("Temprary.txt")), "/a.mp3\r\n");
}

TEST_F(TempListFileTest, AFailedWriteIsSaidOnceUntilAWriteSucceedsAndTheListIsKept)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(QStringLiteral("fifo"))).constData(), 0600), 0);
    ASSERT_EQ(::symlink("fifo", QFile::encodeName(List()).constData()), 0);
    TempListFile file(m_problems);
    EXPECT_TRUE(file.Load(List()).isEmpty());
    EXPECT_FALSE(file.SaveNow(List(), {QStringLiteral("/a.mp3")}));
    EXPECT_FALSE(file.SaveNow(List(), {QStringLiteral("/a.mp3"), QStringLiteral("/b.mp3")}));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].Text, QStringLiteral("파일을 저장하지 못했습니다: Temprary.txt\n일반 파일이 아닙니다"));
    EXPECT_EQ(Kept(), (QStringList{"/a.mp3", "/b.mp3"}));

    // Once the list can be written again, the kept copy has done its work.
    ASSERT_EQ(::unlink(QFile::encodeName(List()).constData()), 0);
    EXPECT_TRUE(file.SaveNow(List(), {QStringLiteral("/a.mp3"), QStringLiteral("/b.mp3")}));
    EXPECT_TRUE(Kept().isEmpty());
    ASSERT_EQ(::unlink(QFile::encodeName(List()).constData()), 0);
    ASSERT_EQ(::symlink("fifo", QFile::encodeName(List()).constData()), 0);
    EXPECT_FALSE(file.SaveNow(List(), {QStringLiteral("/c.mp3")}));
    EXPECT_EQ(m_boxes.size(), 2u);
}

TEST_F(TempListFileTest, OnAFullDiskTheReasonIsSaidAndTheListKept)
{
    const QString small = Path(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(small));
    const int code = isolation::RunInChild([&] {
        if (!isolation::SmallDisk(small, 16))
            return isolation::kCannotIsolate;
        QStringList paths;
        for (int i = 0; i < 2000; ++i)
            paths.append(QStringLiteral("/music/album/song number %1.mp3").arg(i));
        TempListFile file(m_problems);
        if (file.SaveNow(small + QStringLiteral("/Temprary.txt"), paths))
            return 1;
        if (m_boxes.size() != 1 || !m_boxes[0].Text.endsWith(QStringLiteral("디스크 공간이 없습니다")))
            return 2;
        return file.ReadKeptList() == paths ? 0 : 3;
    });
    if (code == isolation::kCannotIsolate)
        GTEST_SKIP() << "no private mount namespace here (needs root): cannot make a small disk";
    EXPECT_EQ(code, 0);
}

// Writes in the background never hold the window thread; of lists handed over quickly
// the newest is the one the file ends with.
TEST_F(TempListFileTest, WritesLaterEndWithTheNewestList)
{
    EnsureQtApplication();
    TempListFile file(m_problems);
    QStringList paths;
    for (int i = 0; i < 50; ++i) {
        paths.append(QStringLiteral("/m/%1.mp3").arg(i));
        file.SaveLater(List(), paths);
    }
    QElapsedTimer waited;
    waited.start();
    while (!file.Idle() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(file.Idle());
    EXPECT_EQ(TempListEntries(ReadBytes(QStringLiteral("Temprary.txt"))), paths);
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(TempListFileTest, AReadOnlyFolderIsNotWrittenAndWhatWasAddedIsKept)
{
    WriteBytes(QStringLiteral("Temprary.txt"), "/a.mp3\r\n");
    SetProgramFolderOverride(m_dir.path(), false);
    TempListFile file(m_problems);
    const QStringList entries = file.Load(List());
    EXPECT_FALSE(file.SaveNow(List(), entries + QStringList{"/b.mp3"}));
    EXPECT_EQ(ReadBytes(QStringLiteral("Temprary.txt")), "/a.mp3\r\n");
    EXPECT_EQ(Kept(), (QStringList{"/a.mp3", "/b.mp3"}));
    EXPECT_TRUE(m_boxes.empty());  // the folder was named at start
}

} // namespace
