#include "TempList.h"

#include "CodePage.h"

#include <QStringDecoder>

#include <optional>

namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr qsizetype kUtf8MarkSize = 3;
constexpr char16_t kEscapeBase = 0xDC00;  // a kept byte b is U+DC00 + b (b >= 0x80)

bool hasMark(const QByteArray& bytes)
{
    return bytes.startsWith(QByteArrayView(kUtf8Mark, kUtf8MarkSize));
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

std::optional<QByteArray> utf8(const QString& text)
{
    return text.toUtf8();
}

} // namespace

TempListEncoding TempListEncodingOf(const QByteArray& bytes)
{
    if (hasMark(bytes))
        return TempListEncoding::Utf8;
    bool multiByte = false;
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            multiByte = true;
            break;
        }
    }
    if (multiByte && strictUtf8(bytes.constData(), bytes.size()))
        return TempListEncoding::Utf8;
    return TempListEncoding::CodePage949;
}

QStringList DecodeTempListText(const QByteArray& bytes)
{
    const bool utf8File = TempListEncodingOf(bytes) == TempListEncoding::Utf8;
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype pos = hasMark(bytes) ? kUtf8MarkSize : 0;

    QStringList lines;
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        // Only the file's first three bytes are its mark; a U+FEFF that starts a line is
        // part of the path and must survive (QString::fromUtf8 would drop it), which the
        // strict decoder keeps.
        lines.append(utf8File ? decodeKeepingBytes(data + pos, end - pos, strictUtf8)
                              : decodeCodePageLine(data + pos, end - pos));
        pos = end;
        if (pos < size && data[pos] == '\r') {
            ++pos;
            if (pos < size && data[pos] == '\n')
                ++pos;
        } else if (pos < size) {
            ++pos;
        }
    }
    return lines;
}

QByteArray EncodeTempListText(const QStringList& lines, TempListEncoding encoding)
{
    // Each line is written only in a form that reads back as the same line: bytes kept
    // from an undecodable line, written as themselves, can join their neighbours into a
    // character of the other encoding.
    if (encoding == TempListEncoding::CodePage949) {
        QByteArray out;
        bool allFit = true;
        for (const QString& line : lines) {
            const auto encoded = encodeKeepingBytes(line, ToCodePage949);
            if (!encoded || decodeCodePageLine(encoded->constData(), encoded->size()) != line) {
                allFit = false;
                break;
            }
            out += *encoded;
            out += "\r\n";
        }
        // Read back as a whole, the file must still be taken for code page 949.
        if (allFit && TempListEncodingOf(out) == TempListEncoding::CodePage949)
            return out;
    }
    QByteArray out(kUtf8Mark, kUtf8MarkSize);
    for (const QString& line : lines) {
        QByteArray encoded = *encodeKeepingBytes(line, utf8);
        if (decodeKeepingBytes(encoded.constData(), encoded.size(), strictUtf8) != line) {
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
