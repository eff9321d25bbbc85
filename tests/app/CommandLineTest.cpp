// The command line: paths made absolute from the caller's folder, the options, and what
// a mistyped option does.

#include "CommandLine.h"

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

} // namespace
