#include "AppFolder.h"
#include "Cmain.h"
#include "Diagnostics.h"
#include "FileBytes.h"
#include "G.h"
#include "ProfileFile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A byte string literal with its embedded NULs.
template <std::size_t N>
QByteArray bytesOf(const char (&literal)[N])
{
    return QByteArray(literal, qsizetype(N - 1));
}

QByteArray randomBytes(qsizetype size, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& b : bytes)
        b = char(random() & 0xFF);
    return bytes;
}

// One load and one save of the settings in a folder, with the problems reported collected.
class SettingsBytes : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolderOverride(dir.path());
        SetProblemReporter([this](const QString& text) { problems << text; });
        app.FileProblems.Succeeded(QStringLiteral("Sorvel.ini"));
    }
    void TearDown() override
    {
        SetProblemReporter({});
        SetProgramFolderOverride({});
    }
    QString ini() const { return dir.path() + "/Sorvel.ini"; }
    void loadAndSave()
    {
        app.LoadSettings(settings);
        app.SaveSettings(settings);
    }

    QTemporaryDir dir;
    G_STRUCT_tag settings;
    CMain app;
    QStringList problems;
};

TEST_F(SettingsBytes, CodePage949CommentsAndForeignSectionsKeepEveryByte)
{
    // "; 한글 설정" and a value "음악" in code page 949, mixed line ends, a NUL, no final line end.
    const QByteArray comment = bytesOf("; \xC7\xD1\xB1\xDB \xBC\xB3\xC1\xA4\r\n");
    const QByteArray foreign = bytesOf("[\xC0\xBD\xBE\xC7]\nName=\xC0\xBD\xBE\xC7\x00tail\r\n");
    const QByteArray data = bytesOf("[Data]\r\nMainX=7\n\n");
    const QByteArray last = bytesOf("[Other]\r\nx=\xFF\xFE");
    writeAll(ini(), comment + foreign + data + last);
    app.LoadSettings(settings);
    EXPECT_EQ(settings.MainX, 7);
    settings.MainX = 300;
    ASSERT_EQ(app.SaveSettings(settings), 1);
    EXPECT_EQ(readAll(ini()),
              comment + foreign
                  + "[Data]\r\nMainX=300\nMainY=100\r\nPlayListX=200\r\nPlayListY=200\r\nPlayListW=400\r\n"
                    "PlayListH=600\r\nVolume=30\r\n\n"
                  + last + "\r\n[Control]\r\nViewPlayList=1\r\nOutputDevice=\r\nReplayGain=1\r\n");
    EXPECT_TRUE(problems.isEmpty());
}

TEST_F(SettingsBytes, RandomBytesDoNotGrowBeyondTheEightKeys)
{
    const QByteArray junk = randomBytes(4096, 949);
    writeAll(ini(), junk);
    loadAndSave();
    const QByteArray once = readAll(ini());
    EXPECT_TRUE(once.startsWith(junk.left(junk.lastIndexOf('\n') + 1)));
    EXPECT_LE(once.size(), junk.size() + 160) << "only the missing sections and keys are added";
    loadAndSave();
    EXPECT_EQ(readAll(ini()), once) << "a second exit changes nothing";
}

TEST_F(SettingsBytes, HugeFileIsReadOnlyUpToTheLimitAndLeftAsItIs)
{
    QByteArray bytes = "[Data]\r\nMainX=7\r\n";
    const QByteArray line = "; filler line of a damaged settings file\r\n";
    while (bytes.size() < 3 * 1024 * 1024)
        bytes += line;
    bytes += "[Control]\r\nViewPlayList=0\r\n";  // beyond the limit: not seen
    writeAll(ini(), bytes);

    app.LoadSettings(settings);
    EXPECT_EQ(settings.MainX, 7);
    EXPECT_TRUE(settings.ViewPlayList);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("only its first 65536 bytes were read, and it will not be rewritten"))
        << problems[0].toStdString();

    settings.MainX = 9;
    EXPECT_EQ(app.SaveSettings(settings), 0) << "a file that was not read whole is not rewritten";
    EXPECT_EQ(readAll(ini()), bytes);
    ASSERT_GT(problems.size(), 1);  // and the settings not saved are said
    EXPECT_TRUE(problems.last().contains("파일을 저장하지 못했습니다: Sorvel.ini")) << problems.last().toStdString();
}

TEST_F(SettingsBytes, FifoAndLinkToADeviceAreRefusedWithoutHanging)
{
    ASSERT_EQ(::mkfifo(ini().toLocal8Bit().constData(), 0600), 0);
    loadAndSave();  // opening a FIFO for reading would wait for a writer forever
    EXPECT_EQ(settings.MainX, 200);
    struct stat st {};
    ASSERT_EQ(::lstat(ini().toLocal8Bit().constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO is not replaced";
    ASSERT_FALSE(problems.isEmpty());
    EXPECT_TRUE(problems[0].contains("not a regular file"));
    EXPECT_TRUE(problems.last().contains("일반 파일이 아닙니다")) << problems.last().toStdString();

    ASSERT_TRUE(QFile::remove(ini()));
    ASSERT_TRUE(QFile::link("/dev/zero", ini()));
    app.LoadSettings(settings);  // reading /dev/zero whole would never end
    EXPECT_EQ(settings.Volume, 30);
    EXPECT_EQ(app.SaveSettings(settings), 0);
    EXPECT_EQ(QFile::symLinkTarget(ini()), "/dev/zero");
}

TEST_F(SettingsBytes, LinkToARegularFileStaysALink)
{
    const QString target = dir.path() + "/real.ini";
    writeAll(target, "[Data]\nMainX=5\n");
    ASSERT_TRUE(QFile::link(target, ini()));
    loadAndSave();
    EXPECT_EQ(settings.MainX, 5);
    EXPECT_EQ(QFile::symLinkTarget(ini()), target);
    EXPECT_TRUE(readAll(target).startsWith("[Data]\nMainX=5\nMainY=100\n"));
}

TEST_F(SettingsBytes, NoWritableFolderKeepsSettingsInMemoryAndNamesTheFolderOnce)
{
    SetProgramFolderOverride(dir.path(), false);
    app.LoadSettings(settings);
    settings.MainX = 1;
    EXPECT_EQ(app.SaveSettings(settings), 0);
    app.LoadSettings(settings);
    EXPECT_EQ(app.SaveSettings(settings), 0);
    EXPECT_FALSE(QFile::exists(ini()));
    EXPECT_TRUE(problems.isEmpty());  // told once the windows show, not at every save
    ASSERT_EQ(app.FileProblems.StartNotices().size(), 1);
    app.FileProblems.ShowStartNotices();
    ASSERT_FALSE(problems.isEmpty());
    EXPECT_TRUE(problems[0].contains(dir.path())) << problems[0].toStdString();
}

TEST(ProgramFolderChoice, ReadOnlyProgramFolderWithoutAHomeNeverTriesTheRoot)
{
    QStringList made;
    auto make = [&](const QString& folder) {
        made << folder;
        return true;
    };
    auto writable = [](const QString& folder) { return folder.startsWith("/home/u"); };

    FolderChoice choice = ChooseProgramFolder("/opt/sorvel", "", "", make, writable);
    EXPECT_EQ(choice.folder, "/opt/sorvel/");
    EXPECT_FALSE(choice.writable);
    choice = ChooseProgramFolder("/opt/sorvel", "relative/config", "", make, writable);
    EXPECT_FALSE(choice.writable);
    EXPECT_TRUE(made.isEmpty()) << made.join(", ").toStdString();

    choice = ChooseProgramFolder("/opt/sorvel", "", "/home/u", make, writable);
    EXPECT_EQ(choice.folder, "/home/u/.config/sorvel/");
    EXPECT_TRUE(choice.writable);
    choice = ChooseProgramFolder("/opt/sorvel", "/home/u/cfg", "/home/u", make, writable);
    EXPECT_EQ(choice.folder, "/home/u/cfg/sorvel/");
    choice = ChooseProgramFolder("/home/u/bin", "/x", "/y", make, writable);
    EXPECT_EQ(choice.folder, "/home/u/bin/");
}

// A configuration folder that is there but read-only is still where the files are: they
// are read and shown, and nothing is saved anywhere else.
TEST(ProgramFolderChoice, AReadOnlyUserFolderIsReadAndNotReplaced)
{
    auto make = [](const QString&) { return true; };
    auto onlyBin = [](const QString& folder) { return folder.endsWith("/bin") || folder.endsWith("/bin/"); };
    FolderChoice choice = ChooseProgramFolder("/usr/local/bin", "/home/u/cfg", "/home/u", make, onlyBin, true);
    EXPECT_EQ(choice.folder, "/home/u/cfg/sorvel/");
    EXPECT_FALSE(choice.writable);
    auto cannotMake = [](const QString&) { return false; };
    choice = ChooseProgramFolder("/usr/local/bin", "/home/u/cfg", "/home/u", cannotMake, onlyBin, true);
    EXPECT_NE(choice.folder, "/usr/local/bin/");
    EXPECT_FALSE(choice.writable);
    EXPECT_TRUE(ReadOnlyFolderText("/home/u/cfg/sorvel/").contains("/home/u/cfg/sorvel/"));
}

TEST(ProgramFolderChoice, AnInstalledCopyKeepsItsFilesInTheUserFolderEvenWhereBinIsWritable)
{
    auto make = [](const QString&) { return true; };
    auto writable = [](const QString&) { return true; };
    const FolderChoice choice = ChooseProgramFolder("/usr/local/bin", "/home/u/cfg", "/home/u", make, writable, true);
    EXPECT_EQ(choice.folder, "/home/u/cfg/sorvel/");
    EXPECT_TRUE(choice.writable);

    QStringList asked;
    auto exists = [&](const QString& file) {
        asked << file;
        return file == "/opt/p/share/applications/sorvel.desktop";
    };
    EXPECT_TRUE(IsInstalledLayout("/opt/p/bin", exists));
    EXPECT_TRUE(IsInstalledLayout("/opt/p/bin/", exists));
    EXPECT_FALSE(IsInstalledLayout("/opt/q/bin", exists));
    EXPECT_FALSE(IsInstalledLayout("/opt/p/build/src", exists));  // a build folder: beside the program
    EXPECT_FALSE(IsInstalledLayout("/opt/p/sbin", exists));
    EXPECT_EQ(asked.first(), "/opt/p/share/applications/sorvel.desktop");
}

} // namespace
