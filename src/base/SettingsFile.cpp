#include "SettingsFile.h"

#include "AppFolder.h"
#include "FileName.h"
#include "G.h"
#include "ProfileFile.h"

#include <cerrno>

namespace {

QString settingsPath()
{
    return ProgramFolder() + QStringLiteral("Sorvel.ini");
}

const QString kControl = QStringLiteral("Control");
const QString kData = QStringLiteral("Data");
const QString kOutputDevice = QStringLiteral("OutputDevice");

// A file name is written as its bytes, percent-encoded: any byte a name may hold (a line
// break, a byte that is not UTF-8) survives the text file.
QString encodedName(const QString& path)
{
    return QString::fromLatin1(FileNameBytes(path).toPercentEncoding("/"));
}

QString decodedName(const QString& text)
{
    return FileNameFromBytes(QByteArray::fromPercentEncoding(text.toLatin1()));
}

double readExactVolume(const ProfileFile& ini)
{
    bool ok = false;
    const double volume = ini.ReadString(kData, QStringLiteral("ExactVolume"), QString()).toDouble(&ok);
    return ok && volume >= 0.0 && volume <= 1.0 ? volume : -1.0;
}

} // namespace

void LoadSettingsFile()
{
    const ProfileFile ini(settingsPath());
    Settings.ViewPlayList = ini.ReadBool(kControl, QStringLiteral("ViewPlayList"), true);
    Settings.MainX = ini.ReadInteger(kData, QStringLiteral("MainX"), 200);
    Settings.MainY = ini.ReadInteger(kData, QStringLiteral("MainY"), 100);
    Settings.PlayListX = ini.ReadInteger(kData, QStringLiteral("PlayListX"), 200);
    Settings.PlayListY = ini.ReadInteger(kData, QStringLiteral("PlayListY"), 200);
    Settings.PlayListW = ini.ReadInteger(kData, QStringLiteral("PlayListW"), 400);
    Settings.PlayListH = ini.ReadInteger(kData, QStringLiteral("PlayListH"), 600);
    Settings.Volume = ini.ReadInteger(kData, QStringLiteral("Volume"), 30);
    Settings.ExactVolume = readExactVolume(ini);
    Settings.SongPath = decodedName(ini.ReadString(kData, QStringLiteral("SongPath"), QString()));
    Settings.SongPage = ini.ReadInteger(kData, QStringLiteral("SongPage"), 0);
    Settings.SongEntry = ini.ReadInteger(kData, QStringLiteral("SongEntry"), -1);
    bool ok = false;
    const qint64 position = ini.ReadString(kData, QStringLiteral("SongPosition"), QString()).toLongLong(&ok);
    Settings.SongPositionMs = ok && position > 0 ? position : 0;
    Settings.OutputDevice = ini.ReadString(kControl, kOutputDevice, QString());
    Settings.ReplayGain = ini.ReadBool(kControl, QStringLiteral("ReplayGain"), true);
}

QString StoredOutputDevice()
{
    return ProfileFile(settingsPath(), ProfileFile::Problems::Quiet).ReadString(kControl, kOutputDevice, QString());
}

bool SaveSettingsFile(int* error)
{
    if (!ProgramFolderWritable()) {
        if (error)
            *error = EROFS;
        return false;
    }
    ProfileFile ini(settingsPath(), ProfileFile::Problems::Quiet);  // told at load already
    ini.WriteBool(kControl, QStringLiteral("ViewPlayList"), Settings.ViewPlayList);
    ini.WriteInteger(kData, QStringLiteral("MainX"), Settings.MainX);
    ini.WriteInteger(kData, QStringLiteral("MainY"), Settings.MainY);
    ini.WriteInteger(kData, QStringLiteral("PlayListX"), Settings.PlayListX);
    ini.WriteInteger(kData, QStringLiteral("PlayListY"), Settings.PlayListY);
    ini.WriteInteger(kData, QStringLiteral("PlayListW"), Settings.PlayListW);
    ini.WriteInteger(kData, QStringLiteral("PlayListH"), Settings.PlayListH);
    ini.WriteInteger(kData, QStringLiteral("Volume"), Settings.Volume);
    ini.WriteString(kControl, kOutputDevice, Settings.OutputDevice);
    if (Settings.ExactVolume >= 0.0)
        ini.WriteString(kData, QStringLiteral("ExactVolume"), QString::number(Settings.ExactVolume, 'g', 17));
    // Nothing heard yet: the song keys appear with the first song, and stay to be cleared.
    if (!Settings.SongPath.isEmpty() || !ini.ReadString(kData, QStringLiteral("SongPath"), QString()).isEmpty()) {
        ini.WriteString(kData, QStringLiteral("SongPath"), encodedName(Settings.SongPath));
        ini.WriteInteger(kData, QStringLiteral("SongPage"), Settings.SongPage);
        ini.WriteInteger(kData, QStringLiteral("SongEntry"), Settings.SongEntry);
        ini.WriteString(kData, QStringLiteral("SongPosition"), QString::number(Settings.SongPositionMs));
    }
    ini.WriteBool(kControl, QStringLiteral("ReplayGain"), Settings.ReplayGain);
    return ini.UpdateFile(error);
}
