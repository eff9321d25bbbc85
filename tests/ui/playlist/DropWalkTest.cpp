// The music file test and the folder walks, on folder trees made here.

#include "PlaylistTestSupport.h"

#include "DropWalk.h"

#include <unistd.h>

namespace {

class MusicFileTest : public ::testing::Test {};

TEST_F(MusicFileTest, ExtensionsCompareLowerCased)
{
    // The original list's extensions, and the formats the decoders play beside them.
    for (const char* name : {"a.mp3", "SONG.MP3", "b.Ogg", "c.wav", "d.asf", "e.mp2", "f.wma", "g.cda", "h.aiff",
                             "song.aif", "song.FLAC", "x.opus", "y.m4a", "z.aac"})
        EXPECT_TRUE(IsMusicFile(QStringLiteral("/m/") + QLatin1String(name))) << name;
    for (const char* name : {"mp3", "song.mp3.txt", "notes.txt", ".mp3x", "cover.jpg", "a.m3u"})
        EXPECT_FALSE(IsMusicFile(QStringLiteral("/m/") + QLatin1String(name))) << name;
    EXPECT_FALSE(IsMusicFile(QStringLiteral("/m.mp3/song")));
    EXPECT_TRUE(IsMusicFile(QStringLiteral("/m/.mp3")));
}

class FolderWalk : public ScratchFolderTest {
protected:
    void MakeFile(const QString& name, int bytes)
    {
        QDir().mkpath(QFileInfo(Path(name)).path());
        WriteBytes(name, QByteArray(bytes, 'x'));
    }
    void MakeFolder(const QString& name) { ASSERT_TRUE(QDir().mkpath(Path(name))); }
    std::vector<std::pair<QString, std::intptr_t>> Tree(const QString& folder, CFolderLister& lister)
    {
        TStringList list;
        CFolderWalk(lister).CollectTree(list, Path(folder), 0);
        std::vector<std::pair<QString, std::intptr_t>> out;
        for (int i = 0; i < list.Count(); ++i)
            out.emplace_back(list.Strings(i).mid(m_dir.path().size() + 1), list.Objects(i));
        return out;
    }
    std::vector<std::pair<QString, std::intptr_t>> Tree(const QString& folder)
    {
        return Tree(folder, DefaultFolderLister());
    }
    QStringList Files(const QString& folder)
    {
        TStringList list;
        CFolderWalk(DefaultFolderLister()).CollectFiles(list, Path(folder));
        QStringList out;
        for (int i = 0; i < list.Count(); ++i)
            out.append(list.Strings(i).mid(m_dir.path().size() + 1));
        return out;
    }
};

using Pairs = std::vector<std::pair<QString, std::intptr_t>>;

TEST_F(FolderWalk, PageWalkGivesDepthsAndFileValues)
{
    MakeFile(QStringLiteral("D/a.mp3"), 300);
    MakeFile(QStringLiteral("D/notes.txt"), 300);
    MakeFile(QStringLiteral("D/sub/b.ogg"), 256);
    MakeFile(QStringLiteral("D/sub/tiny.mp3"), 255);
    MakeFolder(QStringLiteral("D/sub/deeper"));
    EXPECT_EQ(Tree(QStringLiteral("D")), (Pairs{{"D/a.mp3", 1001},
                                                {"D/notes.txt", 1001},
                                                {"D/sub", 1},
                                                {"D/sub/b.ogg", 1002},
                                                {"D/sub/deeper", 2}}));
}

TEST_F(FolderWalk, TrailingSlashIsNotDoubled)
{
    MakeFile(QStringLiteral("D/a.mp3"), 300);
    EXPECT_EQ(Tree(QStringLiteral("D/")), (Pairs{{"D/a.mp3", 1001}}));
}

TEST_F(FolderWalk, FileWalkHasNoSizeTest)
{
    MakeFile(QStringLiteral("D/a.mp3"), 10);
    MakeFile(QStringLiteral("D/x/y/b.txt"), 0);
    MakeFolder(QStringLiteral("D/empty"));
    EXPECT_EQ(Files(QStringLiteral("D")), (QStringList{"D/a.mp3", "D/x/y/b.txt"}));
}

TEST_F(FolderWalk, LinkLoopIsNotFollowedBack)
{
    MakeFile(QStringLiteral("D/sub/a.mp3"), 300);
    ASSERT_EQ(::symlink("..", Path(QStringLiteral("D/sub/up")).toLocal8Bit().constData()), 0);
    ASSERT_EQ(::symlink(Path(QStringLiteral("D")).toLocal8Bit().constData(),
                        Path(QStringLiteral("D/self")).toLocal8Bit().constData()),
              0);
    EXPECT_EQ(Tree(QStringLiteral("D")), (Pairs{{"D/sub", 1}, {"D/sub/a.mp3", 1002}}));
    EXPECT_EQ(Files(QStringLiteral("D")), QStringList{"D/sub/a.mp3"});
}

TEST_F(FolderWalk, LinkToFolderOutsideIsFollowed)
{
    MakeFile(QStringLiteral("other/c.mp3"), 300);
    MakeFolder(QStringLiteral("D"));
    ASSERT_EQ(::symlink(Path(QStringLiteral("other")).toLocal8Bit().constData(),
                        Path(QStringLiteral("D/link")).toLocal8Bit().constData()),
              0);
    EXPECT_EQ(Tree(QStringLiteral("D")), (Pairs{{"D/link", 1}, {"D/link/c.mp3", 1002}}));
}

// Root reads folders whatever their mode, so a lister that fails stands in for an
// unreadable folder; when not root, a real one is tried too.
class FailingLister : public CFolderLister {
public:
    bool List(const QString& folder, std::vector<FolderEntry>& entries) override
    {
        if (folder.endsWith(QStringLiteral("/locked")))
            return false;
        return CFolderLister::List(folder, entries);
    }
};

TEST_F(FolderWalk, UnreadableFolderAddsNothingBelowIt)
{
    MakeFile(QStringLiteral("D/locked/x.mp3"), 300);
    MakeFile(QStringLiteral("D/z.mp3"), 300);
    FailingLister lister;
    EXPECT_EQ(Tree(QStringLiteral("D"), lister), (Pairs{{"D/locked", 1}, {"D/z.mp3", 1001}}));

    if (::geteuid() != 0) {
        ASSERT_TRUE(QFile::setPermissions(Path(QStringLiteral("D/locked")), QFileDevice::Permissions()));
        EXPECT_EQ(Tree(QStringLiteral("D")), (Pairs{{"D/locked", 1}, {"D/z.mp3", 1001}}));
        QFile::setPermissions(Path(QStringLiteral("D/locked")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

} // namespace
