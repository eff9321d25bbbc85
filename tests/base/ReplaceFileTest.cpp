// The one writer of the program's files: a failed or refused write leaves the target as
// it was, links stay links, and what a killed write left behind goes at the next start.

#include "FileName.h"
#include "ProfileFile.h"
#include "ReplaceFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

} // namespace
