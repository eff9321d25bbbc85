// Loudness tags read from the containers: files tagged by the tools listeners use, and
// hand-built ID3v2 and APEv2 tags for what those tools do not write.

#include "ReplayGainFile.h"

#include "FileName.h"
#include "support/AudioFixtures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <optional>

namespace {

QByteArray bigEndian(quint32 value)
{
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

QByteArray littleEndian(quint32 value)
{
    const char bytes[] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    return QByteArray(bytes, 4);
}

QByteArray syncsafe(quint32 value)
{
    const char bytes[] = {char((value >> 21) & 0x7F), char((value >> 14) & 0x7F), char((value >> 7) & 0x7F),
                          char(value & 0x7F)};
    return QByteArray(bytes, 4);
}

// An FF is followed by a 00, as unsynchronisation stores it.
QByteArray unsync(const QByteArray& bytes)
{
    QByteArray result;
    for (char c : bytes) {
        result += c;
        if (static_cast<unsigned char>(c) == 0xFF)
            result += '\0';
    }
    return result;
}

// A TXXX body in UTF-16 with a byte order mark, so that it holds FF bytes.
QByteArray utf16Txxx(const QString& key, const QString& value)
{
    QByteArray body("\x01", 1);
    for (const QString& text : {key, value}) {
        body += "\xff\xfe";
        for (QChar c : text)
            body += QByteArray(1, char(c.unicode() & 0xFF)) + char(c.unicode() >> 8);
        body += QByteArray(2, '\0');
    }
    return body;
}

QByteArray latin1Txxx(const QByteArray& key, const QByteArray& value)
{
    return QByteArray(1, '\0') + key + '\0' + value;
}

QByteArray id3Header(char version, char flags, quint32 size)
{
    return QByteArray("ID3") + version + '\0' + flags + syncsafe(size);
}

class ReplayGainFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_wav = m_dir.filePath("tone.wav");
        ASSERT_TRUE(fixtures::WriteWav(m_wav.toStdString(), {44100, 2, 0.3}, fixtures::Tone(440)));
        ASSERT_TRUE(Run("lame", {"--quiet", m_wav, Path("plain.mp3")}));
        m_plainMp3 = Read(Path("plain.mp3"));
        ASSERT_FALSE(m_plainMp3.startsWith("ID3"));
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }

    bool Run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, arguments);
        const bool done = process.waitForFinished(60000);
        EXPECT_TRUE(done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
            << program.toStdString() << " failed";
        return done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    static QByteArray Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    QTemporaryDir m_dir;
    QString m_wav;
    QByteArray m_plainMp3; // no tags, starts with an MPEG frame
};

TEST_F(ReplayGainFile, CommentsOfFlacVorbisAndOpusFromTheirTools)
{
    const QString flac = Path("a.flac");
    ASSERT_TRUE(Run("flac", {"--silent", "-o", flac, m_wav}));
    ASSERT_TRUE(Run("metaflac", {"--set-tag=REPLAYGAIN_TRACK_GAIN=-6.50 dB", "--set-tag=REPLAYGAIN_TRACK_PEAK=0.912",
                                 "--set-tag=replaygain_album_gain=-7.00 dB", flac}));
    const ReplayGainTags fromFlac = ReadReplayGainTags(flac);
    EXPECT_EQ(fromFlac.trackGainDb, -6.5);
    EXPECT_EQ(fromFlac.trackPeak, 0.912);
    EXPECT_EQ(fromFlac.albumGainDb, -7.0);

    const QString vorbis = Path("a.ogg");
    ASSERT_TRUE(Run("oggenc", {"--quiet", "-o", vorbis, m_wav}));
    ASSERT_TRUE(Run("vorbiscomment", {"-a", "-t", "REPLAYGAIN_ALBUM_GAIN=+2.25 dB", "-t", "REPLAYGAIN_ALBUM_PEAK=0.5",
                                      vorbis}));
    const ReplayGainTags fromVorbis = ReadReplayGainTags(vorbis);
    EXPECT_EQ(fromVorbis.albumGainDb, 2.25);
    EXPECT_EQ(fromVorbis.albumPeak, 0.5);
    EXPECT_FALSE(fromVorbis.trackGainDb);

    // A long comment before the gain makes the comment packet run over several pages.
    const QString opus = Path("a.opus");
    ASSERT_TRUE(Run("opusenc", {"--quiet", "--comment", "COMMENT=" + QString(100000, 'x'), "--comment",
                                "R128_TRACK_GAIN=-512", m_wav, opus}));
    ASSERT_GT(Read(opus).count("OggS"), 3);
    const ReplayGainTags fromOpus = ReadReplayGainTags(opus);
    EXPECT_EQ(fromOpus.trackGainDb, 3.0); // -2 dB towards -23 LUFS
}

TEST_F(ReplayGainFile, Id3v2FromFfmpegAndLameAndFreeformFromAtomicParsley)
{
    // FFmpeg writes ID3v2.4 with Latin-1 text, LAME ID3v2.3 with UTF-16.
    const QString ffmpegMp3 = Path("ffmpeg.mp3");
    ASSERT_TRUE(Run("ffmpeg", {"-v", "error", "-i", m_wav, "-c:a", "libmp3lame", "-metadata",
                               "REPLAYGAIN_TRACK_GAIN=-7.25 dB", "-metadata", "REPLAYGAIN_TRACK_PEAK=1.05",
                               ffmpegMp3}));
    const ReplayGainTags fromFfmpeg = ReadReplayGainTags(ffmpegMp3);
    EXPECT_EQ(fromFfmpeg.trackGainDb, -7.25);
    EXPECT_EQ(fromFfmpeg.trackPeak, 1.05);

    const QString lameMp3 = Path("lame.mp3");
    ASSERT_TRUE(Run("lame", {"--quiet", "--id3v2-utf16", "--tv",
                             "TXXX=replaygain_album_gain=-3.10 dB", m_wav, lameMp3}));
    EXPECT_EQ(ReadReplayGainTags(lameMp3).albumGainDb, -3.1);

    const QString m4a = Path("a.m4a");
    ASSERT_TRUE(Run("ffmpeg", {"-v", "error", "-i", m_wav, "-c:a", "aac", m4a}));
    ASSERT_TRUE(Run("AtomicParsley", {m4a, "--overWrite", "--rDNSatom", "-4.00 dB", "name=replaygain_track_gain",
                                      "domain=com.apple.iTunes", "--rDNSatom", "-9.00 dB",
                                      "name=replaygain_album_gain", "domain=org.example"}));
    const ReplayGainTags fromM4a = ReadReplayGainTags(m4a);
    EXPECT_EQ(fromM4a.trackGainDb, -4.0);
    EXPECT_FALSE(fromM4a.albumGainDb) << "only iTunes' namespace names these keys";
}

TEST_F(ReplayGainFile, Id3v2UnsynchronisedAndOfEveryVersion)
{
    // v2.4: an unsynchronised frame with a data length indicator, after a frame whose size
    // a careless writer stored plain instead of syncsafe (256, which syncsafe reads as 128).
    const QByteArray stored = unsync(utf16Txxx("REPLAYGAIN_TRACK_GAIN", "-2.50 dB"));
    const QByteArray unsynced = "TXXX" + syncsafe(quint32(stored.size() + 4)) + QByteArray("\x00\x03", 2)
        + syncsafe(quint32(utf16Txxx("REPLAYGAIN_TRACK_GAIN", "-2.50 dB").size())) + stored;
    const QByteArray plainSized = "TXXX" + bigEndian(256) + QByteArray(2, '\0')
        + latin1Txxx("NOTE", QByteArray(256 - 6, 'n'));
    const QByteArray v24Frames = plainSized + unsynced;
    const ReplayGainTags v24 = ReadReplayGainTags(
        Write("v24.mp3", id3Header(4, 0, quint32(v24Frames.size())) + v24Frames + m_plainMp3));
    EXPECT_EQ(v24.trackGainDb, -2.5);

    // v2.3 unsynchronised as a whole, frame headers included.
    const QByteArray frame = utf16Txxx("REPLAYGAIN_ALBUM_PEAK", "0.75");
    const QByteArray v23Tag = unsync("TXXX" + bigEndian(quint32(frame.size())) + QByteArray(2, '\0') + frame);
    const ReplayGainTags v23 = ReadReplayGainTags(
        Write("v23.mp3", id3Header(3, char(0x80), quint32(v23Tag.size())) + v23Tag + m_plainMp3));
    EXPECT_EQ(v23.albumPeak, 0.75);

    // v2.2: three-letter names and sizes.
    const QByteArray body = latin1Txxx("REPLAYGAIN_TRACK_GAIN", "+1.00 dB");
    const QByteArray v22Frame = "TXX" + bigEndian(quint32(body.size())).mid(1) + body;
    EXPECT_EQ(ReadReplayGainTags(Write("v22.mp3", id3Header(2, 0, quint32(v22Frame.size())) + v22Frame + m_plainMp3))
                  .trackGainDb,
              1.0);
}

TEST_F(ReplayGainFile, ApeTagBeforeId3v1AtTheEnd)
{
    auto item = [](const QByteArray& key, const QByteArray& value, quint32 flags = 0) {
        return littleEndian(quint32(value.size())) + littleEndian(flags) + key + '\0' + value;
    };
    const QByteArray items = item("Cover Art (Front)", QByteArray(300000, '\xff'), 2)
        + item("REPLAYGAIN_TRACK_GAIN", "-8.40 dB") + item("Replaygain_Track_Peak", "0.66");
    auto frame = [&](quint32 flags) {
        return "APETAGEX" + littleEndian(2000) + littleEndian(quint32(items.size() + 32)) + littleEndian(3)
            + littleEndian(flags) + QByteArray(8, '\0');
    };
    const QByteArray ape = frame(0xA0000000) + items + frame(0x80000000);
    const QByteArray id3v1 = "TAG" + QByteArray(125, ' ');
    const ReplayGainTags tags = ReadReplayGainTags(Write("ape.mp3", m_plainMp3 + ape + id3v1));
    EXPECT_EQ(tags.trackGainDb, -8.4);
    EXPECT_EQ(tags.trackPeak, 0.66);
    EXPECT_EQ(ReadReplayGainTags(Write("ape-only.mp3", m_plainMp3 + ape)).trackGainDb, -8.4);
}

// Cover art in front of the loudness is stepped over, not read, and a tag that claims to
// be huge costs no more than the budget.
TEST_F(ReplayGainFile, BigPartsAreSteppedOverAndReadsStayBounded)
{
    const QByteArray picture = "APIC" + bigEndian(4 << 20) + QByteArray(2, '\0') + QByteArray(4 << 20, '\xd8');
    const QByteArray gain = latin1Txxx("REPLAYGAIN_TRACK_GAIN", "-5.00 dB");
    const QByteArray frames = picture + "TXXX" + bigEndian(quint32(gain.size())) + QByteArray(2, '\0') + gain;
    const QByteArray file = id3Header(3, 0, quint32(frames.size())) + frames + m_plainMp3;
    std::size_t fetchedBytes = 0;
    const ReadAtFunction readAt = [&](std::uint64_t offset, std::size_t bytes) {
        fetchedBytes += bytes;
        return file.mid(qsizetype(offset), qsizetype(bytes)).toStdString();
    };
    EXPECT_EQ(ReadReplayGainTags(readAt, quint64(file.size())).trackGainDb, -5.0);
    EXPECT_LT(fetchedBytes, 4096u);

    // A tag unsynchronised as a whole that claims 256 MB is read no further than allowed.
    const QByteArray endless = id3Header(3, char(0x80), 0x0FFFFFFF) + QByteArray(8 << 20, '\xff');
    fetchedBytes = 0;
    const ReadAtFunction readEndless = [&](std::uint64_t offset, std::size_t bytes) {
        fetchedBytes += bytes;
        return endless.mid(qsizetype(offset), qsizetype(bytes)).toStdString();
    };
    EXPECT_TRUE(ReadReplayGainTags(readEndless, quint64(endless.size())).Empty());
    EXPECT_LE(fetchedBytes, kReplayGainReadBytes);
}

TEST_F(ReplayGainFile, OtherFilesAndNoFilesHaveNone)
{
    EXPECT_TRUE(ReadReplayGainTags(m_wav).Empty());
    EXPECT_TRUE(ReadReplayGainTags(Path("plain.mp3")).Empty());
    EXPECT_TRUE(ReadReplayGainTags(m_dir.path()).Empty());
    EXPECT_TRUE(ReadReplayGainTags(Path("missing.flac")).Empty());
    // A FIFO named like a song is neither waited on nor read.
    const QString fifo = Path("fifo.mp3");
    ASSERT_EQ(::mkfifo(FileNameBytes(fifo).constData(), 0600), 0);
    EXPECT_TRUE(ReadReplayGainTags(fifo).Empty());
}

} // namespace

namespace {

// A short FLAC file in `folder` with the album tag and gains given (empty: no album tag).
QString taggedSong(const QString& folder, const QString& name, const std::string& album)
{
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name;
    std::vector<std::pair<std::string, std::string>> tags{{"REPLAYGAIN_TRACK_GAIN", "-6.00 dB"},
                                                          {"REPLAYGAIN_ALBUM_GAIN", "-12.00 dB"}};
    if (!album.empty())
        tags.emplace_back("album", album);
    const bool made = fixtures::Encode(path.toStdString(), "flac", "flac", 0, {44100, 2, 0.1},
                                       fixtures::Tone(440, 0.1), tags);
    return made ? path : QString();
}

} // namespace

// The album gain needs a neighbour of the same album: the same folder and the same album
// tag, not empty. A song beside itself (a list of one) is no album.
TEST(SongReplayGain, AlbumGainOnlyBesideASongOfTheSameAlbum)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("album"));
    const QString song = taggedSong(folder, QStringLiteral("1.flac"), "Blue");
    const QString sameAlbum = taggedSong(folder, QStringLiteral("2.flac"), "Blue");
    const QString otherAlbum = taggedSong(folder, QStringLiteral("3.flac"), "Red");
    const QString otherFolder = taggedSong(dir.filePath(QStringLiteral("elsewhere")), QStringLiteral("2.flac"), "Blue");
    const QString untitled = taggedSong(dir.filePath(QStringLiteral("loose")), QStringLiteral("1.flac"), "");
    const QString untitledToo = taggedSong(dir.filePath(QStringLiteral("loose")), QStringLiteral("2.flac"), "");
    ASSERT_FALSE(untitledToo.isEmpty());
    const float track = std::pow(10.0f, -6.0f / 20.0f);
    const float album = std::pow(10.0f, -12.0f / 20.0f);

    EXPECT_FLOAT_EQ(SongReplayGain(song, otherAlbum, sameAlbum), album);
    EXPECT_FLOAT_EQ(SongReplayGain(song, sameAlbum, QString()), album);
    EXPECT_FLOAT_EQ(SongReplayGain(song, QString(), QString()), track);
    EXPECT_FLOAT_EQ(SongReplayGain(song, otherAlbum, otherFolder), track);
    EXPECT_FLOAT_EQ(SongReplayGain(song, song, song), track);
    EXPECT_FLOAT_EQ(SongReplayGain(untitled, untitledToo, untitledToo), track);
    EXPECT_FLOAT_EQ(SongReplayGain(dir.filePath(QStringLiteral("missing.flac")), sameAlbum, sameAlbum), 1.0f);
}
