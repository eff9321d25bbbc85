// "Temprary.txt": line splitting, line ends and the code page of its lines.

#include "PlaylistTestSupport.h"

#include "StringList.h"
#include "TempList.h"

#include <sys/stat.h>

#include <cstdint>
#include <iterator>

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

// A list saved by a Linux text editor is UTF-8 without a mark; code page 949 text
// almost never is valid UTF-8, so such a file is read as UTF-8.
TEST_F(TempListText, Utf8WithoutMarkIsReadAsUtf8)
{
    const QByteArray bytes = QStringLiteral("/music/바다.mp3\n/music/abc.mp3\n").toUtf8();
    EXPECT_EQ(TempListEncodingOf(bytes), TempListEncoding::Utf8);
    EXPECT_EQ(DecodeTempListText(bytes), (QStringList{QStringLiteral("/music/바다.mp3"), "/music/abc.mp3"}));
    // Plain ASCII and code page 949 files are code page 949, as before.
    EXPECT_EQ(TempListEncodingOf("/m/a.mp3\r\n"), TempListEncoding::CodePage949);
    EXPECT_EQ(TempListEncodingOf("/\xC0\xBD\xBE\xC7/\xB0\xA1.mp3\r\n"), TempListEncoding::CodePage949);
}

TEST_F(TempListText, BytesNeitherCodePageDecodesAreKept)
{
    // 0xFF is neither code page 949 nor UTF-8; the rest of each line is.
    const QByteArray cp949("/\xC0\xBD\xBE\xC7/\xFF\xB0\xA1.mp3\r\n/m/ok.mp3\r\n");
    EXPECT_EQ(EncodeTempListText(DecodeTempListText(cp949)), cp949);
    const QByteArray utf8 = QByteArray("\xEF\xBB\xBF") + QStringLiteral("/음악/").toUtf8() + "\xFF\xFE.mp3\r\n";
    EXPECT_EQ(EncodeTempListText(DecodeTempListText(utf8), TempListEncoding::Utf8), utf8);
    EXPECT_EQ(DecodeTempListText(cp949).at(0).left(4), QStringLiteral("/음악/"));
}

// A long list is decoded many lines at a time: a line that does not decode, a CR LF
// and a lone CR are read as they are in a short file, wherever they fall.
TEST_F(TempListText, LongListReadsAsItsLinesAlone)
{
    const QByteArray bad("/\xC0\xBD\xBE\xC7/\xFF\xB0\xA1.mp3");
    QByteArray file;
    QStringList expected;
    for (int i = 0; i < 3000; ++i) {
        const QByteArray line = i == 1500 ? bad : "/\xC0\xBD\xBE\xC7/" + QByteArray::number(i) + ".mp3";
        file += line + (i % 7 == 0 ? "\r" : "\r\n");
        expected += DecodeTempListText(line);
    }
    EXPECT_EQ(DecodeTempListText(file), expected);
}

// Whatever the bytes (code page 949, UTF-8, bytes of neither, mixed), the file written
// back from what was read keeps the bytes nothing decodes and is stable: read and
// written again it stays byte for byte the same.
TEST_F(TempListText, WrittenBackFilesAreStable)
{
    const char pieces[][8] = {"/m/", "\xC0\xBD", "\xEC\x9D\x8C", "\xFF", "\xEF\xBB\xBF", "\r\n", "\n",
                              "\xC2\xA1", "\xE0\xA0", "\x80", "a", "\xB0"};
    std::uint32_t seed = 12345;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        const int count = 1 + round % 9;
        for (int i = 0; i < count; ++i) {
            seed = seed * 1664525u + 1013904223u;
            bytes += pieces[(seed >> 16) % std::size(pieces)];
        }
        const QByteArray written = EncodeTempListText(DecodeTempListText(bytes), TempListEncodingOf(bytes));
        ASSERT_EQ(EncodeTempListText(DecodeTempListText(written), TempListEncodingOf(written)), written)
            << bytes.toHex().toStdString();
        if (bytes.contains('\xFF')) {  // a byte no code page decodes is kept
            EXPECT_TRUE(written.contains('\xFF')) << bytes.toHex().toStdString();
        }
    }
}

// Found by the fuzzer: a file whose undecodable bytes (D1 80, F3 80 82 80) are UTF-8
// characters when the file is UTF-8. A Cyrillic line makes it UTF-8 from the start, so
// those bytes are read as what they are and every line is written back byte for byte.
TEST_F(TempListText, BytesOfAFileJudgedUtf8AreKeptWhole)
{
    const QByteArray bytes = QByteArray::fromHex(
        "ffff006fd18080808080808080808080808080f3f3f3f3f3f3f380828080010000008080808092"
        "2f0d67706fd1808080808080808080808080f373f3eaf3f3f3f3fb80808080808080809"
        "22f0d67706fd1922f670dd00dd09c");
    ASSERT_EQ(TempListEncodingOf(bytes), TempListEncoding::Utf8);
    const QStringList read = DecodeTempListText(bytes);
    const QByteArray written = EncodeTempListText(read, TempListEncodingOf(bytes));
    EXPECT_TRUE(written.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(EncodeTempListText(DecodeTempListText(written), TempListEncodingOf(written)), written);
    EXPECT_EQ(DecodeTempListText(written), read);
    EXPECT_FALSE(read.join(QString()).contains(QChar(QChar::ReplacementCharacter)));
}

class TempListFile : public ScratchFolderTest {};

TEST_F(TempListFile, Utf8ListIsWrittenBackAsUtf8AndCodePageListAsBefore)
{
    const QString name = QStringLiteral("Temprary.txt");
    WriteBytes(name, QStringLiteral("/music/바다.mp3\n").toUtf8());
    TStringList list;
    ASSERT_TRUE(list.LoadFromFile(Path(name)));
    ASSERT_EQ(list.ToStringList(), QStringList{QStringLiteral("/music/바다.mp3")});
    list.Add(QStringLiteral("/music/산.mp3"));
    ASSERT_TRUE(list.SaveToFile(Path(name)));
    EXPECT_EQ(ReadBytes(name), QByteArray("\xEF\xBB\xBF") + QStringLiteral("/music/바다.mp3\r\n/music/산.mp3\r\n").toUtf8());

    WriteBytes(name, "/\xC0\xBD\xBE\xC7/\xB0\xA1.mp3\r\n");
    TStringList cp949;
    ASSERT_TRUE(cp949.LoadFromFile(Path(name)));
    ASSERT_TRUE(cp949.SaveToFile(Path(name)));
    EXPECT_EQ(ReadBytes(name), QByteArray("/\xC0\xBD\xBE\xC7/\xB0\xA1.mp3\r\n"));
}

TEST_F(TempListFile, FifoAndDeviceLinkAreNotRead)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(QStringLiteral("fifo.txt"))).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), Path(QStringLiteral("zero.txt"))));
    for (const char* name : {"fifo.txt", "zero.txt"}) {
        TStringList list;
        EXPECT_FALSE(list.LoadFromFile(Path(QString::fromLatin1(name)))) << name;
        EXPECT_EQ(list.Count(), 0) << name;
    }
}

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
