#include "StringList.h"

#include "FileIO.h"
#include "ReplaceFile.h"
#include "TempList.h"

#include <limits>


QStringList TStringList::ToStringList() const
{
    QStringList out;
    out.reserve(Count());
    for (const auto& item : m_items)
        out.append(item.first);
    return out;
}

namespace {

// Any size memory holds: a long list is still the listener's.
constexpr qint64 kMaxListBytes = std::numeric_limits<qint64>::max();

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
