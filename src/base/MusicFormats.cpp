#include "MusicFormats.h"

#include <algorithm>

const std::vector<MusicFormat>& MusicFormats()
{
    static const std::vector<MusicFormat> formats = {
#define MUSIC_FORMAT(extension, mimeTypes) {extension, mimeTypes},
#include "MusicFormats.def"
#undef MUSIC_FORMAT
    };
    return formats;
}

bool IsMusicFileName(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return false;
    const QString extension = path.mid(dot + 1).toLower();
    const auto& formats = MusicFormats();
    return std::any_of(formats.begin(), formats.end(),
                       [&](const MusicFormat& f) { return extension == QLatin1String(f.Extension); });
}

QStringList MusicMimeTypes()
{
    QStringList types;
    for (const MusicFormat& format : MusicFormats())
        for (const QString& type : QString::fromLatin1(format.MimeTypes).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (!types.contains(type))
                types.append(type);
    return types;
}

QStringList MusicFileDialogFilters()
{
    QStringList patterns;
    QStringList filters;
    for (const MusicFormat& format : MusicFormats()) {
        const QString pattern = QStringLiteral("*.") + QLatin1String(format.Extension);
        patterns.append(pattern);
        filters.append(QStringLiteral("%1 (%2)").arg(QLatin1String(format.Extension), pattern));
    }
    filters.prepend(QStringLiteral("음악 파일 (%1)").arg(patterns.join(QLatin1Char(' '))));
    filters.append(QStringLiteral("*.* (*)"));
    return filters;
}
