// "Temprary.txt": line splitting, line ends and the code page of its lines.

#include "PlaylistTestSupport.h"

#include "StringList.h"
#include "TempList.h"

namespace {

class TempListText : public ::testing::Test {};

TEST_F(TempListText, LinesSplitAtEveryKindOfLineEnd)
{
    EXPECT_EQ(DecodeTempListText("a\r\nb\r\nc\r\n"), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(DecodeTempListText("a\rb\nc"), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(DecodeTempListText("a\n\r\nb"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(DecodeTempListText("a\n\nb\n"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(DecodeTempListText("\r\n"), (QStringList{""}));
    EXPECT_EQ(DecodeTempListText(""), QStringList{});
}

TEST_F(TempListText, EmptyLineInMiddleIsEmptyEntry)
{
    EXPECT_EQ(DecodeTempListText("/m/a.mp3\r\n\r\n/m/b.mp3\r\n"), (QStringList{"/m/a.mp3", "", "/m/b.mp3"}));
}

TEST_F(TempListText, EveryLineEndsWithCrLf)
{
    EXPECT_EQ(EncodeTempListText({"/m/a.mp3", "", "/m/b.mp3"}), QByteArray("/m/a.mp3\r\n\r\n/m/b.mp3\r\n"));
    EXPECT_EQ(EncodeTempListText({}), QByteArray());
}

TEST_F(TempListText, KoreanLinesAreCodePage949)
{
    EXPECT_EQ(EncodeTempListText({QStringLiteral("/음악/가.mp3")}), QByteArray("/\xC0\xBD\xBE\xC7/\xB0\xA1.mp3\r\n"));
    EXPECT_EQ(DecodeTempListText("/\xC0\xBD\xBE\xC7/\xB0\xA1.mp3\r\n"), QStringList{QStringLiteral("/음악/가.mp3")});
}

TEST_F(TempListText, LineWithoutCodePage949FormMakesUtf8FileWithMark)
{
    const QStringList lines = {QStringLiteral("/음악/가.mp3"), QStringLiteral("/m/🎵.mp3")};
    const QByteArray bytes = EncodeTempListText(lines);
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(bytes.mid(3), (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    EXPECT_EQ(DecodeTempListText(bytes), lines);
}

TEST_F(TempListText, OnlyTheFilesFirstMarkIsTakenAway)
{
    // A line that itself begins with U+FEFF keeps it, however often it is read and written.
    const QByteArray bytes("\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF");
    const QStringList lines = DecodeTempListText(bytes);
    ASSERT_EQ(lines, QStringList{QString(2, QChar(0xFEFF))});
    EXPECT_EQ(DecodeTempListText(EncodeTempListText(lines)), lines);
}

class TempListFile : public ScratchFolderTest {};

TEST_F(TempListFile, RoundTripsKoreanJapaneseAndEmoji)
{
    const QStringList lines = {QStringLiteral("/음악/노래.mp3"), QStringLiteral("/音楽/ネコ.ogg"),
                               QStringLiteral("/m/🎵.wav")};
    TStringList list;
    for (const QString& line : lines)
        list.Add(line);
    ASSERT_TRUE(list.SaveToFile(Path(QStringLiteral("Temprary.txt"))));
    TStringList read;
    ASSERT_TRUE(read.LoadFromFile(Path(QStringLiteral("Temprary.txt"))));
    EXPECT_EQ(read.ToStringList(), lines);
    EXPECT_EQ(FolderNames(), QStringList{QStringLiteral("Temprary.txt")});
}

TEST_F(TempListFile, MissingFileAddsNothing)
{
    TStringList list;
    EXPECT_FALSE(list.LoadFromFile(Path(QStringLiteral("Temprary.txt"))));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(TempListFile, FailedWriteKeepsOldFile)
{
    WriteBytes(QStringLiteral("Temprary.txt"), "/m/old.mp3\r\n");
    TStringList list;
    list.Add(QStringLiteral("/m/new.mp3"));
    EXPECT_FALSE(list.SaveToFile(Path(QStringLiteral("gone/Temprary.txt"))));
    EXPECT_EQ(ReadBytes(QStringLiteral("Temprary.txt")), QByteArray("/m/old.mp3\r\n"));
}

} // namespace
