// The one writer of the program's files: a failed or refused write leaves the target as
// it was, links stay links, and what a killed write left behind goes at the next start.

#include "FileName.h"
#include "ProfileFile.h"
#include "ReplaceFile.h"
#include "support/Isolation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ReplaceFileTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QByteArray Bytes(const QString& name) const { return FileNameBytes(Path(name)); }
    QByteArray Read(const QString& name) const
    {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    mode_t Kind(const QString& name) const
    {
        struct stat st {};
        return ::lstat(Bytes(name).constData(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
    }
    QStringList Names() const { return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot); }

    QTemporaryDir m_dir;
};

TEST_F(ReplaceFileTest, ThroughLinksTheLinkStaysAndItsFileIsReplaced)
{
    ASSERT_TRUE(ReplaceFileContents(Path("real.txt"), "old"));
    ASSERT_EQ(::symlink("real.txt", Bytes("link.txt").constData()), 0);
    ASSERT_EQ(::symlink("link.txt", Bytes("link2.txt").constData()), 0);
    ASSERT_TRUE(ReplaceFileContents(Path("link2.txt"), "new"));
    EXPECT_EQ(Kind("link.txt"), S_IFLNK);
    EXPECT_EQ(Kind("link2.txt"), S_IFLNK);
    EXPECT_EQ(Read("real.txt"), "new");
    EXPECT_EQ(FollowLinks(Path("link2.txt")), Path("real.txt"));

    // A link that leads nowhere yet gets its file; a loop of links is replaced by nothing.
    ASSERT_EQ(::symlink("later.txt", Bytes("dangling").constData()), 0);
    ASSERT_TRUE(ReplaceFileContents(Path("dangling"), "made"));
    EXPECT_EQ(Kind("dangling"), S_IFLNK);
    EXPECT_EQ(Read("later.txt"), "made");
    ASSERT_EQ(::symlink("loop-b", Bytes("loop-a").constData()), 0);
    ASSERT_EQ(::symlink("loop-a", Bytes("loop-b").constData()), 0);
    EXPECT_FALSE(ReplaceFileContents(Path("loop-a"), "x"));
    EXPECT_EQ(Kind("loop-a"), S_IFLNK);
}

// A link to a FIFO or a device must never turn that node into a text file (as root,
// a link to a system device would replace the device).
TEST_F(ReplaceFileTest, WhatIsNotARegularFileIsNeverReplaced)
{
    ASSERT_EQ(::mkfifo(Bytes("fifo").constData(), 0600), 0);
    ASSERT_EQ(::symlink("fifo", Bytes("to-fifo").constData()), 0);
    ASSERT_TRUE(QDir().mkpath(Path("folder")));
    for (const QString& target : {Path("fifo"), Path("to-fifo"), Path("folder")}) {
        ReplaceFile file(target);
        EXPECT_EQ(file.State(), ReplaceFile::Status::NotRegular) << target.toStdString();
        EXPECT_FALSE(file.IsOpen());
        EXPECT_FALSE(ReplaceFileContents(target, "text"));
    }
    EXPECT_EQ(Kind("fifo"), S_IFIFO);
    EXPECT_EQ(Kind("to-fifo"), S_IFLNK);
    EXPECT_EQ(Kind("folder"), S_IFDIR);
    // Character devices the test may name without harm: written to, they would take it.
    for (const char* device : {"/dev/null", "/dev/zero"}) {
        ASSERT_EQ(::symlink(device, Bytes(QStringLiteral("dev-%1").arg(QString::fromLatin1(device + 5))).constData()), 0);
        EXPECT_FALSE(ReplaceFileContents(Path(QStringLiteral("dev-%1").arg(QString::fromLatin1(device + 5))), "x"));
        struct stat st {};
        ASSERT_EQ(::stat(device, &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << device;
    }
    // The settings file goes through the same writer.
    ASSERT_EQ(::symlink("fifo", Bytes("Sorvel.ini").constData()), 0);
    EXPECT_FALSE(ProfileFile(Path("Sorvel.ini"), ProfileFile::Problems::Quiet).UpdateFile());
    EXPECT_EQ(Kind("fifo"), S_IFIFO);
}

TEST_F(ReplaceFileTest, WithoutCommitTheTargetKeepsItsContentsAndNothingStays)
{
    ASSERT_TRUE(ReplaceFileContents(Path("a.dat"), "old"));
    ASSERT_EQ(::chmod(Bytes("a.dat").constData(), 0640), 0);
    {
        ReplaceFile file(Path("a.dat"));
        ASSERT_TRUE(file.IsOpen());
        std::fputs("half", file.Stream());
    }
    EXPECT_EQ(Read("a.dat"), "old");
    EXPECT_EQ(Names(), QStringList{"a.dat"});
    ASSERT_TRUE(ReplaceFileContents(Path("a.dat"), "new"));
    struct stat st {};
    ASSERT_EQ(::stat(Bytes("a.dat").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // A name that is not UTF-8 is written where it says.
    const QString latin1 = FileNameFromBytes(FileNameBytes(Path("caf")) + "\xE9.dat");
    ASSERT_TRUE(ReplaceFileContents(latin1, "bytes"));
    EXPECT_EQ(::access((FileNameBytes(Path("caf")) + "\xE9.dat").constData(), F_OK), 0);
}

TEST_F(ReplaceFileTest, StaleTemporariesOfOurFilesAreRemovedAndNothingElse)
{
    const QStringList stale{"MusicList1.dat.tmp-a1B2c3", "Temprary.txt.tmp-ZZZZZZ", "real.ini.tmp-000000"};
    const QStringList kept{"MusicList1.dat", "MusicList1.dat.tmp-short", "MusicList1.dat.tmp-abc!ef",
                           "Other.dat.tmp-a1B2c3", "MusicList2.dat.tmp-a1B2c3x"};
    for (const QString& name : stale + kept)
        ASSERT_TRUE(QFile(Path(name)).open(QIODevice::WriteOnly)) << name.toStdString();
    // A folder of that name is not a temporary file of ours.
    ASSERT_TRUE(QDir().mkpath(Path("MusicList3.dat.tmp-folder")));
    // Behind a link, the temporaries are beside the file the link leads to.
    ASSERT_EQ(::symlink("real.ini", Bytes("Sorvel.ini").constData()), 0);
    const int removed = RemoveStaleTemporaries({Path("MusicList1.dat"), Path("MusicList2.dat"), Path("MusicList3.dat"),
                                                Path("Temprary.txt"), Path("Sorvel.ini")});
    EXPECT_EQ(removed, 3);
    QStringList expected = kept + QStringList{"MusicList3.dat.tmp-folder", "Sorvel.ini"};
    expected.sort();
    QStringList names = Names();
    names.sort();
    EXPECT_EQ(names, expected);
}

// Only the saving user's own regular files are replaced, through links too, and root is
// held to the same rule: another user's file, a folder without write permission, and
// another user's file in a sticky folder are refused with EACCES and stay as they were.
TEST_F(ReplaceFileTest, ThroughALinkOnlyOurOwnFileInAFolderWeMayWriteIsReplaced)
{
    ASSERT_TRUE(QDir().mkpath(Path("locked")));
    ASSERT_TRUE(ReplaceFileContents(Path("locked/list.txt"), "old"));
    ASSERT_EQ(::chmod(Bytes("locked").constData(), 0555), 0);
    ASSERT_EQ(::symlink("locked/list.txt", Bytes("link1").constData()), 0);
    int error = 0;
    EXPECT_FALSE(ReplaceFileContents(Path("link1"), "new", &error));
    EXPECT_EQ(error, EACCES);
    EXPECT_EQ(Read("locked/list.txt"), "old");
    ASSERT_EQ(::chmod(Bytes("locked").constData(), 0755), 0);
    EXPECT_TRUE(ReplaceFileContents(Path("link1"), "new"));
    EXPECT_EQ(Read("locked/list.txt"), "new");

    if (::getuid() != 0)
        GTEST_SKIP() << "another user's file needs root to be made";
    ASSERT_TRUE(QDir().mkpath(Path("sticky")));
    ASSERT_EQ(::chmod(Bytes("sticky").constData(), 01777), 0);
    ASSERT_EQ(::chown(Bytes("sticky").constData(), 65534, 65534), 0);
    for (const char* target : {"locked/theirs.txt", "sticky/theirs.txt"}) {
        ASSERT_TRUE(ReplaceFileContents(Path(target), "theirs"));
        ASSERT_EQ(::chmod(Bytes(target).constData(), 0444), 0);
        ASSERT_EQ(::chown(Bytes(target).constData(), 65534, 65534), 0);
        const QByteArray link = QByteArray("to-") + (target[0] == 'l' ? "locked" : "sticky");
        ASSERT_EQ(::symlink(target, Bytes(link).constData()), 0);
        error = 0;
        EXPECT_FALSE(ReplaceFileContents(Path(link), "mine", &error)) << target;
        EXPECT_EQ(error, EACCES) << target;
        EXPECT_EQ(Read(target), "theirs") << target;
        struct stat st {};
        ASSERT_EQ(::stat(Bytes(target).constData(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u) << target;
    }
}

// A full disk shows itself as ENOSPC, and the old contents stay.
TEST_F(ReplaceFileTest, AFullDiskFailsWithItsReasonAndKeepsTheOldFile)
{
    ASSERT_TRUE(QDir().mkpath(Path("small")));
    const QString target = Path("small/list.txt");
    const int code = isolation::RunInChild([&] {
        if (!isolation::SmallDisk(Path("small"), 64))
            return isolation::kCannotIsolate;
        if (!ReplaceFileContents(target, "old"))
            return 1;
        int error = 0;
        if (ReplaceFileContents(target, QByteArray(256 * 1024, 'x'), &error) || error != ENOSPC)
            return 2;
        QFile file(target);
        return file.open(QIODevice::ReadOnly) && file.readAll() == "old" ? 0 : 3;
    });
    if (code == isolation::kCannotIsolate)
        GTEST_SKIP() << "no private mount namespace here (needs root): cannot make a small disk";
    EXPECT_EQ(code, 0);
}

} // namespace
