// The command line: paths made absolute from the caller's folder, the options, and what
// a mistyped option does.

#include "CommandLine.h"
#include "FileName.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using Action = CommandLine::Action;

TEST(CommandLineParse, PathsAreTakenFromTheCallersFolderInOrder)
{
    const CommandLine line
        = ParseCommandLine({"song.mp3", "../up/가요.ogg", "/abs/a.wav", "./dir/", "-", ""}, "/home/u/music");
    EXPECT_EQ(line.action, Action::Run);
    EXPECT_EQ(line.paths, QStringList({"/home/u/music/song.mp3", "/home/u/up/가요.ogg", "/abs/a.wav",
                                       "/home/u/music/dir", "/home/u/music/-"}));
}

TEST(CommandLineParse, DoubleDashEndsTheOptions)
{
    const CommandLine line = ParseCommandLine({"--", "--help", "-x.mp3"}, "/c");
    EXPECT_EQ(line.action, Action::Run);
    EXPECT_EQ(line.paths, QStringList({"/c/--help", "/c/-x.mp3"}));
}

TEST(CommandLineParse, HelpAndVersionWinOverPathsAndUnknownOptionsAreMisuse)
{
    EXPECT_EQ(ParseCommandLine({"a.mp3", "--help"}, "/c").action, Action::Help);
    EXPECT_TRUE(ParseCommandLine({"a.mp3", "--help"}, "/c").paths.isEmpty());
    EXPECT_EQ(ParseCommandLine({"-h"}, "/c").action, Action::Help);
    EXPECT_EQ(ParseCommandLine({"--version", "--help"}, "/c").action, Action::Version);

    for (const char* bad : {"--verbose", "-v", "--help=yes", "--version=2", "---"}) {
        const CommandLine line = ParseCommandLine({"a.mp3", bad, "--help"}, "/c");
        EXPECT_EQ(line.action, Action::Misuse) << bad;
        EXPECT_TRUE(line.error.contains(QString::fromUtf8(bad))) << line.error.toStdString();
    }
}

TEST(CommandLineParse, UsageNamesTheProgramAndItsOptions)
{
    const QString usage = UsageText("sorvel");
    EXPECT_TRUE(usage.startsWith("Usage: sorvel [FILE|FOLDER]..."));
    EXPECT_TRUE(usage.contains("--help"));
    EXPECT_TRUE(usage.contains("--version"));
    EXPECT_TRUE(VersionText().startsWith("Sorvel "));
}

// A name that is not UTF-8 is taken from argv as its bytes, checked and handed on whole.
TEST(CommandLineRun, NamesAreKeptAsBytes)
{
    QTemporaryDir dir;
    const QByteArray folder = FileNameBytes(dir.path());
    const QByteArray latin1 = folder + "/caf\xE9.mp3";
    const QByteArray broken = folder + "/two\nlines.mp3";
    for (const QByteArray& name : {latin1, broken})
        ::close(::open(name.constData(), O_CREAT | O_WRONLY, 0644));
    ASSERT_EQ(::access(latin1.constData(), F_OK), 0);
    QByteArray program("sorvel");
    QByteArray first = latin1;
    QByteArray second = broken;
    char* argv[] = {program.data(), first.data(), second.data(), nullptr};
    QStringList paths;
    EXPECT_EQ(HandleCommandLine(3, argv, paths), -1);
    ASSERT_EQ(paths.size(), 2);
    EXPECT_EQ(FileNameBytes(paths.at(0)), latin1);
    EXPECT_EQ(FileNameBytes(paths.at(1)), broken);
}

} // namespace
