#pragma once
// Faults a test cannot make with permission bits when it runs as root (as CI does): a full
// disk, a read-only mount, another user. Each runs the code under test in a forked child
// that makes the fault for itself alone (a private mount namespace, its own uid), so
// nothing outside the child ever sees it. The child answers with its exit code; code
// kCannotIsolate means the machine allows no such fault, and the test skips saying why.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace isolation {

constexpr int kCannotIsolate = 77;

// Runs `body` in a child; its exit code, or -1 when it died another way.
inline int RunInChild(const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// In the child: a mount namespace of its own, whose mounts nobody else sees.
inline bool PrivateMounts()
{
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// In the child: `folder` becomes an empty tmpfs of `kilobytes`.
inline bool SmallDisk(const QString& folder, int kilobytes)
{
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k";
    return PrivateMounts()
        && ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) == 0;
}

// In the child: `folder` can no longer be written, by root either.
inline bool ReadOnlyFolder(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    return PrivateMounts() && ::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) == 0
        && ::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

// In the child: becomes the user nobody (65534), when root.
inline bool BecomeNobody()
{
    return ::getuid() == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

} // namespace isolation
