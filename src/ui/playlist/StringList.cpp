#include "StringList.h"

#include "FileIO.h"
#include "ReplaceFile.h"
#include "TempList.h"


QStringList TStringList::ToStringList() const
{
    QStringList out;
    out.reserve(Count());
    for (const auto& item : m_items)
        out.append(item.first);
    return out;
}

namespace {

// Far more than any list of paths; a larger "file" is not one of ours.
constexpr qint64 kMaxListBytes = 64 * 1024 * 1024;

} // namespace

bool TStringList::LoadFromFile(const QString& path)
{
    QByteArray bytes;
    if (!ReadRegularFile(path, bytes, kMaxListBytes))
        return false;
    for (const QString& line : DecodeTempListText(bytes))
        Add(line);
    return true;
}

bool TStringList::SaveToFile(const QString& path) const
{
    // The file is written back in the form it came in: a list that was UTF-8 stays so.
    QByteArray old;
    const TempListEncoding encoding = ReadRegularFile(path, old, kMaxListBytes) ? TempListEncodingOf(old)
                                                                                : TempListEncoding::CodePage949;
    return ReplaceFileContents(path, EncodeTempListText(ToStringList(), encoding));
}
