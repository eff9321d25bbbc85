#include "CommandLine.h"

#include "FileName.h"

#include <QDir>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

#ifndef SORVEL_VERSION
#define SORVEL_VERSION "0"
#endif

CommandLine ParseCommandLine(const QStringList& args, const QString& currentFolder)
{
    CommandLine line;
    bool optionsEnded = false;
    for (const QString& arg : args) {
        if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("-")) {
            if (arg == QLatin1String("--")) {
                optionsEnded = true;
            } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
                if (line.action == CommandLine::Action::Run)
                    line.action = CommandLine::Action::Help;
            } else if (arg == QLatin1String("--version")) {
                if (line.action == CommandLine::Action::Run)
                    line.action = CommandLine::Action::Version;
            } else {
                line.action = CommandLine::Action::Misuse;
                line.error = QStringLiteral("unknown option '%1'").arg(arg);
                return line;
            }
            continue;
        }
        if (arg.isEmpty())
            continue;  // an empty argument names nothing
        const QString absolute = QDir::isAbsolutePath(arg) ? arg : currentFolder + QLatin1Char('/') + arg;
        line.paths.append(QDir::cleanPath(absolute));
    }
    if (line.action != CommandLine::Action::Run)
        line.paths.clear();
    return line;
}

QString UsageText(const QString& program)
{
    return QStringLiteral(
               "Usage: %1 [FILE|FOLDER]...\n"
               "Plays music files: the files, and the music files below the folders, are added to\n"
               "the temporary list (\"Temprary\" page) and the first of them plays. When Sorvel is\n"
               "already running, that copy comes forward and takes the files.\n"
               "\n"
               "  -h, --help     show this help and exit\n"
               "      --version  show the version and exit\n"
               "  --             end of options: every following argument is a path\n")
        .arg(program);
}

QString VersionText()
{
    return QStringLiteral("Sorvel %1\n").arg(QLatin1String(SORVEL_VERSION));
}

namespace {

QString callerFolder()
{
    // getcwd rather than $PWD: the environment can be stale or absent.
    QByteArray buffer(4096, '\0');
    while (!getcwd(buffer.data(), static_cast<std::size_t>(buffer.size()))) {
        if (buffer.size() > (1 << 20))
            return QDir::rootPath();
        buffer.resize(buffer.size() * 2);
    }
    return FileNameFromBytes(buffer.constData());
}

} // namespace

int HandleCommandLine(int argc, char** argv, QStringList& paths)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(FileNameFromBytes(argv[i]));
    QString program = argc > 0 ? ReadableFileName(FileNameFromBytes(argv[0])) : QString();
    program = program.mid(program.lastIndexOf(QLatin1Char('/')) + 1);
    if (program.isEmpty())
        program = QStringLiteral("sorvel");
    const CommandLine line = ParseCommandLine(args, callerFolder());
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(UsageText(program).toLocal8Bit().constData(), stdout);
        return ExitHelp;
    case CommandLine::Action::Version:
        std::fputs(VersionText().toLocal8Bit().constData(), stdout);
        return ExitHelp;
    case CommandLine::Action::Misuse:
        std::fprintf(stderr, "%s: %s\n%s", program.toLocal8Bit().constData(), line.error.toLocal8Bit().constData(),
                     UsageText(program).toLocal8Bit().constData());
        return ExitMisuse;
    case CommandLine::Action::Run:
        break;
    }
    // A mistyped name is said at once, where the user typed it; it would only become a
    // list entry that never plays.
    paths.clear();
    for (const QString& path : line.paths) {
        struct stat st {};
        if (::stat(FileNameBytes(path).constData(), &st) == 0)
            paths.append(path);
        else
            std::fprintf(stderr, "%s: no such file or folder: %s\n", program.toLocal8Bit().constData(),
                         FileNameBytes(path).constData());
    }
    return -1;
}
