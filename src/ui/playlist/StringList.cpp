#include "StringList.h"

#include "FileIO.h"
#include "TempList.h"

#include <QFile>

QStringList TStringList::ToStringList() const
{
    QStringList out;
    out.reserve(Count());
    for (const auto& item : items_)
        out.append(item.first);
    return out;
}

bool TStringList::LoadFromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    for (const QString& line : DecodeTempListText(bytes))
        Add(line);
    return true;
}

bool TStringList::SaveToFile(const QString& path) const
{
    return ReplaceFileContents(path, EncodeTempListText(ToStringList()));
}
