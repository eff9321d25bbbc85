// Page files and records, byte by byte.

#include "PlaylistTestSupport.h"

#include <sys/stat.h>

#include "CodePage.h"
#include "FileIO.h"
#include "support/FileSizeLimit.h"

#include <QFileInfo>

namespace {

QByteArray FreshHeader()
{
    CMusicFile page(1);
    return QByteArray(reinterpret_cast<const char*>(page.Header), 500);
}

class PageFileFormat : public ScratchFolderTest {};

TEST_F(PageFileFormat, FreshHeaderIsSignatureMarkerAndZeros)
{
    const QByteArray header = FreshHeader();
    ASSERT_EQ(header.size(), 500);
    EXPECT_EQ(header.left(16), QByteArray("Sorvel  1.x.x   "));
    EXPECT_EQ(header.at(33), '.');
    EXPECT_EQ(std::strlen(header.constData()), 34u);
    EXPECT_EQ(header.at(34), '\0');
    EXPECT_EQ(static_cast<unsigned char>(header.at(41)), 27);
    for (int i = 34; i < 500; ++i) {
        if (i != 41) {
            EXPECT_EQ(header.at(i), '\0') << "byte " << i;
        }
    }
}

TEST_F(PageFileFormat, RecordFieldsLieAtTheirBytes)
{
    TMusicFile record = MakeRecord(true, 3, 0x01020304, QStringLiteral("/m/x"));
    const QByteArray bytes = RecordBytes(record);
    EXPECT_EQ(bytes.at(0), 0);
    EXPECT_EQ(bytes.at(1), 1);
    EXPECT_EQ(bytes.at(2), 3);
    EXPECT_EQ(bytes.at(3), 0);
    EXPECT_EQ(bytes.mid(4, 4), QByteArray("\x04\x03\x02\x01", 4));
    EXPECT_EQ(bytes.mid(8, 5), QByteArray("/m/x\0", 5));
    EXPECT_EQ(bytes.mid(13), QByteArray(487, '\0'));
}

TEST_F(PageFileFormat, FileNameIsInProgramFolder)
{
    CMusicFile page(3);
    EXPECT_EQ(page.FileName(), Path(QStringLiteral("MusicList3.dat")));
}

TEST_F(PageFileFormat, EmptyPageSavesBareHeaderWithCountZero)
{
    CMusicFile page(2);
    ASSERT_TRUE(page.Save());
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList2.dat")), FreshHeader());
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(FolderNames(), QStringList{QStringLiteral("MusicList2.dat")});
}

TEST_F(PageFileFormat, SavedRecordsFollowHeaderUnchanged)
{
    CMusicFile page(1);
    TMusicFile heading = MakeRecord(true, 0, 0, QStringLiteral("/m/D"));
    TMusicFile song = MakeRecord(false, 1, 1, QStringLiteral("/m/D/a.mp3"));
    page.Entries->Add(&heading);
    page.Entries->Add(&song);
    ASSERT_TRUE(page.Save());

    const QByteArray bytes = ReadBytes(QStringLiteral("MusicList1.dat"));
    ASSERT_EQ(bytes.size(), 1500);
    EXPECT_EQ(bytes.mid(42, 4), QByteArray("\x02\0\0\0", 4));
    QByteArray expectedHeader = FreshHeader();
    expectedHeader[42] = 2;
    EXPECT_EQ(bytes.left(500), expectedHeader);
    EXPECT_EQ(bytes.mid(500, 500), RecordBytes(heading));
    EXPECT_EQ(bytes.mid(1000, 500), RecordBytes(song));
    page.Entries->Clear();
}

TEST_F(PageFileFormat, ReadBackHeaderIsKeptExceptCount)
{
    QByteArray header = HeaderBytes(1, '\x5A');
    header.replace(0, 10, QByteArray("OtherTool\0", 10));
    TMusicFile song = MakeRecord(false, 0, 9, QStringLiteral("/m/a.mp3"));
    WriteBytes(QStringLiteral("MusicList4.dat"), header + RecordBytes(song));

    CMusicFile page(4);
    ASSERT_TRUE(page.Load());
    ASSERT_EQ(page.Entries->Count(), 1);
    EXPECT_EQ(RecordBytes(*page.Entries->Get(0)), RecordBytes(song));
    TMusicFile extra = MakeRecord(false, 0, 2, QStringLiteral("/m/b.mp3"));
    page.Entries->Add(&extra);
    ASSERT_TRUE(page.Save());

    const QByteArray saved = ReadBytes(QStringLiteral("MusicList4.dat"));
    ASSERT_EQ(saved.size(), 1500);
    QByteArray expectedHeader = header;
    expectedHeader.replace(42, 4, QByteArray("\x02\0\0\0", 4));
    EXPECT_EQ(saved.left(500), expectedHeader);
    delete page.Entries->Get(0);
    page.Entries->Clear();
}

TEST_F(PageFileFormat, ExactHeaderWithCountZeroGivesEmptyPage)
{
    WriteBytes(QStringLiteral("MusicList1.dat"), HeaderBytes(0));
    CMusicFile page(1);
    EXPECT_TRUE(page.Load());
    EXPECT_EQ(page.Entries->Count(), 0);
    EXPECT_TRUE(m_boxes.empty());
}

class PageFileDamage : public ScratchFolderTest {};

TEST_F(PageFileDamage, MissingFileIsSilent)
{
    CMusicFile page(1);
    EXPECT_FALSE(page.Load());
    EXPECT_EQ(page.Entries->Count(), 0);
    EXPECT_TRUE(m_boxes.empty());
}

// A FIFO would block the window for good and a link to /dev/zero would read without
// end: neither is a page file, so the page stays empty, silently, as for a missing file.
TEST_F(PageFileDamage, FifoAndDeviceLinkAreRefusedSilently)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(QStringLiteral("MusicList1.dat"))).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), Path(QStringLiteral("MusicList2.dat"))));
    for (int pageNo : {1, 2}) {
        CMusicFile page(pageNo);
        EXPECT_FALSE(page.Load()) << pageNo;
        EXPECT_EQ(page.Entries->Count(), 0) << pageNo;
    }
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(PageFileDamage, ShortHeaderWarnsNumberTwo)
{
    WriteBytes(QStringLiteral("MusicList1.dat"), QByteArray(499, '\x7F'));
    CMusicFile page(1);
    EXPECT_FALSE(page.Load());
    EXPECT_EQ(page.Entries->Count(), 0);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].Caption, QStringLiteral("경고"));
    EXPECT_EQ(m_boxes[0].Text, QStringLiteral("파일을 읽을 수 없습니다. #2"));
    EXPECT_EQ(m_boxes[0].Flags, 48);
    ASSERT_TRUE(page.Save());
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList1.dat")), FreshHeader());
}

TEST_F(PageFileDamage, CountBeyondRecordsKeepsWholeRecordsSilently)
{
    QByteArray bytes = HeaderBytes(5);
    for (int i = 0; i < 3; ++i)
        bytes += RecordBytes(MakeRecord(false, 0, i, QStringLiteral("/m/%1.mp3").arg(i)));
    bytes += QByteArray(120, 'x');
    WriteBytes(QStringLiteral("MusicList1.dat"), bytes);

    CMusicFile page(1);
    EXPECT_FALSE(page.Load());
    ASSERT_EQ(page.Entries->Count(), 3);
    EXPECT_EQ(EntryPath(*page.Entries->Get(2)), QStringLiteral("/m/2.mp3"));
    EXPECT_TRUE(m_boxes.empty());
    FreeEntries(page);
}

TEST_F(PageFileDamage, HugeCountReadsOnlyWhatIsThere)
{
    QByteArray bytes = HeaderBytes(0x7FFFFFFF);
    bytes += RecordBytes(MakeRecord(false, 0, 1, QStringLiteral("/m/a.mp3")));
    WriteBytes(QStringLiteral("MusicList1.dat"), bytes);
    CMusicFile page(1);
    EXPECT_FALSE(page.Load());
    EXPECT_EQ(page.Entries->Count(), 1);
    FreeEntries(page);
}

TEST_F(PageFileDamage, NegativeCountReadsNoRecords)
{
    WriteBytes(QStringLiteral("MusicList1.dat"),
               HeaderBytes(-3) + RecordBytes(MakeRecord(false, 0, 1, QStringLiteral("/m/a.mp3"))));
    CMusicFile page(1);
    EXPECT_TRUE(page.Load());
    EXPECT_EQ(page.Entries->Count(), 0);
}

// Records past the count (a count of -1 hides them all) are never destroyed unasked.
TEST_F(PageFileDamage, RecordsBeyondTheCountAreNamedAndNotReplacedUnasked)
{
    const QByteArray bytes = HeaderBytes(-1) + RecordBytes(MakeRecord(false, 0, 1, QStringLiteral("/m/a.mp3")))
        + RecordBytes(MakeRecord(false, 0, 2, QStringLiteral("/m/b.mp3")));
    WriteBytes(QStringLiteral("MusicList2.dat"), bytes);
    CMusicFile page(2);
    EXPECT_TRUE(page.Load());
    EXPECT_EQ(page.Entries->Count(), 0);
    EXPECT_TRUE(page.ReadInPart());
    EXPECT_EQ(page.ReadProblem(), QStringLiteral("MusicList2.dat: 머리글에 적힌 수(-1)보다 기록이 많습니다"));
    EXPECT_FALSE(page.Save());
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList2.dat")), bytes);
    page.AllowReplacingUnread();
    EXPECT_TRUE(page.Save());
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList2.dat")).size(), 500);
    EXPECT_FALSE(page.ReadInPart());
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(PageFileDamage, PathWithoutNulStopsAtFieldEnd)
{
    QByteArray record(500, 'a');
    record[0] = record[1] = record[2] = record[3] = 0;
    WriteBytes(QStringLiteral("MusicList1.dat"), HeaderBytes(1) + record);
    CMusicFile page(1);
    ASSERT_TRUE(page.Load());
    ASSERT_EQ(page.Entries->Count(), 1);
    EXPECT_EQ(EntryPath(*page.Entries->Get(0)), QString(492, QLatin1Char('a')));
    FreeEntries(page);
}

TEST_F(PageFileDamage, EveryReadMakesNewRecords)
{
    WriteBytes(QStringLiteral("MusicList1.dat"),
               HeaderBytes(1) + RecordBytes(MakeRecord(false, 0, 1, QStringLiteral("/m/a.mp3"))));
    CMusicFile page(1);
    ASSERT_TRUE(page.Load());
    TMusicFile* first = page.Entries->Get(0);
    ASSERT_TRUE(page.Load());
    ASSERT_EQ(page.Entries->Count(), 1);
    EXPECT_NE(page.Entries->Get(0), first);
    delete first;
    FreeEntries(page);
}

class PageFileWriteFailure : public ScratchFolderTest {};

TEST_F(PageFileWriteFailure, FolderMissingWarnsNumberEleven)
{
    CMusicFile page(1);
    page.Modified = 1;
    EXPECT_FALSE(page.WriteFile(Path(QStringLiteral("no-such-folder/MusicList1.dat"))));
    EXPECT_EQ(page.Modified, 0);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].Text, QStringLiteral("파일을 열수 없습니다. #11"));
    EXPECT_EQ(m_boxes[0].Flags, 48);
}

// A full disk in the middle of a save: the file size limit makes the writes fail
// for root too. The old file must stay whole and no temporary file may remain.
TEST_F(PageFileWriteFailure, FailedWriteKeepsOldFileAndWarnsNumberTwelve)
{
    const QByteArray old = HeaderBytes(1) + RecordBytes(MakeRecord(false, 0, 1, QStringLiteral("/m/old.mp3")));
    WriteBytes(QStringLiteral("MusicList1.dat"), old);

    CMusicFile page(1);
    std::vector<TMusicFile> records(20, MakeRecord(false, 0, 1, QStringLiteral("/m/new.mp3")));
    for (auto& record : records)
        page.Entries->Add(&record);

    bool written = true;
    {
        FileSizeLimit full(4096);
        ASSERT_TRUE(full.Active());
        written = page.Save();
    }

    EXPECT_FALSE(written);
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList1.dat")), old);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].Caption, QStringLiteral("경고"));
    EXPECT_EQ(m_boxes[0].Text, QStringLiteral("파일을 쓸수 없습니다. #12"));
    EXPECT_EQ(FolderNames(), QStringList{QStringLiteral("MusicList1.dat")});
    page.Entries->Clear();
}

// With the program's folder read-only nothing is written anywhere, and the page says so.
TEST_F(PageFileWriteFailure, AReadOnlyFolderIsNeverWritten)
{
    SetProgramFolderOverride(m_dir.path(), false);
    CMusicFile page(1);
    EXPECT_FALSE(page.Save(CMusicFile::Warnings::Quiet));
    EXPECT_EQ(page.WriteProblem(), QStringLiteral("파일을 열수 없습니다. #11 (쓰기 권한이 없습니다)"));
    EXPECT_TRUE(FolderNames().isEmpty());
}

TEST_F(PageFileWriteFailure, UnmodifiedPageIsNotWritten)
{
    CMusicFile page(1);
    EXPECT_FALSE(page.SaveIfModified());
    EXPECT_TRUE(FolderNames().isEmpty());
    page.Modified = 1;
    EXPECT_TRUE(page.SaveIfModified());
    EXPECT_EQ(page.Modified, 0);
    EXPECT_EQ(FolderNames(), QStringList{QStringLiteral("MusicList1.dat")});
}

TEST_F(PageFileWriteFailure, LinkedPageFileStaysALink)
{
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("elsewhere"))));
    WriteBytes(QStringLiteral("elsewhere/pages.dat"), "old");
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("elsewhere/pages.dat")), Path(QStringLiteral("MusicList1.dat"))));
    CMusicFile page(1);
    ASSERT_TRUE(page.Save());
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("MusicList1.dat"))).isSymLink());
    EXPECT_EQ(ReadBytes(QStringLiteral("elsewhere/pages.dat")), FreshHeader());
}

class RecordPaths : public ScratchFolderTest {};

TEST_F(RecordPaths, KoreanIsStoredInCodePage949)
{
    TMusicFile record;
    ASSERT_TRUE(SetEntryPath(record, QStringLiteral("/음악/가.mp3")));
    EXPECT_EQ(record.PathIsUtf8, 0);
    EXPECT_EQ(QByteArray(record.Path), QByteArray("/\xC0\xBD\xBE\xC7/\xB0\xA1.mp3"));
    EXPECT_EQ(EntryPath(record), QStringLiteral("/음악/가.mp3"));
    EXPECT_EQ(EntryDisplayName(record), QStringLiteral("가.mp3"));
}

TEST_F(RecordPaths, NamesRoundTripThroughPageFile)
{
    const QStringList paths = {
        QStringLiteral("/음악/발라드/사랑.mp3"),
        QStringLiteral("/音楽/ネコ.ogg"),
        QStringLiteral("/music/🎵 party 🎉.mp3"),
        QStringLiteral("/music/Ünïcödé ßong.wav"),
    };
    CMusicFile page(5);
    std::vector<TMusicFile> records;
    records.reserve(paths.size());
    for (const QString& path : paths)
        records.push_back(MakeRecord(false, 0, 0, path));
    for (auto& record : records)
        page.Entries->Add(&record);
    ASSERT_TRUE(page.Save());
    EXPECT_EQ(records[0].PathIsUtf8, 0);
    EXPECT_EQ(records[2].PathIsUtf8, 1);

    CMusicFile reread(5);
    ASSERT_TRUE(reread.Load());
    ASSERT_EQ(reread.Entries->Count(), paths.size());
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(EntryPath(*reread.Entries->Get(i)), paths[i]);
    page.Entries->Clear();
    FreeEntries(reread);
}

TEST_F(RecordPaths, LongestStoredFormIs491Bytes)
{
    TMusicFile record;
    EXPECT_TRUE(SetEntryPath(record, QLatin1Char('/') + QString(490, QLatin1Char('a'))));
    EXPECT_EQ(record.Path[490], 'a');
    EXPECT_EQ(record.Path[491], '\0');
    const QByteArray before = RecordBytes(record);
    EXPECT_FALSE(SetEntryPath(record, QLatin1Char('/') + QString(491, QLatin1Char('a'))));
    EXPECT_EQ(RecordBytes(record), before);
    // 245 Hangul syllables take 490 bytes in code page 949 and fit with the slash.
    EXPECT_TRUE(SetEntryPath(record, QLatin1Char('/') + QString(245, QChar(0xAC00))));
    EXPECT_FALSE(SetEntryPath(record, QStringLiteral("/a") + QString(245, QChar(0xAC00))));
    EXPECT_EQ(TMusicFile::Create(false, QLatin1Char('/') + QString(600, QLatin1Char('a'))), nullptr);
}

TEST_F(RecordPaths, UndecodableBytesBecomeReplacementNotLoss)
{
    const char bytes[] = "/m/\xFF\xFE" "a.mp3";
    const QString text = DecodeCodePage949Text(bytes, sizeof(bytes) - 1);
    EXPECT_TRUE(text.startsWith(QStringLiteral("/m/")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("a.mp3")));
    EXPECT_TRUE(text.contains(QChar(0xFFFD)));
    // A UTF-8 path written by another tool without the mark still reads right.
    const QByteArray utf8 = QStringLiteral("/m/🎵.mp3").toUtf8();
    EXPECT_EQ(DecodeCodePage949Text(utf8.constData(), static_cast<std::size_t>(utf8.size())),
              QStringLiteral("/m/🎵.mp3"));
}

} // namespace
