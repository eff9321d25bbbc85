#include "CodePage.h"

#include <QStringDecoder>

#include <cerrno>
#include <iconv.h>

namespace {

bool isAscii(const char* bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return false;
    return true;
}

// One iconv descriptor per direction and thread; opening one costs far more than a
// conversion, and a page holds thousands of paths.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (m_cd != invalid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of `in`; stops at the first byte that cannot be converted and
    // reports where it is through `consumed`. Returns false on any failure.
    bool convert(const char* in, std::size_t size, QByteArray& out, std::size_t& consumed)
    {
        consumed = 0;
        if (m_cd == invalid())
            return false;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        out.resize(static_cast<qsizetype>(size * 4 + 8));
        char* src = const_cast<char*>(in);
        std::size_t srcLeft = size;
        char* dst = out.data();
        std::size_t dstLeft = static_cast<std::size_t>(out.size());
        const std::size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
        bool ok = rc != static_cast<std::size_t>(-1);
        if (ok)
            ok = iconv(m_cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<std::size_t>(-1);
        out.resize(static_cast<qsizetype>(dst - out.data()));
        consumed = size - srcLeft;
        return ok && srcLeft == 0;
    }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }
    iconv_t m_cd;
};

Converter& encoder()
{
    thread_local Converter c("CP949", "UTF-8");
    return c;
}

Converter& decoder()
{
    thread_local Converter c("UTF-8", "CP949");
    return c;
}

} // namespace

std::optional<QByteArray> ToCodePage949(const QString& text)
{
    // A lone surrogate (a byte of a name that is not UTF-8, FileName.h) turns into '?'
    // in toUtf8; that is not the text any more, so it counts as not representable.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text[i].isSurrogate())
            continue;
        if (!text[i].isHighSurrogate() || i + 1 >= text.size() || !text[i + 1].isLowSurrogate())
            return std::nullopt;
        ++i;
    }
    const QByteArray utf8 = text.toUtf8();
    if (isAscii(utf8.constData(), static_cast<std::size_t>(utf8.size())))
        return utf8;
    QByteArray out;
    std::size_t consumed = 0;
    if (!encoder().convert(utf8.constData(), static_cast<std::size_t>(utf8.size()), out, consumed))
        return std::nullopt;
    return out;
}

std::optional<QString> FromCodePage949(const char* bytes, std::size_t size)
{
    if (isAscii(bytes, size))
        return QString::fromLatin1(bytes, static_cast<qsizetype>(size));
    QByteArray out;
    std::size_t consumed = 0;
    if (!decoder().convert(bytes, size, out, consumed))
        return std::nullopt;
    return QString::fromUtf8(out);
}

std::optional<QString> FromStrictUtf8(const char* bytes, std::size_t size)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes, static_cast<qsizetype>(size)));
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

QString DecodeCodePage949Text(const char* bytes, std::size_t size)
{
    if (auto text = FromCodePage949(bytes, size))
        return *text;
    if (auto text = FromStrictUtf8(bytes, size))
        return *text;

    QString result;
    std::size_t pos = 0;
    while (pos < size) {
        QByteArray out;
        std::size_t consumed = 0;
        const bool ok = decoder().convert(bytes + pos, size - pos, out, consumed);
        result += QString::fromUtf8(out);
        pos += consumed;
        if (ok)
            break;
        // The bytes converted before the failure are in `out`; skip one bad byte.
        result += QChar(0xFFFD);
        ++pos;
    }
    return result;
}
