#include "FileName.h"

#include <QUrl>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at `p` (1 to 4), or 0 when none starts there.
// Overlong forms, surrogates and code points above U+10FFFF are not valid.
int utf8SequenceLength(const unsigned char* p, qsizetype left, char32_t& code)
{
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        code = b0;
        return 1;
    }
    auto cont = [&](qsizetype i) { return i < left && (p[i] & 0xC0) == 0x80; };
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (!cont(1))
            return 0;
        code = (char32_t(b0 & 0x1F) << 6) | (p[1] & 0x3F);
        return 2;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (!cont(1) || !cont(2))
            return 0;
        code = (char32_t(b0 & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        if (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))
            return 0;
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3))
            return 0;
        code = (char32_t(b0 & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) | (char32_t(p[2] & 0x3F) << 6)
               | (p[3] & 0x3F);
        if (code < 0x10000 || code > 0x10FFFF)
            return 0;
        return 4;
    }
    return 0;
}

void appendUtf8(QByteArray& out, char32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

} // namespace

QString FileNameFromBytes(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    QString name;
    name.reserve(size);
    for (qsizetype i = 0; i < size;) {
        char32_t code = 0;
        const int length = utf8SequenceLength(p + i, size - i, code);
        if (length == 0) {
            name += QChar(char16_t(kEscapeBase + p[i]));
            ++i;
            continue;
        }
        if (code < 0x10000) {
            name += QChar(char16_t(code));
        } else {
            name += QChar(QChar::highSurrogate(code));
            name += QChar(QChar::lowSurrogate(code));
        }
        i += length;
    }
    return name;
}

QByteArray FileNameBytes(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    const qsizetype size = name.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = name[i];
        if (c.unicode() < 0x80) {
            bytes += char(c.unicode());
        } else if (IsFileNameEscape(c)) {
            bytes += char(c.unicode() - kEscapeBase);
        } else if (c.isHighSurrogate() && i + 1 < size && name[i + 1].isLowSurrogate()) {
            appendUtf8(bytes, QChar::surrogateToUcs4(c, name[i + 1]));
            ++i;
        } else if (c.isSurrogate()) {
            appendUtf8(bytes, QChar::ReplacementCharacter);
        } else {
            appendUtf8(bytes, c.unicode());
        }
    }
    return bytes;
}

bool HasFileNameEscapes(const QString& name)
{
    for (QChar c : name)
        if (IsFileNameEscape(c))
            return true;
    return false;
}

QString ReadableFileName(const QString& name)
{
    auto needsChange = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F || IsFileNameEscape(c); };
    qsizetype i = 0;
    while (i < name.size() && !needsChange(name[i]))
        ++i;
    if (i == name.size())
        return name;
    QString shown = name;
    for (; i < shown.size(); ++i) {
        const char16_t u = shown[i].unicode();
        if (u < 0x20)
            shown[i] = QChar(char16_t(0x2400 + u));
        else if (u == 0x7F)
            shown[i] = QChar(char16_t(0x2421));
        else if (IsFileNameEscape(shown[i]))
            shown[i] = QChar(QChar::ReplacementCharacter);
    }
    return shown;
}

QString LocalPathOfUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    // The path as it was sent, still percent-encoded, so that no byte is decoded yet.
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    return FileNameFromBytes(QByteArray::fromPercentEncoding(encoded));
}

QUrl UrlOfLocalPath(const QString& path)
{
    QUrl url;
    url.setScheme(QStringLiteral("file"));
    url.setPath(QString::fromLatin1(FileNameBytes(path).toPercentEncoding("/")), QUrl::TolerantMode);
    return url;
}
