// File names are bytes: a name goes into a QString and comes back as the same bytes,
// whatever they are, and is shown readably.

#include "FileName.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

QByteArray bytes(const char* text)
{
    return QByteArray(text);
}

TEST(FileNameBytes, EveryNameComesBackAsTheSameBytes)
{
    // Each byte alone, each pair of bytes, then random names with every kind of broken
    // UTF-8: lone continuation bytes, cut sequences, overlong forms, encoded surrogates,
    // code points past U+10FFFF.
    for (int b = 1; b < 256; ++b) {
        const QByteArray one(1, static_cast<char>(b));
        ASSERT_EQ(FileNameBytes(FileNameFromBytes(one)), one) << b;
    }
    for (int a = 0x80; a < 256; ++a)
        for (int b = 1; b < 256; ++b) {
            const QByteArray two{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(FileNameBytes(FileNameFromBytes(two)), two) << a << " " << b;
        }
    const char* pieces[] = {"/m/", "a", "\xC3\xA9", "\xEC\x9D\x8C", "\xF0\x9F\x8E\xB5", "\xFF", "\x80", "\xC3",
                            "\xE0\x80\xAF", "\xED\xA0\x80", "\xED\xB2\x80", "\xF4\x90\x80\x80", "\xC0\xAF", "\xEF\xBB\xBF"};
    std::uint32_t seed = 7;
    for (int round = 0; round < 20000; ++round) {
        QByteArray name;
        for (int i = 0; i < 1 + round % 7; ++i) {
            seed = seed * 1664525u + 1013904223u;
            name += pieces[(seed >> 16) % std::size(pieces)];
        }
        const QString text = FileNameFromBytes(name);
        ASSERT_EQ(FileNameBytes(text), name) << name.toHex().toStdString();
        // What came from bytes goes back to the same string, too.
        ASSERT_EQ(FileNameFromBytes(FileNameBytes(text)), text) << name.toHex().toStdString();
    }
}

TEST(FileNameBytes, Utf8IsTextAndOtherBytesAreEscapes)
{
    EXPECT_EQ(FileNameFromBytes(QStringLiteral("/음악/창.mp3").toUtf8()), QStringLiteral("/음악/창.mp3"));
    EXPECT_EQ(FileNameFromBytes(QStringLiteral("/♪/🎵.flac").toUtf8()), QStringLiteral("/♪/🎵.flac"));
    const QString latin1 = FileNameFromBytes(bytes("/m/caf\xE9.mp3"));
    EXPECT_EQ(latin1.size(), 11);
    EXPECT_EQ(latin1.at(6).unicode(), 0xDCE9);
    EXPECT_TRUE(HasFileNameEscapes(latin1));
    EXPECT_FALSE(HasFileNameEscapes(QStringLiteral("/m/café.mp3")));
    // An encoded surrogate is not UTF-8: three escapes, never a surrogate of its own.
    EXPECT_EQ(FileNameFromBytes(bytes("\xED\xB3\xA9")), QString::fromUtf16(u"\xDCED\xDCB3\xDCA9", 3));
}

TEST(FileNameBytes, ShownReadably)
{
    EXPECT_EQ(ReadableFileName(FileNameFromBytes(bytes("caf\xE9.mp3"))), QStringLiteral("caf\uFFFD.mp3"));
    EXPECT_EQ(ReadableFileName(QStringLiteral("two\nlines\t\x7f.mp3")), QStringLiteral("two\u240Alines\u2409\u2421.mp3"));
    EXPECT_EQ(ReadableFileName(QStringLiteral("/음악/창.mp3")), QStringLiteral("/음악/창.mp3"));
}

// A file manager sends names that are not UTF-8 percent-encoded; they arrive whole,
// and go out the same way.
TEST(FileNameBytes, UrlsCarryTheBytes)
{
    EXPECT_EQ(FileNameBytes(LocalPathOfUrl(QUrl(QStringLiteral("file:///m/caf%E9%FF.mp3")))), bytes("/m/caf\xE9\xFF.mp3"));
    EXPECT_EQ(LocalPathOfUrl(QUrl(QStringLiteral("file:///m/%EC%B0%BD%20a.mp3"))), QStringLiteral("/m/창 a.mp3"));
    EXPECT_TRUE(LocalPathOfUrl(QUrl(QStringLiteral("https://example.com/a.mp3"))).isEmpty());
    for (const QByteArray& name : {bytes("/m/caf\xE9.mp3"), bytes("/m/a%b#c?d.mp3"), QStringLiteral("/음/악 a.mp3").toUtf8(),
                                   bytes("/m/new\nline.mp3")}) {
        const QUrl url = UrlOfLocalPath(FileNameFromBytes(name));
        EXPECT_EQ(FileNameBytes(LocalPathOfUrl(QUrl(url.toString(QUrl::FullyEncoded)))), name)
            << url.toString(QUrl::FullyEncoded).toStdString();
    }
}

} // namespace
