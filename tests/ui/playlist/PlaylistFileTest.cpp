// What a playlist file names, read from its bytes alone.

#include "CodePage.h"
#include "FileName.h"
#include "PlaylistFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <sys/stat.h>

namespace {

TEST(PlaylistFile, KindsAreTheirExtensionsInAnyCase)
{
    EXPECT_EQ(PlaylistFileKindOf("/m/a.m3u"), PlaylistFileKind::M3u);
    EXPECT_EQ(PlaylistFileKindOf("/m/A.M3U8"), PlaylistFileKind::M3u8);
    EXPECT_EQ(PlaylistFileKindOf("/m/list.Pls"), PlaylistFileKind::Pls);
    EXPECT_EQ(PlaylistFileKindOf("/m/a.mp3"), PlaylistFileKind::None);
    EXPECT_EQ(PlaylistFileKindOf("/m.m3u/song"), PlaylistFileKind::None);
    EXPECT_EQ(PlaylistFileKindOf("/m/m3u"), PlaylistFileKind::None);
}

TEST(PlaylistFile, M3uLinesAreAbsoluteRelativeOrFileUrlsAndCommentsAreLeftOut)
{
    const QByteArray text = "#EXTM3U\r\n"
                            "#EXTINF:123,Artist - Title\r\n"
                            "/music/one.mp3\r\n"
                            "\r\n"
                            "  sub/two.flac  \r\n"
                            "../up/three.ogg\n"
                            "file:///music/%EB%85%B8%EB%9E%98%20four.mp3\n"
                            "http://radio.example/stream.mp3\n"
                            "a:b.mp3\n";
    EXPECT_EQ(PlaylistFileEntries(text, PlaylistFileKind::M3u, "/lists/here"),
              (QStringList{"/music/one.mp3", "/lists/here/sub/two.flac", "/lists/up/three.ogg",
                           QString::fromUtf8("/music/노래 four.mp3"), "/lists/here/a:b.mp3"}));
}

TEST(PlaylistFile, M3uIsReadInCodePage949OrUtf8AndM3u8AlwaysInUtf8)
{
    const QString song = QString::fromUtf8("/음악/바다.mp3");
    const QByteArray korean = *ToCodePage949(song);
    EXPECT_EQ(PlaylistFileEntries(korean + "\r\n", PlaylistFileKind::M3u, "/"), QStringList{song});
    EXPECT_EQ(PlaylistFileEntries(song.toUtf8() + "\n", PlaylistFileKind::M3u, "/"), QStringList{song});
    // An M3U8 holds UTF-8 behind an optional mark; a name that is not UTF-8 keeps its bytes.
    const QByteArray raw = "/m/caf\xE9.mp3";
    EXPECT_EQ(PlaylistFileEntries("\xEF\xBB\xBF" + song.toUtf8() + "\r\n" + raw + "\r\n", PlaylistFileKind::M3u8, "/"),
              (QStringList{song, FileNameFromBytes(raw)}));
}

TEST(PlaylistFile, PlsEntriesFollowTheirNumbers)
{
    const QByteArray text = "[playlist]\n"
                            "NumberOfEntries=3\n"
                            "File2=b.mp3\n"
                            "Title2=B\n"
                            "file1=/abs/a.mp3\n"
                            "File10=file:///abs/c.mp3\n"
                            "File3=https://example.org/x.mp3\n"
                            "Length1=-1\n"
                            "Version=2\n";
    EXPECT_EQ(PlaylistFileEntries(text, PlaylistFileKind::Pls, "/lists"),
              (QStringList{"/abs/a.mp3", "/lists/b.mp3", "/abs/c.mp3"}));
}

TEST(PlaylistFile, NothingComesOfEmptyOrForeignBytes)
{
    EXPECT_TRUE(PlaylistFileEntries({}, PlaylistFileKind::M3u, "/").isEmpty());
    EXPECT_TRUE(PlaylistFileEntries("#EXTM3U\n#only comments\n", PlaylistFileKind::M3u8, "/").isEmpty());
    EXPECT_TRUE(PlaylistFileEntries("/m/a.mp3\n", PlaylistFileKind::None, "/").isEmpty());
    EXPECT_TRUE(PlaylistFileEntries("[playlist]\nFileX=/m/a.mp3\nNumberOfEntries=1\n", PlaylistFileKind::Pls, "/").isEmpty());
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A handed list becomes what it names, in place; a list in it is followed once, a list
// in that one is not; what is gone is named, what cannot be read is too.
TEST(PlaylistFile, HandedListsAreExpandedInPlaceAndFollowedOnce)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    QDir(d).mkdir("sub");
    for (const char* name : {"a.mp3", "b.flac", "sub/c.ogg", "sub/d.wav"})
        put(d + "/" + name, "x");
    put(d + "/sub/inner.m3u8", "d.wav\n../outer.m3u\n");                 // relative to its own folder
    put(d + "/outer.m3u", "#EXTM3U\n#EXTINF:1,A\na.mp3\nfile://" + QUrl::toPercentEncoding(d, "/") + "/sub/c.ogg\n"
                          "sub/inner.m3u8\ngone.mp3\n" + (d + "/b.flac").toUtf8() + "\n");
    put(d + "/list.pls", "[playlist]\nFile1=sub/c.ogg\nNumberOfEntries=1\n");
    ASSERT_EQ(::mkfifo(QFile::encodeName(d + "/fifo.m3u").constData(), 0600), 0);

    QStringList missing;
    QStringList unreadable;
    const QStringList out = ExpandPlaylistFiles({d + "/x.mp3", d + "/outer.m3u", d + "/sub", d + "/list.pls", d + "/fifo.m3u"},
                                                &missing, &unreadable);
    EXPECT_EQ(out, (QStringList{d + "/x.mp3", d + "/a.mp3", d + "/sub/c.ogg", d + "/sub/d.wav", d + "/b.flac", d + "/sub",
                                d + "/sub/c.ogg"}));
    EXPECT_EQ(missing, QStringList{d + "/gone.mp3"});
    EXPECT_EQ(unreadable, QStringList{d + "/fifo.m3u"});
}

} // namespace
