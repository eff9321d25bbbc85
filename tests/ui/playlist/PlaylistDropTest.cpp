// Files and folders dropped onto a page tree or the temporary list.

#include "PlaylistGuiSupport.h"

#include "FileName.h"
#include "TempList.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <unistd.h>

namespace {

class PlaylistDrop : public PlaylistTest {
protected:
    void MakeFile(const QString& name, int bytes)
    {
        QDir().mkpath(QFileInfo(Path(name)).path());
        WriteBytes(name, QByteArray(bytes, 'x'));
    }
    void DropOnPage(int page, const QStringList& names)
    {
        QStringList paths;
        for (const QString& name : names)
            paths.append(Path(name));
        m_playlist->WMDropFiles(Tree(page), paths);
        ASSERT_TRUE(m_playlist->FinishDrops());
    }
    void DropOnList(const QStringList& names)
    {
        QStringList paths;
        for (const QString& name : names)
            paths.append(Path(name));
        m_playlist->WMDropFiles(m_list.get(), paths);
        ASSERT_TRUE(m_playlist->FinishDrops());
    }
    QStringList RelativeCaptions() const
    {
        QStringList out;
        for (const QString& caption : m_list->Captions())
            out.append(caption.startsWith(m_dir.path()) ? caption.mid(m_dir.path().size() + 1) : caption);
        return out;
    }
};

TEST_F(PlaylistDrop, FolderGivesHeadingsLevelsAndNumbers)
{
    MakeFile(QStringLiteral("D/a.mp3"), 300);
    MakeFile(QStringLiteral("D/notes.txt"), 300);
    MakeFile(QStringLiteral("D/sub/b.ogg"), 300);
    DropOnPage(1, {QStringLiteral("D")});
    EXPECT_EQ(Rows(1), (QStringList{"D|1|0|0", "a.mp3|0|1|1", "sub|1|1|0", "b.ogg|0|2|2"}));
    EXPECT_EQ(EntryPath(*Record(1, 3)), Path(QStringLiteral("D/sub/b.ogg")));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("Temprary.txt"))));
}

TEST_F(PlaylistDrop, FolderWithOnlyTextFileGivesLoneHeading)
{
    MakeFile(QStringLiteral("T/readme.txt"), 300);
    QDir().mkpath(Path(QStringLiteral("E")));
    DropOnPage(2, {QStringLiteral("T"), QStringLiteral("E")});
    EXPECT_EQ(Rows(2), QStringList{"T|1|0|0"});
}

TEST_F(PlaylistDrop, LastFolderOfWalkGetsNoHeading)
{
    MakeFile(QStringLiteral("D/a.mp3"), 300);
    QDir().mkpath(Path(QStringLiteral("D/zz/empty")));
    DropOnPage(1, {QStringLiteral("D")});
    EXPECT_EQ(Rows(1), (QStringList{"D|1|0|0", "a.mp3|0|1|1", "zz|1|1|0"}));
}

TEST_F(PlaylistDrop, SmallMusicFileDependsOnHowItArrives)
{
    MakeFile(QStringLiteral("D/small.mp3"), 100);
    MakeFile(QStringLiteral("D/big.mp3"), 256);
    DropOnPage(1, {QStringLiteral("D")});
    EXPECT_EQ(Rows(1), (QStringList{"D|1|0|0", "big.mp3|0|1|1"}));
    DropOnPage(2, {QStringLiteral("D/small.mp3")});
    EXPECT_EQ(Rows(2), QStringList{"small.mp3|0|0|1"});
    DropOnList({QStringLiteral("D")});
    EXPECT_EQ(RelativeCaptions(), (QStringList{"D/big.mp3", "D/small.mp3"}));
}

TEST_F(PlaylistDrop, PagesKeepDuplicates)
{
    MakeFile(QStringLiteral("a.mp3"), 300);
    DropOnPage(3, {QStringLiteral("a.mp3")});
    DropOnPage(3, {QStringLiteral("a.mp3"), QStringLiteral("b.txt")});
    EXPECT_EQ(Rows(3), (QStringList{"a.mp3|0|0|1", "a.mp3|0|0|2"}));
    EXPECT_NE(Record(3, 0), Record(3, 1));
}

// Names are bytes: "A.mp3" and "a.MP3" are two files, and only the very same path is
// a duplicate on the list.
TEST_F(PlaylistDrop, ListRefusesOnlyExactDuplicates)
{
    m_playlist->WMDropFiles(m_list.get(), {QStringLiteral("/Music/A.mp3")});
    m_playlist->WMDropFiles(m_list.get(), {QStringLiteral("/music/a.MP3"), QStringLiteral("/Music/A.mp3"),
                                         QStringLiteral("/Music/SONG.Mp3"), QStringLiteral("/Music/song.mp3")});
    ASSERT_TRUE(m_playlist->FinishDrops());
    EXPECT_EQ(m_list->Captions(), (QStringList{"/Music/A.mp3", "/music/a.MP3", "/Music/SONG.Mp3", "/Music/song.mp3"}));
    // After the list changed by other means the test still sees every caption.
    m_list->selectAll();
    m_playlist->DeleteSelectedTemp();
    m_playlist->AddTempItem(QStringLiteral("/X/B.WAV"));
    m_playlist->AddTempFile(QStringLiteral("/X/B.WAV"));
    m_playlist->AddTempFile(QStringLiteral("/x/b.wav"));
    EXPECT_EQ(m_list->Captions(), (QStringList{"/X/B.WAV", "/x/b.wav"}));
    SelectRows(m_list.get(), {0});
    m_playlist->DeleteSelectedTemp();
    m_playlist->AddTempFile(QStringLiteral("/X/B.WAV"));
    EXPECT_EQ(m_list->Captions(), (QStringList{"/x/b.wav", "/X/B.WAV"}));
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(PlaylistDrop, FolderOnListAddsMusicInWalkOrderAndWritesFile)
{
    MakeFile(QStringLiteral("D/b.mp3"), 300);
    MakeFile(QStringLiteral("D/a/c.OGG"), 300);
    MakeFile(QStringLiteral("D/notes.txt"), 300);
    DropOnList({QStringLiteral("D")});
    EXPECT_EQ(RelativeCaptions(), (QStringList{"D/a/c.OGG", "D/b.mp3"}));
    const QByteArray expected = (m_list->Captions().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
    EXPECT_EQ(ReadBytes(QStringLiteral("Temprary.txt")), expected);
}

TEST_F(PlaylistDrop, ChosenFilesGoToListAndFile)
{
    MakeFile(QStringLiteral("D/x.mp3"), 10);
    m_playlist->AddChosenFiles({Path(QStringLiteral("b.wav")), Path(QStringLiteral("D")), Path(QStringLiteral("B.WAV")),
                               Path(QStringLiteral("c.txt")), Path(QStringLiteral("b.wav"))});
    ASSERT_TRUE(m_playlist->FinishDrops());
    // The folder's walk is waited for, in the order the files were chosen.
    EXPECT_EQ(RelativeCaptions(), (QStringList{"b.wav", "D/x.mp3", "B.WAV"}));
    EXPECT_EQ(DecodeTempListText(ReadBytes(QStringLiteral("Temprary.txt"))), m_list->Captions());
}

// Root reads any folder, so a lister that fails stands in for an unreadable one.
class LockedLister : public CFolderLister {
public:
    bool List(const QString& folder, std::vector<FolderEntry>& entries) override
    {
        return !folder.endsWith(QStringLiteral("/locked")) && CFolderLister::List(folder, entries);
    }
};

// What a walk leaves out is said in one warning per drop: unreadable folders, links that
// loop or lead nowhere, and on a page music files under 256 bytes; never the files that
// are not music.
TEST_F(PlaylistDrop, WhatAWalkLeavesOutIsSaidOncePerDrop)
{
    MakeFile(QStringLiteral("D/a.mp3"), 300);
    MakeFile(QStringLiteral("D/tiny.mp3"), 100);
    MakeFile(QStringLiteral("D/notes.txt"), 10);
    MakeFile(QStringLiteral("D/locked/x.mp3"), 300);
    QDir().mkpath(Path(QStringLiteral("D/in")));
    ASSERT_EQ(::symlink("..", QFile::encodeName(Path(QStringLiteral("D/in/back"))).constData()), 0);
    ASSERT_EQ(::symlink("self", QFile::encodeName(Path(QStringLiteral("D/self"))).constData()), 0);
    ASSERT_EQ(::symlink("nowhere.mp3", QFile::encodeName(Path(QStringLiteral("D/gone.mp3"))).constData()), 0);
    LockedLister lister;
    m_playlist->SetFolderLister(&lister);
    DropOnPage(1, {QStringLiteral("D")});
    ASSERT_EQ(m_boxes.size(), 1u);
    const QString text = m_boxes[0].Text;
    for (const char* part : {"읽을 수 없는 폴더 1개", "자기 자신으로 돌아가는 링크 2개", "가리키는 곳이 없는 링크 1개",
                             "256바이트보다 작아 페이지에 넣지 않은 음악 파일 1개"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part << "\n" << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("D/gone.mp3"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("notes.txt")));

    m_boxes.clear();
    DropOnList({QStringLiteral("D")});
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_FALSE(m_boxes[0].Text.contains(QStringLiteral("256")));
    EXPECT_EQ(RelativeCaptions(), (QStringList{"D/a.mp3", "D/tiny.mp3"}));
    m_playlist->SetFolderLister(nullptr);
}

TEST_F(PlaylistDrop, SymlinkLoopEnds)
{
    MakeFile(QStringLiteral("L/a.mp3"), 300);
    QDir().mkpath(Path(QStringLiteral("L/in")));
    ASSERT_EQ(::symlink(Path(QStringLiteral("L")).toLocal8Bit().constData(),
                        Path(QStringLiteral("L/in/loop")).toLocal8Bit().constData()),
              0);
    DropOnPage(1, {QStringLiteral("L")});
    EXPECT_EQ(Rows(1), (QStringList{"L|1|0|0", "a.mp3|0|1|1"}));
    DropOnList({QStringLiteral("L")});
    EXPECT_EQ(RelativeCaptions(), QStringList{"L/a.mp3"});
}

TEST_F(PlaylistDrop, UnreadableFolderIsSkipped)
{
    class Refusing : public CFolderLister {
    public:
        bool List(const QString& folder, std::vector<FolderEntry>& entries) override
        {
            return !folder.endsWith(QStringLiteral("/no")) && CFolderLister::List(folder, entries);
        }
    } lister;
    m_playlist->SetFolderLister(&lister);
    MakeFile(QStringLiteral("D/no/x.mp3"), 300);
    MakeFile(QStringLiteral("D/yes.mp3"), 300);
    DropOnPage(1, {QStringLiteral("D")});
    DropOnList({QStringLiteral("D")});
    m_playlist->SetFolderLister(nullptr);
    EXPECT_EQ(Rows(1), (QStringList{"D|1|0|0", "no|1|1|0", "yes.mp3|0|1|1"}));
    EXPECT_EQ(RelativeCaptions(), QStringList{"D/yes.mp3"});
}

// A path longer than a record holds is refused, never cut, and named in one warning
// per drop; its folder, which then holds nothing, gets no heading.
TEST_F(PlaylistDrop, OverlongPathIsRefusedWithOneWarningAndNoEmptyHeading)
{
    const QString longPath = QLatin1Char('/') + QString(487, QLatin1Char('x')) + QStringLiteral(".mp3");
    ASSERT_EQ(longPath.toUtf8().size(), 492);
    m_playlist->WMDropFiles(Tree(1), {longPath, longPath.mid(1), longPath + QStringLiteral(".wav")});
    ASSERT_TRUE(m_playlist->FinishDrops());
    ASSERT_EQ(Tree(1)->EntryCount(), 1);
    EXPECT_EQ(EntryPath(*Record(1, 0)), longPath.mid(1));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].Caption, QStringLiteral("경고"));
    EXPECT_TRUE(m_boxes[0].Text.contains(longPath));
    EXPECT_TRUE(m_boxes[0].Text.contains(longPath + QStringLiteral(".wav")));

    // In a walked folder: the file that fits stays under its heading; the folder whose
    // only song does not fit shows no heading.
    m_boxes.clear();
    // Folders "D/d.../d..." whose own paths fit, with the song below them one past it.
    const int room = 491 - static_cast<int>(FileNameBytes(Path(QStringLiteral("D/"))).size());
    const QString deep = QStringLiteral("D/") + QString(200, QLatin1Char('d')) + QLatin1Char('/')
                         + QString(room - 201 - 13, QLatin1Char('e'));
    MakeFile(QStringLiteral("D/fits.mp3"), 300);
    MakeFile(deep + QStringLiteral("/too-long!.mp3"), 300);
    MakeFile(QStringLiteral("D/text/readme.txt"), 300);
    ASSERT_EQ(FileNameBytes(Path(deep)).size(), 491 - 13);
    DropOnPage(2, {QStringLiteral("D")});
    // The folder of text keeps its heading, as a folder of text always has one.
    EXPECT_EQ(Rows(2), (QStringList{"D|1|0|0", "fits.mp3|0|1|1", "text|1|1|0"}));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(m_boxes[0].Text.contains(QStringLiteral("too-long!.mp3")));
}

// A drop reaches a view only after the drag entered it, as from a real file manager.
bool DragAndDrop(QWidget* viewport, const QMimeData* mime)
{
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    return drop.isAccepted();
}

TEST_F(PlaylistDrop, DroppedUrlsReachThePlaylist)
{
    MakeFile(QStringLiteral("a.mp3"), 300);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Path(QStringLiteral("a.mp3"))), QUrl(QStringLiteral("https://example.com/b.mp3"))});
    EXPECT_TRUE(DragAndDrop(Tree(5)->viewport(), &mime));
    ASSERT_TRUE(m_playlist->FinishDrops());
    EXPECT_EQ(Rows(5), QStringList{"a.mp3|0|0|1"});
    EXPECT_TRUE(DragAndDrop(m_list->viewport(), &mime));
    ASSERT_TRUE(m_playlist->FinishDrops());
    EXPECT_EQ(RelativeCaptions(), QStringList{"a.mp3"});

    QMimeData text;
    text.setText(QStringLiteral("/m/c.mp3"));
    EXPECT_FALSE(DragAndDrop(Tree(5)->viewport(), &text));
    EXPECT_EQ(Tree(5)->EntryCount(), 1);
}

TEST_F(PlaylistDrop, WidgetsCarryTheirNamesAndPages)
{
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(Tree(n)->Tag, n);
        EXPECT_EQ(Tree(n)->objectName(), QStringLiteral("TreeView%1").arg(n));
        EXPECT_FALSE(Tree(n)->accessibleName().isEmpty());
        EXPECT_EQ(Tree(n)->PageNo(), n);
    }
    EXPECT_EQ(m_list->objectName(), QStringLiteral("ListView1"));
    EXPECT_EQ(m_list->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("음악 파일명"));
}

} // namespace
