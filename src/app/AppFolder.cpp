#include "AppFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

QString& overrideSlot()
{
    static QString folder;
    return folder;
}

QString withSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

// A folder is usable when a file can really be created in it; the permission bits
// alone do not tell about read-only mounts.
bool canWriteIn(const QString& folder)
{
    QTemporaryFile probe(withSlash(folder) + QStringLiteral(".sorvel-probe-XXXXXX"));
    return probe.open();
}

} // namespace

void SetProgramFolderOverride(const QString& folder)
{
    overrideSlot() = folder;
}

QString ProgramFolder()
{
    if (!overrideSlot().isEmpty())
        return withSlash(overrideSlot());

    static const QString chosen = [] {
        QString exeDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
        if (!exeDir.isEmpty() && canWriteIn(exeDir))
            return withSlash(exeDir);
        QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (base.isEmpty())
            base = QDir::homePath() + QStringLiteral("/.config");
        QString folder = base + QStringLiteral("/sorvel");
        QDir().mkpath(folder);
        return withSlash(folder);
    }();
    return chosen;
}
