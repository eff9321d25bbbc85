// How a "Temprary.txt" without a byte-order mark is read: measured on lists of Korean
// names in code page 949 and on UTF-8 lists of European, Cyrillic, Korean and Chinese or
// Japanese names. The error rates are printed; the guarantees are asserted.

#include "CodePage.h"
#include "TempList.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace {

// The 2,350 Hangul syllables of KS X 1001, in code order.
QStringList ksSyllables()
{
    QStringList syllables;
    for (int lead = 0xB0; lead <= 0xC8; ++lead)
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            syllables.append(*FromCodePage949(bytes, 2));
        }
    return syllables;
}

QByteArray codePageFile(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += *ToCodePage949(line) + "\r\n";
    return bytes;
}

QByteArray utf8File(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\n";
    return bytes;
}

struct Rate {
    int files = 0;
    int wrong = 0;
    void count(bool right)
    {
        ++files;
        wrong += right ? 0 : 1;
    }
    double percent() const { return files ? 100.0 * wrong / files : 0.0; }
};

void report(const char* set, const Rate& rate)
{
    std::printf("code page guess: %-44s %5d files, %4d read wrong (%.2f %%)\n", set, rate.files, rate.wrong,
                rate.percent());
}

std::uint32_t nextRandom(std::uint32_t& seed)
{
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
}

// Every list of Korean names written in code page 949 (as the original program and this
// one write them) reads back as written: alone, in real-looking paths, many to a list.
TEST(CodePageGuess, KoreanListsInCodePage949AlwaysReadRight)
{
    const QStringList syllables = ksSyllables();
    ASSERT_EQ(syllables.size(), 2350);
    const std::function<QString(const QString&, const QString&)> templates[] = {
        [](const QString& s, const QString&) { return QStringLiteral("/music/%1.mp3").arg(s); },
        [](const QString& s, const QString&) { return QStringLiteral("C:\\Music\\%1.mp3").arg(s); },
        [](const QString& s, const QString& t) { return QStringLiteral("/home/jiwoo/Music/IU - %1%2.mp3").arg(s, t); },
        [](const QString& s, const QString&) { return QStringLiteral("/music/01 %1 (Live).flac").arg(s); },
        [](const QString& s, const QString& t) { return QStringLiteral("/mnt/usb/%1%2/%2%1.ogg").arg(s, t); },
        [](const QString& s, const QString& t) { return QStringLiteral("/home/minsu/음악/%1 %2.mp3").arg(s, t); },
        [](const QString& s, const QString&) { return QStringLiteral("/music/Track%1.mp3").arg(s); },
    };
    Rate alone, paths, lists;
    std::uint32_t seed = 949;
    for (const QString& s : syllables) {
        const QString line = templates[0](s, {});
        alone.count(DecodeTempListText(codePageFile({line})) == QStringList{line});
        for (const auto& make : templates) {
            const QString t = syllables.at(static_cast<int>(nextRandom(seed) % 2350));
            const QString other = make(s, t);
            paths.count(DecodeTempListText(codePageFile({other})) == QStringList{other});
        }
        QStringList list;
        for (int i = 0; i < 5; ++i)
            list.append(templates[nextRandom(seed) % std::size(templates)](
                syllables.at(static_cast<int>(nextRandom(seed) % 2350)), s));
        lists.count(DecodeTempListText(codePageFile(list)) == list);
    }
    report("Korean, one syllable alone", alone);
    report("Korean, in real-looking paths", paths);
    report("Korean, five paths to a list", lists);
    EXPECT_EQ(alone.wrong, 0);
    EXPECT_EQ(paths.wrong, 0);
    EXPECT_EQ(lists.wrong, 0);
}

const char* const kEuropean[] = {
    "Beyoncé", "Motörhead", "Mötley Crüe", "Björk", "Sigur Rós", "Édith Piaf", "Céline Dion", "Françoise Hardy",
    "Die Ärzte", "Herbert Grönemeyer", "Straße", "Für Elise", "Niño", "Mañana", "Pequeña", "À bientôt",
    "Les Misérables", "Déjà vu", "Café del Mar", "Röyksopp", "Åsa", "Jóhann Jóhannsson", "Dvořák", "Chopin – Études",
    "Noël", "Señorita", "Über", "Mädchen", "Zoë", "Crème brûlée", "Garçon", "Smörgåsbord", "Über den Wolken",
    "Joël", "Opéra", "Tränen lügen nicht", "Ça plane pour moi", "Niña bonita", "Jürgen", "Maßstab",
};
const char* const kOther[] = {
    "Кино", "Земфира", "Чайковский", "Любэ", "ДДТ", "Агата Кристи", "아이유", "방탄소년단", "바다", "하늘", "노래",
    "소녀시대", "坂本龍一", "周杰伦", "宇多田ヒカル", "久石譲", "李宗盛", "東京事変", "Θεοδωράκης", "Ελλάδα",
};

// UTF-8 lists. A list with evidence of UTF-8 (a name only UTF-8 can read) never turns an
// accented name into Hangul; a name alone may be truly ambiguous, and is then read as
// code page 949, which this program marks its own UTF-8 lists against.
TEST(CodePageGuess, Utf8ListsAreReadAsUtf8WhereTheyCanBeTold)
{
    Rate european, other, mixed;
    for (const char* name : kEuropean) {
        const QString line = QStringLiteral("/music/%1.mp3").arg(QString::fromUtf8(name));
        european.count(DecodeTempListText(utf8File({line})) == QStringList{line});
    }
    for (const char* name : kOther) {
        const QString line = QStringLiteral("/music/%1.mp3").arg(QString::fromUtf8(name));
        other.count(DecodeTempListText(utf8File({line})) == QStringList{line});
    }
    std::uint32_t seed = 8;
    for (int round = 0; round < 2000; ++round) {
        QStringList list;
        for (int i = 0; i < 3; ++i)
            list.append(QStringLiteral("/music/%1.mp3")
                            .arg(QString::fromUtf8(kEuropean[nextRandom(seed) % std::size(kEuropean)])));
        list.insert(static_cast<int>(nextRandom(seed) % 4),
                    QStringLiteral("/music/%1.flac").arg(QString::fromUtf8(kOther[nextRandom(seed) % 6])));
        mixed.count(DecodeTempListText(utf8File(list)) == list);
    }
    report("UTF-8, a European name alone", european);
    report("UTF-8, a Cyrillic/Korean/CJK/Greek name alone", other);
    report("UTF-8, European names beside a Cyrillic one", mixed);
    EXPECT_EQ(mixed.wrong, 0);
    EXPECT_EQ(other.wrong, 0);
    // Measured: the European names alone that stay code page 949 are those made only of
    // letters whose two bytes are common Hangul syllables there (é, ö, ü, ...).
    EXPECT_LE(european.percent(), 80.0);
}

TEST(CodePageGuess, AmbiguousBytesAndTheLinesBesideThem)
{
    // A lone 창 is "â": code page 949 wins.
    EXPECT_EQ(DecodeTempListText("/music/\xC3\xA2.mp3\r\n"), QStringList{QStringLiteral("/music/창.mp3")});
    // The same bytes beside a line only UTF-8 reads are "â".
    EXPECT_EQ(DecodeTempListText("/music/\xC3\xA2.mp3\n/music/\xD0\x94.mp3\n"),
              (QStringList{QStringLiteral("/music/â.mp3"), QStringLiteral("/music/Д.mp3")}));
    // A line only code page 949 reads keeps the file code page 949.
    EXPECT_EQ(DecodeTempListText("/music/\xC3\xA2.mp3\r\n/\xC0\xBD\xBE\xC7/\xB0\xA1.mp3\r\n"),
              (QStringList{QStringLiteral("/music/창.mp3"), QStringLiteral("/음악/가.mp3")}));
}

} // namespace
