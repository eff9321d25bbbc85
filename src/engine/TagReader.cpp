#include "TagReader.h"

#include "DecodeModule.h"
#include "FileName.h"
#include "FormatSniff.h"
#include "WaveDecoder.h"

#include <QStringDecoder>

#include <iconv.h>
#include <sys/stat.h>

#include <cerrno>
#include <optional>


namespace {

std::optional<QString> strictUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QString> strictCodePage949(const QByteArray& bytes)
{
    iconv_t cd = iconv_open("UTF-8", "CP949");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    QByteArray out(bytes.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(bytes.constData());
    std::size_t inLeft = static_cast<std::size_t>(bytes.size());
    char* to = out.data();
    std::size_t outLeft = static_cast<std::size_t>(out.size());
    const std::size_t result = iconv(cd, &in, &inLeft, &to, &outLeft);
    const bool ok = result != static_cast<std::size_t>(-1) && inLeft == 0
        && iconv(cd, nullptr, nullptr, &to, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.truncate(static_cast<qsizetype>(to - out.data()));
    return QString::fromUtf8(out);
}

// The bytes a Latin-1 reading turned into this text, when it can be one.
std::optional<QByteArray> latin1Bytes(const QString& text)
{
    bool high = false;
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return std::nullopt;
        high = high || c.unicode() > 0x7F;
    }
    if (!high)
        return std::nullopt;
    return text.toLatin1();
}

QString tagValue(const std::string& raw)
{
    return raw.empty() ? QString() : DecodeTagText(QByteArray::fromStdString(raw)).trimmed();
}

void fillFrom(FileTagText& tags, const fsound::RawTagSet& set)
{
    if (tags.title.isEmpty())
        tags.title = tagValue(set[0]);
    if (tags.artist.isEmpty())
        tags.artist = tagValue(set[1]);
    if (tags.artist.isEmpty())
        tags.artist = tagValue(set[2]);
    if (tags.album.isEmpty())
        tags.album = tagValue(set[3]);
}

} // namespace

QString DecodeTagText(const QByteArray& value)
{
    const std::optional<QString> utf8 = strictUtf8(value);
    if (!utf8) {
        if (std::optional<QString> korean = strictCodePage949(value))
            return *korean;
        return QString::fromLatin1(value);
    }
    if (const std::optional<QByteArray> original = latin1Bytes(*utf8)) {
        if (std::optional<QString> inner = strictUtf8(*original))
            return *inner;
        if (std::optional<QString> korean = strictCodePage949(*original))
            return *korean;
    }
    return *utf8;
}

FileTagText ReadFileTags(const QString& path)
{
    FileTagText tags;
    const QByteArray name = FileNameBytes(path);
    struct stat info {};
    // FIFOs and devices would block or never end; folders are not songs.
    if (name.isEmpty() || ::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return tags;
    // The tags are read by the decoder that plays the file, so that showing them loads
    // nothing more than playing it; FFmpeg reads what that one cannot.
    const std::string file = name.toStdString();
    const fsound::DecoderKind kind = fsound::SniffDecoderKind(file);
    std::vector<fsound::RawTagSet> sets;
    bool read = false;
    if (kind == fsound::DecoderKind::Wave) {
        read = fsound::WaveDecoder::ReadTags(file, &sets);
    } else if (const fsound::DecodeApi* api = fsound::DecodeModule(kind)) {
        read = api->readTags(name.constData(), &sets);
    }
    if (!read && kind != fsound::DecoderKind::Ffmpeg) {
        sets.clear();
        if (const fsound::DecodeApi* api = fsound::DecodeModule(fsound::DecoderKind::Ffmpeg))
            read = api->readTags(name.constData(), &sets);
    }
    if (!read)
        return tags;
    for (const fsound::RawTagSet& set : sets)
        fillFrom(tags, set);
    return tags;
}
