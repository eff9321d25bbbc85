#include "AppFolder.h"

#include "FileName.h"

#include <QCoreApplication>
#include <QDir>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
// alone do not tell about read-only mounts. Names are bytes (FileName.h) all the way.
bool canWriteIn(const QString& folder)
{
    QByteArray probe = FileNameBytes(withSlash(folder)) + ".sorvel-probe-XXXXXX";
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.constData());
    return true;
}

} // namespace

bool MakeFolders(const QString& folder)
{
    const QByteArray path = FileNameBytes(folder);
    for (qsizetype slash = path.indexOf('/', 1); ; slash = path.indexOf('/', slash + 1)) {
        const QByteArray step = slash < 0 ? path : path.left(slash);
        if (::mkdir(step.constData(), 0777) != 0 && errno != EEXIST)
            return false;
        if (slash < 0)
            break;
    }
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

bool isFile(const QString& path)
{
    struct stat st {};
    return ::stat(FileNameBytes(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// The executable's folder, from the kernel's own link to it.
QString executableFolder()
{
    QByteArray target(PATH_MAX + 1, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", target.data(), static_cast<size_t>(target.size()));
    if (length <= 0 || length > PATH_MAX)
        return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    target.truncate(length);
    const qsizetype slash = target.lastIndexOf('/');
    return FileNameFromBytes(slash <= 0 ? QByteArray("/") : target.left(slash));
}

QString environmentPath(const char* name)
{
    return FileNameFromBytes(qgetenv(name));
}

const FolderChoice& chosenFolder()
{
    static const FolderChoice chosen = [] {
        const QString exeDir = executableFolder();
        const bool installed = IsInstalledLayout(exeDir, isFile);
        return ChooseProgramFolder(exeDir, environmentPath("XDG_CONFIG_HOME"), environmentPath("HOME"), MakeFolders,
                                   canWriteIn, installed);
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
        // A folder that is there but cannot be written is still where the files are.
        if (makeFolder(folder))
            return {withSlash(folder), canWriteIn(folder)};
        if (installed)
            return {withSlash(folder), false};
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

QStringList ProgramFiles()
{
    const QString folder = ProgramFolder();
    QStringList files{folder + QStringLiteral("Sorvel.ini")};
    for (int n = 1; n <= 5; ++n)
        files.append(folder + QStringLiteral("MusicList%1.dat").arg(n));
    files.append(folder + QStringLiteral("Temprary.txt"));
    return files;
}

bool ProgramFolderWritable()
{
    if (!overrideSlot().folder.isEmpty())
        return overrideSlot().writable;
    return chosenFolder().writable;
}

QString StateFolder()
{
    const QString state = environmentPath("XDG_STATE_HOME");
    if (QDir::isAbsolutePath(state))
        return withSlash(withSlash(state) + QStringLiteral("sorvel"));
    const QString home = environmentPath("HOME");
    if (QDir::isAbsolutePath(home))
        return withSlash(home) + QStringLiteral(".local/state/sorvel/");
    return {};
}

QString ReadOnlyFolderText(const QString& folder)
{
    return QStringLiteral("프로그램의 파일을 두는 폴더에 쓸 수 없습니다: %1\n"
                          "설정과 목록은 읽어서 보여 주지만 어디에도 저장하지 않습니다.")
        .arg(ReadableFileName(folder));
}
