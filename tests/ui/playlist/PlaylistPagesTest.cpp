// Pages on their trees: filling, gathering, saving, reloading, numbering, and the
// temporary list's file.

#include "PlaylistGuiSupport.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray PageFile(const std::vector<TMusicFile>& records, char headerFill = 0)
{
    QByteArray bytes = HeaderBytes(static_cast<std::int32_t>(records.size()), headerFill);
    for (const auto& record : records)
        bytes += RecordBytes(record);
    return bytes;
}

class PageLoading : public PlaylistTest {};

TEST_F(PageLoading, FilledTreeShowsNamesLevelsAndFreshNumbers)
{
    WriteBytes(QStringLiteral("MusicList2.dat"),
               PageFile({MakeRecord(true, 0, 0, QStringLiteral("/m/D")), MakeRecord(false, 1, 9, QStringLiteral("/m/D/a.mp3")),
                         MakeRecord(true, 1, 4, QStringLiteral("/m/D/sub")),
                         MakeRecord(false, 2, 9, QStringLiteral("/m/D/sub/b.ogg"))}));
    EXPECT_TRUE(m_playlist->LoadPages());
    EXPECT_EQ(Rows(2), (QStringList{"D|1|0|0", "a.mp3|0|1|1", "sub|1|1|4", "b.ogg|0|2|2"}));
    EXPECT_EQ(m_model->Page(2).Entries->Count(), 0);
    for (int n : {1, 3, 4, 5})
        EXPECT_EQ(Tree(n)->EntryCount(), 0);
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(PageLoading, DamagedPageLoadsWhatItHolds)
{
    QByteArray bytes = PageFile({MakeRecord(false, 0, 0, QStringLiteral("/m/a.mp3"))});
    bytes.replace(42, 4, QByteArray("\x05\0\0\0", 4));
    WriteBytes(QStringLiteral("MusicList1.dat"), bytes);
    WriteBytes(QStringLiteral("MusicList3.dat"), QByteArray(100, 'z'));
    m_playlist->LoadPages();
    EXPECT_EQ(Rows(1), QStringList{"a.mp3|0|0|1"});
    EXPECT_EQ(Tree(3)->EntryCount(), 0);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].Text, QStringLiteral("파일을 읽을 수 없습니다. #2"));
}

TEST_F(PageLoading, ReloadAppendsAndCopiesAreIndependent)
{
    WriteBytes(QStringLiteral("MusicList1.dat"), PageFile({MakeRecord(false, 0, 0, QStringLiteral("/m/a.mp3")),
                                                            MakeRecord(false, 0, 0, QStringLiteral("/m/b.mp3"))}));
    m_playlist->LoadPages();
    m_playlist->LoadPages();
    EXPECT_EQ(Rows(1), (QStringList{"a.mp3|0|0|1", "b.mp3|0|0|2", "a.mp3|0|0|3", "b.mp3|0|0|4"}));
    EXPECT_NE(Record(1, 0), Record(1, 2));

    SelectRows(Tree(1), {0});
    m_playlist->DeleteSelected(Tree(1));
    EXPECT_EQ(Rows(1), (QStringList{"b.mp3|0|0|1", "a.mp3|0|0|2", "b.mp3|0|0|3"}));
    EXPECT_EQ(EntryPath(*Record(1, 1)), QStringLiteral("/m/a.mp3"));
}

class PageSaving : public PlaylistTest {};

// A page file holding records the read did not take is named, and replaced only when
// the listener says yes.
TEST_F(PageSaving, SaveToFileAsksBeforeReplacingRecordsNotRead)
{
    const QByteArray bytes = HeaderBytes(0) + RecordBytes(MakeRecord(false, 0, 1, QStringLiteral("/m/a.mp3")));
    WriteBytes(QStringLiteral("MusicList3.dat"), bytes);
    m_playlist->LoadPages();
    EXPECT_TRUE(m_playlist->PageReadProblems().contains(QStringLiteral("MusicList3.dat")));
    int answer = IDNO;
    SetMessageBoxHandler([&](const QString& caption, const QString& text, int flags) {
        m_boxes.push_back({caption, text, flags});
        return (flags & 0x0F) == MB_YESNO ? answer : IDOK;
    });
    m_playlist->SaveToFile();
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[0].Flags & 0x0F, MB_YESNO);
    EXPECT_TRUE(m_boxes[1].Text.contains(QStringLiteral("외국음악 (MusicList3.dat): 읽지 못한 기록이 있어 덮어쓰지 않았습니다")))
        << m_boxes[1].Text.toStdString();
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList3.dat")), bytes);

    answer = IDYES;
    m_boxes.clear();
    m_playlist->SaveToFile();
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].Text, QStringLiteral("MusicFile1~5.dat 로 각 페이지별로 저장 되었습니다."));
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList3.dat")).size(), 500);
}

// The model keeps less than a record, but enough to write all of its 500 bytes back:
// bytes after the path's end, a path field with no end, the byte no reader looks at.
TEST_F(PageSaving, PageReadAndSavedIsTheSameBytes)
{
    TMusicFile tail = MakeRecord(false, 1, 1, QStringLiteral("/m/a.mp3"));
    std::memcpy(tail.Path + 300, "left by another writer", 22);
    tail.Reserved = 7;
    TMusicFile whole = MakeRecord(true, 0, 0, QString());
    std::memset(whole.Path, 'x', sizeof(whole.Path));
    const TMusicFile plain = MakeRecord(false, 2, 2, QStringLiteral("/음악/b.mp3"));
    const QByteArray bytes = PageFile({tail, whole, plain}, 'h');
    WriteBytes(QStringLiteral("MusicList4.dat"), bytes);
    m_playlist->LoadPages();
    EXPECT_EQ(EntryPath(*Record(4, 1)), QString(492, QLatin1Char('x')));
    m_playlist->SaveToFile();
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList4.dat")), bytes);
}

TEST_F(PageSaving, SaveToFileInAReadOnlyFolderSaysNothingWasSaved)
{
    SetProgramFolderOverride(m_dir.path(), false);
    m_playlist->SaveToFile();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(m_boxes[0].Text.endsWith(QStringLiteral("저장된 페이지가 없습니다."))) << m_boxes[0].Text.toStdString();
    EXPECT_TRUE(FolderNames().isEmpty());
}

TEST_F(PageSaving, SaveToFileWritesEveryPageThenNotice)
{
    m_playlist->AddPageEntry(Tree(3), QStringLiteral("/m/a.mp3"), false, 0);
    m_playlist->SaveToFile();
    for (int n : {1, 2, 4, 5})
        EXPECT_EQ(ReadBytes(QStringLiteral("MusicList%1.dat").arg(n)).size(), 500) << n;
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList3.dat")).size(), 1000);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].Caption, QStringLiteral("알림"));
    EXPECT_EQ(m_boxes[0].Text, QStringLiteral("MusicFile1~5.dat 로 각 페이지별로 저장 되었습니다."));
    EXPECT_EQ(m_boxes[0].Flags, 48);
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(m_model->Page(n).Entries->Count(), 0);
}

// A failed page is told once, with the pages that were saved; no success notice
// follows a failure.
TEST_F(PageSaving, FailedPagesAreNamedInOneWarningWithoutTheNotice)
{
    // A folder where a page file should be, and a link to a FIFO for another: neither is
    // a regular file, so neither is replaced, also for root.
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("MusicList2.dat"))));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(QStringLiteral("pipe"))).constData(), 0600), 0);
    ASSERT_EQ(::symlink("pipe", QFile::encodeName(Path(QStringLiteral("MusicList4.dat"))).constData()), 0);
    m_playlist->SaveToFile();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].Caption, QStringLiteral("경고"));
    const QString& text = m_boxes[0].Text;
    EXPECT_TRUE(text.contains(QStringLiteral("가요 (MusicList2.dat): 파일을 열수 없습니다. #11"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("클래식 (MusicList4.dat): 파일을 열수 없습니다. #11"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("저장된 페이지: 최신음악 (MusicList1.dat), 외국음악 (MusicList3.dat), "
                                             "즐겨듣기 (MusicList5.dat)")))
        << text.toStdString();
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList5.dat")).size(), 500);
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("MusicList2.dat"))).isDir());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(Path(QStringLiteral("pipe"))).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    std::array<QString, 5> none;
    EXPECT_TRUE(SaveToFileReport(none).isEmpty());
    std::array<QString, 5> all;
    all.fill(QStringLiteral("파일을 열수 없습니다. #11"));
    EXPECT_TRUE(SaveToFileReport(all).endsWith(QStringLiteral("저장된 페이지가 없습니다.")));
}

TEST_F(PageSaving, HeadingsAndLevelsSurviveSaveAndReload)
{
    m_playlist->AddPageEntry(Tree(4), QStringLiteral("/m/D"), true, 0);
    m_playlist->AddPageEntry(Tree(4), QStringLiteral("/m/D/a.mp3"), false, 1);
    m_playlist->AddPageEntry(Tree(4), QStringLiteral("/m/D/sub"), true, 1);
    m_playlist->AddPageEntry(Tree(4), QStringLiteral("/m/D/sub/음악.ogg"), false, 2);
    m_playlist->RenumberPage(Tree(4));
    const QStringList before = Rows(4);
    m_playlist->SavePages(true);

    Rebuild();
    m_playlist->LoadPages();
    EXPECT_EQ(Rows(4), before);
    EXPECT_EQ(before, (QStringList{"D|1|0|0", "a.mp3|0|1|1", "sub|1|1|0", "음악.ogg|0|2|2"}));
}

TEST_F(PageSaving, SaveAfterReloadWritesDuplicates)
{
    m_playlist->AddPageEntry(Tree(1), QStringLiteral("/m/a.mp3"), false, 0);
    m_playlist->SavePages(true);
    m_playlist->LoadPages();
    m_playlist->SavePages(true);
    const QByteArray bytes = ReadBytes(QStringLiteral("MusicList1.dat"));
    ASSERT_EQ(bytes.size(), 1500);
    EXPECT_EQ(bytes.mid(508, 8), QByteArray("/m/a.mp3"));
    EXPECT_EQ(bytes.mid(1008, 8), QByteArray("/m/a.mp3"));
}

TEST_F(PageSaving, ForeignHeaderIsWrittenBack)
{
    WriteBytes(QStringLiteral("MusicList1.dat"), PageFile({}, '\x33'));
    m_playlist->LoadPages();
    m_playlist->AddPageEntry(Tree(1), QStringLiteral("/m/a.mp3"), false, 0);
    m_playlist->SavePages(true);
    QByteArray expected = HeaderBytes(1, '\x33');
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList1.dat")).left(500), expected);
}

TEST_F(PageSaving, ClosingWithoutSaveLeavesPageFiles)
{
    WriteBytes(QStringLiteral("MusicList1.dat"), PageFile({}));
    m_playlist->LoadPages();
    m_playlist->AddPageEntry(Tree(1), QStringLiteral("/m/a.mp3"), false, 0);
    m_playlist->SaveTempList();
    m_playlist->SavePages(false);
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList1.dat")), PageFile({}));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("MusicList2.dat"))));
}

class PageNumbering : public PlaylistTest {};

TEST_F(PageNumbering, DeletingEntriesRenumbersTheRest)
{
    for (const char* name : {"a", "b", "c", "d", "e"})
        m_playlist->AddPageEntry(Tree(1), QStringLiteral("/m/%1.mp3").arg(QLatin1String(name)), false, 0);
    m_playlist->RenumberPage(Tree(1));
    SelectRows(Tree(1), {3, 1});
    m_playlist->DeleteSelected(Tree(1));
    EXPECT_EQ(Rows(1), (QStringList{"a.mp3|0|0|1", "c.mp3|0|0|2", "e.mp3|0|0|3"}));
}

TEST_F(PageNumbering, RowTextShowsNumberLevelAndName)
{
    const PageEntry song(MakeRecord(false, 2, 7, QStringLiteral("/m/a.mp3")));
    EXPECT_EQ(EntryRowText(song, QStringLiteral("a.mp3")), QStringLiteral("    7     a.mp3"));
    const PageEntry heading(MakeRecord(true, 1, 3, QStringLiteral("/m/D")));
    EXPECT_EQ(EntryRowText(heading, QStringLiteral("D")), QStringLiteral("        D"));
}

class TempListPage : public PlaylistTest {};

TEST_F(TempListPage, LinesBecomeEntriesInOrder)
{
    WriteBytes(QStringLiteral("Temprary.txt"), "/m/a.mp3\r\n\r\n/m/c.txt\r\n");
    m_playlist->LoadTempList();
    EXPECT_EQ(m_list->Captions(), (QStringList{"/m/a.mp3", "", "/m/c.txt"}));
}

TEST_F(TempListPage, SaveWritesCaptionsWithCrLf)
{
    m_playlist->AddTempItem(QStringLiteral("/m/a.mp3"));
    m_playlist->AddTempItem(QStringLiteral("/음악/b.mp3"));
    ASSERT_TRUE(m_playlist->SaveTempList());
    EXPECT_EQ(ReadBytes(QStringLiteral("Temprary.txt")), QByteArray("/m/a.mp3\r\n/\xC0\xBD\xBE\xC7/b.mp3\r\n"));
    m_list->selectAll();
    m_playlist->DeleteSelectedTemp();
    ASSERT_TRUE(m_playlist->SaveTempList());
    EXPECT_EQ(ReadBytes(QStringLiteral("Temprary.txt")), QByteArray());
}

TEST_F(TempListPage, MissingFileLeavesListEmpty)
{
    m_playlist->LoadTempList();
    EXPECT_EQ(m_list->EntryCount(), 0);
    EXPECT_TRUE(m_boxes.empty());
}

} // namespace
