#pragma once
// The program's command line: `sorvel [FILE|FOLDER]...`, `--help`, `--version`. Read
// before anything else, before the current folder changes and before Qt is set up, so
// that relative paths are taken from the caller's folder.

#include <QString>
#include <QStringList>

struct CommandLine {
    enum class Action {
        Run,      // start (or hand the paths to a running copy)
        Help,     // print the usage on stdout, exit 0
        Version,  // print the version on stdout, exit 0
        Misuse,   // print `error` and the usage on stderr, exit 2
    };
    Action action = Action::Run;
    // Absolute, cleaned paths in the order given; not checked for existence here.
    QStringList paths;
    // What was wrong, for Misuse.
    QString error;
};

// `args` without the program name; `currentFolder` is the caller's current folder.
// "--" ends the options: every argument after it is a path, even one starting with '-'.
// A lone "-" is a path too. Options that take no value refuse one ("--help=x").
CommandLine ParseCommandLine(const QStringList& args, const QString& currentFolder);

// The texts printed for --help and --version; `program` is the name the user typed.
QString UsageText(const QString& program);
QString VersionText();

// The exit codes of the command line's own answers.
constexpr int ExitHelp = 0;
constexpr int ExitMisuse = 2;

// Parses argv, prints what --help, --version or a misuse ask for, and returns the exit
// code then; -1 when the program should run, with the paths in `paths`. Paths that do
// not exist are named on stderr and left out.
int HandleCommandLine(int argc, char** argv, QStringList& paths);
