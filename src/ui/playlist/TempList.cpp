#include "TempList.h"

#include "CodePage.h"

#include <QStringDecoder>

namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr qsizetype kUtf8MarkSize = 3;

} // namespace

QStringList DecodeTempListText(const QByteArray& bytes)
{
    const bool utf8 = bytes.startsWith(QByteArrayView(kUtf8Mark, kUtf8MarkSize));
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype pos = utf8 ? kUtf8MarkSize : 0;

    QStringList lines;
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        const auto length = static_cast<std::size_t>(end - pos);
        if (utf8) {
            // Only the file's first three bytes are its mark; a U+FEFF that starts a line
            // is part of the path and must survive (QString::fromUtf8 would drop it).
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
            lines.append(decoder.decode(QByteArrayView(data + pos, end - pos)));
        } else {
            lines.append(DecodeCodePage949Text(data + pos, length));
        }
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

QByteArray EncodeTempListText(const QStringList& lines)
{
    QByteArray out;
    bool allFit = true;
    for (const QString& line : lines) {
        const auto encoded = ToCodePage949(line);
        if (!encoded) {
            allFit = false;
            break;
        }
        out += *encoded;
        out += "\r\n";
    }
    if (allFit)
        return out;

    out = QByteArray(kUtf8Mark, kUtf8MarkSize);
    for (const QString& line : lines) {
        out += line.toUtf8();
        out += "\r\n";
    }
    return out;
}
