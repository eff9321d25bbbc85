// Tags as the media controls show them: Korean tags in code page 949 as old files carry
// them, real Latin-1, UTF-8, and files that are no songs.

#include "TagReader.h"

#include "support/AudioFixtures.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iconv.h>

#include <tuple>
#include <utility>
#include <vector>

namespace {

QByteArray cp949(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    iconv_t cd = iconv_open("CP949", "UTF-8");
    QByteArray out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.constData());
    std::size_t inLeft = static_cast<std::size_t>(utf8.size());
    char* to = out.data();
    std::size_t outLeft = static_cast<std::size_t>(out.size());
    iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    out.truncate(static_cast<qsizetype>(to - out.data()));
    return out;
}

QByteArray bigEndian(quint32 value)
{
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

// An ID3v2.3 text frame: encoding byte 0 (Latin-1) or 3 (UTF-8), then the bytes.
QByteArray id3Frame(const char* id, char encoding, const QByteArray& bytes)
{
    return QByteArray(id) + bigEndian(static_cast<quint32>(bytes.size() + 1)) + QByteArray(2, '\0') + encoding + bytes;
}

QByteArray id3Tag(const QByteArray& frames)
{
    const auto size = static_cast<quint32>(frames.size());
    QByteArray header("ID3\x03\x00\x00", 6);
    header += char((size >> 21) & 0x7F);
    header += char((size >> 14) & 0x7F);
    header += char((size >> 7) & 0x7F);
    header += char(size & 0x7F);
    return header + frames;
}

QByteArray id3v1(const QByteArray& title, const QByteArray& artist, const QByteArray& album)
{
    auto field = [](QByteArray bytes, int size) {
        bytes.resize(size, '\0');
        return bytes;
    };
    return "TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + "2003" + field({}, 30) + char(12);
}

class TagReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        const std::string mp3 = fixtures::MakeFile(m_dir.path().toStdString(), "mp3", {44100, 2, 0.5},
                                                   fixtures::Tone(440));
        ASSERT_FALSE(mp3.empty());
        QFile file(QString::fromStdString(mp3));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        m_song = file.readAll();
        // The encoder wrote an ID3v2 tag of its own; the tests bring theirs.
        if (m_song.startsWith("ID3")) {
            const auto b = [this](int i) { return static_cast<int>(static_cast<unsigned char>(m_song[i])); };
            m_song.remove(0, 10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9)));
        }
    }
    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir m_dir;
    QByteArray m_song;  // an MP3 without tags
};

TEST_F(TagReader, KoreanLatin1FramesOfId3v2AreCodePage949)
{
    const QByteArray frames = id3Frame("TIT2", 0, cp949("바다의 노래")) + id3Frame("TPE1", 0, cp949("가수"))
        + id3Frame("TALB", 3, QStringLiteral("첫 앨범").toUtf8());
    const FileTagText tags = ReadFileTags(Write("v2.mp3", id3Tag(frames) + m_song));
    EXPECT_EQ(tags.title, QStringLiteral("바다의 노래"));
    EXPECT_EQ(tags.artist, QStringLiteral("가수"));
    EXPECT_EQ(tags.album, QStringLiteral("첫 앨범"));
}

TEST_F(TagReader, Id3v1InCodePage949AndRealLatin1)
{
    const FileTagText korean = ReadFileTags(Write("v1.mp3", m_song + id3v1(cp949("하늘"), cp949("가수"), cp949("앨범"))));
    EXPECT_EQ(korean.title, QStringLiteral("하늘"));
    EXPECT_EQ(korean.artist, QStringLiteral("가수"));
    EXPECT_EQ(korean.album, QStringLiteral("앨범"));

    const FileTagText latin = ReadFileTags(Write("latin.mp3", m_song + id3v1("Caf\xe9 del Mar", "Beyonc\xe9", "")));
    EXPECT_EQ(latin.title, QStringLiteral("Café del Mar"));
    EXPECT_EQ(latin.artist, QStringLiteral("Beyoncé"));
    EXPECT_TRUE(latin.album.isEmpty());
}

TEST_F(TagReader, FilesThatAreNoSongsGiveNoTags)
{
    const FileTagText none = ReadFileTags(Write("plain.mp3", m_song));
    EXPECT_TRUE(none.title.isEmpty() && none.artist.isEmpty() && none.album.isEmpty());
    const FileTagText garbage = ReadFileTags(Write("garbage.mp3", QByteArray(4096, '\x5a')));
    EXPECT_TRUE(garbage.title.isEmpty());
    EXPECT_TRUE(ReadFileTags(m_dir.path()).title.isEmpty());
    EXPECT_TRUE(ReadFileTags(m_dir.filePath("missing.mp3")).title.isEmpty());
    EXPECT_TRUE(ReadFileTags(QStringLiteral("/dev/zero")).title.isEmpty());
}

// Each decoder reads the tags of its own formats, so that showing them loads nothing
// that playing the file does not: Vorbis comments of FLAC, Vorbis and Opus files, and
// a WAV's LIST/INFO chunk.
TEST(TagReaderFormats, EachDecoderReadsItsOwnFormatsTags)
{
    QTemporaryDir dir;
    const std::vector<std::pair<std::string, std::string>> metadata = {
        {"title", "바다의 노래"}, {"artist", "가수"}, {"album", "첫 앨범"}};
    for (const auto& [container, codec, ext] : {std::tuple{"flac", "flac", "flac"}, std::tuple{"ogg", "libvorbis", "ogg"},
                                                std::tuple{"ogg", "libopus", "opus"}}) {
        const std::string path = dir.path().toStdString() + "/tagged." + ext;
        ASSERT_TRUE(fixtures::Encode(path, container, codec, 0, {48000, 2, 0.3}, fixtures::Tone(440, 0.5, 48000),
                                     metadata));
        const FileTagText tags = ReadFileTags(QString::fromStdString(path));
        EXPECT_EQ(tags.title, QStringLiteral("바다의 노래")) << ext;
        EXPECT_EQ(tags.artist, QStringLiteral("가수")) << ext;
        EXPECT_EQ(tags.album, QStringLiteral("첫 앨범")) << ext;
    }

    const QString wav = dir.filePath(QStringLiteral("tagged.wav"));
    ASSERT_TRUE(fixtures::WriteWav(wav.toStdString(), {44100, 1, 0.1}, fixtures::Tone(440)));
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const auto little = [](quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
    const QByteArray title = cp949("하늘") + '\0';
    const QByteArray artist = QByteArray("Beyonc\xc3\xa9") + '\0';
    QByteArray info = "INFO" + QByteArray("INAM") + little(static_cast<quint32>(title.size())) + title;
    if (title.size() % 2)
        info += '\0';
    info += "IART" + little(static_cast<quint32>(artist.size())) + artist;
    if (artist.size() % 2)
        info += '\0';
    bytes += "LIST" + little(static_cast<quint32>(info.size())) + info;
    bytes.replace(4, 4, little(static_cast<quint32>(bytes.size() - 8)));
    file.seek(0);
    file.write(bytes);
    file.close();
    const FileTagText tags = ReadFileTags(wav);
    EXPECT_EQ(tags.title, QStringLiteral("하늘"));
    EXPECT_EQ(tags.artist, QStringLiteral("Beyoncé"));
}

TEST(TagText, EachKindOfValueIsReadAsItWasWritten)
{
    // Bare bytes that are not UTF-8: code page 949.
    EXPECT_EQ(DecodeTagText(cp949("노래")), QStringLiteral("노래"));
    // UTF-8 as it is.
    EXPECT_EQ(DecodeTagText(QStringLiteral("노래 ♪").toUtf8()), QStringLiteral("노래 ♪"));
    EXPECT_EQ(DecodeTagText("plain"), QStringLiteral("plain"));
    // A Latin-1 reading of code page 949 bytes, and of UTF-8 bytes.
    EXPECT_EQ(DecodeTagText(QString::fromLatin1(cp949("가수")).toUtf8()), QStringLiteral("가수"));
    EXPECT_EQ(DecodeTagText(QString::fromLatin1(QStringLiteral("가수").toUtf8()).toUtf8()), QStringLiteral("가수"));
    // Real Latin-1 stays.
    EXPECT_EQ(DecodeTagText(QStringLiteral("Mötley Crüe").toUtf8()), QStringLiteral("Mötley Crüe"));
    // Neither UTF-8 nor code page 949: Latin-1, never an empty or cut text.
    EXPECT_EQ(DecodeTagText("\xff\xfe!"), QString::fromLatin1("\xff\xfe!"));
}

} // namespace
