#include "AppFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

struct Override {
    QString folder;
    bool writable = true;
};

Override& overrideSlot()
{
    static Override slot;
    return slot;
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

const FolderChoice& chosenFolder()
{
    static const FolderChoice chosen = [] {
        const QString exeDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
        const bool installed
            = IsInstalledLayout(exeDir, [](const QString& file) { return QFileInfo(file).isFile(); });
        return ChooseProgramFolder(exeDir, qEnvironmentVariable("XDG_CONFIG_HOME"), qEnvironmentVariable("HOME"),
                                   [](const QString& folder) { return QDir().mkpath(folder); }, canWriteIn,
                                   installed);
    }();
    return chosen;
}

} // namespace

FolderChoice ChooseProgramFolder(const QString& exeFolder, const QString& xdgConfigHome, const QString& home,
                                 const std::function<bool(const QString&)>& makeFolder,
                                 const std::function<bool(const QString&)>& canWriteIn, bool installed)
{
    if (!installed && !exeFolder.isEmpty() && canWriteIn(exeFolder))
        return {withSlash(exeFolder), true};
    QString base;
    if (QDir::isAbsolutePath(xdgConfigHome))
        base = xdgConfigHome;
    else if (QDir::isAbsolutePath(home))
        base = withSlash(home) + QStringLiteral(".config");
    if (!base.isEmpty()) {
        const QString folder = withSlash(base) + QStringLiteral("sorvel");
        if (makeFolder(folder) && canWriteIn(folder))
            return {withSlash(folder), true};
    }
    return {exeFolder.isEmpty() ? QString() : withSlash(exeFolder), false};
}

bool IsInstalledLayout(const QString& exeFolder, const std::function<bool(const QString&)>& exists)
{
    const QString folder = QDir::cleanPath(exeFolder);
    if (!folder.endsWith(QLatin1String("/bin")))
        return false;
    return exists(QDir::cleanPath(folder + QStringLiteral("/../share/applications/sorvel.desktop")));
}

void SetProgramFolderOverride(const QString& folder, bool writable)
{
    overrideSlot() = {folder, writable};
}

QString ProgramFolder()
{
    if (!overrideSlot().folder.isEmpty())
        return withSlash(overrideSlot().folder);
    return chosenFolder().folder;
}

bool ProgramFolderWritable()
{
    if (!overrideSlot().folder.isEmpty())
        return overrideSlot().writable;
    return chosenFolder().writable;
}
