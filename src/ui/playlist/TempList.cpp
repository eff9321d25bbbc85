#include "TempList.h"

#include "CodePage.h"
#include "FileName.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr qsizetype kUtf8MarkSize = 3;
// Code page 949 is decoded this many bytes at a time (to the end of a line).
constexpr qsizetype kDecodePiece = 16 * 1024;
constexpr char16_t kEscapeBase = 0xDC00;  // a kept byte b is U+DC00 + b (b >= 0x80)

bool hasMark(const QByteArray& bytes)
{
    return bytes.startsWith(QByteArrayView(kUtf8Mark, kUtf8MarkSize));
}

bool isAsciiLine(const char* bytes, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return false;
    return true;
}

bool isEscape(QChar c)
{
    return c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF;
}

// Decodes with `strict`; where it fails, decodes byte by byte, keeping each byte that
// does not decode as an escape.
template <typename Strict>
QString decodeKeepingBytes(const char* bytes, qsizetype size, Strict strict)
{
    if (auto text = strict(bytes, size))
        return *text;
    QString result;
    qsizetype pos = 0;
    while (pos < size) {
        // The longest prefix that decodes (sequences are at most 4 bytes long).
        qsizetype good = 0;
        for (qsizetype length = 1; length <= 4 && pos + length <= size; ++length) {
            if (auto text = strict(bytes + pos, length)) {
                result += *text;
                good = length;
                break;
            }
        }
        if (good == 0) {
            result += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[pos])));
            good = 1;
        }
        pos += good;
    }
    return result;
}

// Strict, and keeping a U+FEFF that starts the piece.
std::optional<QString> strictUtf8(const char* bytes, qsizetype size)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(QByteArrayView(bytes, size));
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QString> strictCodePage949(const char* bytes, qsizetype size)
{
    return FromCodePage949(bytes, static_cast<std::size_t>(size));
}

// A line of a code page 949 file: code page 949, else a line that is UTF-8 as a whole
// (as before), else code page 949 keeping what does not decode.
QString decodeCodePageLine(const char* bytes, qsizetype size)
{
    if (auto text = strictCodePage949(bytes, size))
        return *text;
    if (auto text = strictUtf8(bytes, size))
        return *text;
    return decodeKeepingBytes(bytes, size, strictCodePage949);
}

// Encodes `line` piece by piece: kept bytes as themselves, the rest with `encode`.
template <typename Encode>
std::optional<QByteArray> encodeKeepingBytes(const QString& line, Encode encode)
{
    QByteArray out;
    qsizetype start = 0;
    auto flush = [&](qsizetype end) -> bool {
        if (end == start)
            return true;
        auto piece = encode(line.mid(start, end - start));
        if (!piece)
            return false;
        out += *piece;
        return true;
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (!isEscape(line[i]))
            continue;
        if (!flush(i))
            return std::nullopt;
        out += static_cast<char>(line[i].unicode() - kEscapeBase);
        start = i + 1;
    }
    if (!flush(line.size()))
        return std::nullopt;
    return out;
}

} // namespace

namespace {

// Calls `line(begin, size)` for every line of `data` from `pos` on.
template <typename Char, typename Line>
void forEachLine(const Char* data, qsizetype size, qsizetype pos, Line line)
{
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && data[end] != u'\r' && data[end] != u'\n')
            ++end;
        line(data + pos, end - pos);
        pos = end;
        if (pos < size && data[pos] == u'\r') {
            ++pos;
            if (pos < size && data[pos] == u'\n')
                ++pos;
        } else if (pos < size) {
            ++pos;
        }
    }
}

template <typename Line>
void forEachLine(const QByteArray& bytes, qsizetype pos, Line line)
{
    forEachLine(bytes.constData(), bytes.size(), pos, line);
}

// A line of an unmarked UTF-8 file: UTF-8, else code page 949, else its bytes.
QString decodeUtf8Line(const char* bytes, qsizetype size)
{
    if (auto text = strictUtf8(bytes, size))
        return *text;
    if (auto text = strictCodePage949(bytes, size))
        return *text;
    return FileNameFromBytes(QByteArrayView(bytes, size));
}

} // namespace

namespace {

// True when every character of a valid code page 949 line is ASCII or one of the 2,350
// Hangul syllables of KS X 1001, the text a Korean name is made of.
bool onlyCommonHangul(const char* bytes, qsizetype size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    for (qsizetype i = 0; i < size; ++i) {
        if (p[i] < 0x80)
            continue;
        if (i + 1 >= size || p[i] < 0xB0 || p[i] > 0xC8 || p[i + 1] < 0xA1 || p[i + 1] == 0xFF)
            return false;
        ++i;
    }
    return true;
}

// True when every character that is not ASCII is a letter or a mark, as in a name.
bool onlyLetters(const QString& text)
{
    for (char32_t c : text.toUcs4())
        if (c >= 0x80 && !QChar::isLetter(c) && !QChar::isMark(c))
            return false;
    return true;
}

} // namespace

TempListEncoding TempListEncodingOf(const QByteArray& bytes)
{
    if (hasMark(bytes))
        return TempListEncoding::MarkedUtf8;
    // Each line that is not ASCII is valid in one form, in both, or in neither.
    bool utf8Only = false;
    bool codePageOnly = false;
    bool ambiguous = false;
    bool ambiguousLooksUtf8 = true;   // as UTF-8 every such line is letters
    bool ambiguousLooksKorean = true; // as code page 949 every such line is Hangul
    // Decoding as code page 949 is the slow part: a line that is not UTF-8 is tried only
    // until one such line is found, and nothing is tried after a line only UTF-8 reads.
    forEachLine(bytes, 0, [&](const char* line, qsizetype size) {
        if (utf8Only || isAsciiLine(line, size))
            return;
        if (!QByteArrayView(line, size).isValidUtf8()) {
            codePageOnly = codePageOnly || strictCodePage949(line, size).has_value();
            return;
        }
        if (!strictCodePage949(line, size)) {
            utf8Only = true;
        } else {
            ambiguous = true;
            ambiguousLooksUtf8 = ambiguousLooksUtf8 && onlyLetters(*strictUtf8(line, size));
            ambiguousLooksKorean = ambiguousLooksKorean && onlyCommonHangul(line, size);
        }
    });
    // A line only UTF-8 can read settles it; so does one only code page 949 can read.
    // Lines both can read are code page 949 unless that reading is not Korean text
    // while the UTF-8 one is all letters ("바다" in UTF-8 is Hanja and rare syllables
    // in code page 949); a lone "창" or "é" stays code page 949.
    if (utf8Only)
        return TempListEncoding::Utf8;
    if (!codePageOnly && ambiguous && ambiguousLooksUtf8 && !ambiguousLooksKorean)
        return TempListEncoding::Utf8;
    return TempListEncoding::CodePage949;
}

QStringList DecodeTempListText(const QByteArray& bytes)
{
    const TempListEncoding encoding = TempListEncodingOf(bytes);
    QStringList lines;
    // Decoded a line at a time, a list of 100,000 is most of a start-up. Code page 949
    // is decoded a piece of whole lines at a time: no character of it holds a line
    // break, so the lines of a piece that decodes are its lines, each as it decodes
    // alone. A piece that does not decode is read line by line.
    if (encoding == TempListEncoding::CodePage949) {
        const char* data = bytes.constData();
        const qsizetype size = bytes.size();
        for (qsizetype pos = 0; pos < size;) {
            const qsizetype from = std::min(pos + kDecodePiece, size);
            const void* cut = std::memchr(data + from, '\n', static_cast<std::size_t>(size - from));
            const qsizetype end = cut ? static_cast<const char*>(cut) - data + 1 : size;
            if (const auto text = FromCodePage949(data + pos, static_cast<std::size_t>(end - pos)))
                forEachLine(text->constData(), text->size(), 0,
                            [&](const QChar* line, qsizetype length) { lines.append(QString(line, length)); });
            else
                forEachLine(data + pos, end - pos, 0,
                            [&](const char* line, qsizetype length) { lines.append(decodeCodePageLine(line, length)); });
            pos = end;
        }
        return lines;
    }
    forEachLine(bytes, encoding == TempListEncoding::MarkedUtf8 ? kUtf8MarkSize : 0,
                [&](const char* line, qsizetype size) {
                    switch (encoding) {
                    case TempListEncoding::MarkedUtf8:
                        // Only the file's first three bytes are its mark; a U+FEFF that
                        // starts a line is part of the path and survives.
                        lines.append(FileNameFromBytes(QByteArrayView(line, size)));
                        break;
                    case TempListEncoding::Utf8:
                        lines.append(decodeUtf8Line(line, size));
                        break;
                    case TempListEncoding::CodePage949:
                        lines.append(decodeCodePageLine(line, size));
                        break;
                    }
                });
    return lines;
}

QByteArray EncodeTempListText(const QStringList& lines, TempListEncoding encoding)
{
    // Written only in a form that reads back as the same lines: bytes kept from an
    // undecodable line, written as themselves, can join their neighbours into a
    // character, and one line can change how the whole file is judged.
    if (encoding == TempListEncoding::CodePage949) {
        QByteArray out;
        bool allFit = true;
        for (const QString& line : lines) {
            const auto encoded = encodeKeepingBytes(line, ToCodePage949);
            if (!encoded) {
                allFit = false;
                break;
            }
            out += *encoded;
            out += "\r\n";
        }
        if (allFit && DecodeTempListText(out) == lines)
            return out;
    }
    QByteArray out(kUtf8Mark, kUtf8MarkSize);
    for (const QString& line : lines) {
        QByteArray encoded = FileNameBytes(line);
        if (FileNameFromBytes(encoded) != line) {
            // Bytes of a code page 949 line that was not code page 949 would read back as
            // UTF-8 characters: such bytes become U+FFFD, and the line stays as written.
            QString replaced = line;
            for (QChar& c : replaced)
                if (isEscape(c))
                    c = QChar(QChar::ReplacementCharacter);
            encoded = replaced.toUtf8();
        }
        out += encoded;
        out += "\r\n";
    }
    return out;
}

bool HasLineBreak(const QString& path)
{
    return path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'));
}
