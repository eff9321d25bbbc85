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

void LoadSettingsFile(G_STRUCT_tag& settings)
{
    const ProfileFile ini(settingsPath());
    settings.ViewPlayList = ini.ReadBool(kControl, QStringLiteral("ViewPlayList"), true);
    settings.MainX = ini.ReadInteger(kData, QStringLiteral("MainX"), 200);
    settings.MainY = ini.ReadInteger(kData, QStringLiteral("MainY"), 100);
    settings.PlayListX = ini.ReadInteger(kData, QStringLiteral("PlayListX"), 200);
    settings.PlayListY = ini.ReadInteger(kData, QStringLiteral("PlayListY"), 200);
    settings.PlayListW = ini.ReadInteger(kData, QStringLiteral("PlayListW"), 400);
    settings.PlayListH = ini.ReadInteger(kData, QStringLiteral("PlayListH"), 600);
    settings.Volume = ini.ReadInteger(kData, QStringLiteral("Volume"), 30);
    settings.ExactVolume = readExactVolume(ini);
    settings.SongPath = decodedName(ini.ReadString(kData, QStringLiteral("SongPath"), QString()));
    settings.SongPage = ini.ReadInteger(kData, QStringLiteral("SongPage"), 0);
    settings.SongEntry = ini.ReadInteger(kData, QStringLiteral("SongEntry"), -1);
    bool ok = false;
    const qint64 position = ini.ReadString(kData, QStringLiteral("SongPosition"), QString()).toLongLong(&ok);
    settings.SongPositionMs = ok && position > 0 ? position : 0;
    settings.OutputDevice = ini.ReadString(kControl, kOutputDevice, QString());
    settings.ReplayGain = ini.ReadBool(kControl, QStringLiteral("ReplayGain"), true);
}

QString StoredOutputDevice()
{
    return ProfileFile(settingsPath(), ProfileFile::Problems::Quiet).ReadString(kControl, kOutputDevice, QString());
}

bool SaveSettingsFile(const G_STRUCT_tag& settings, int* error)
{
    if (!ProgramFolderWritable()) {
        if (error)
            *error = EROFS;
        return false;
    }
    ProfileFile ini(settingsPath(), ProfileFile::Problems::Quiet);  // told at load already
    ini.WriteBool(kControl, QStringLiteral("ViewPlayList"), settings.ViewPlayList);
    ini.WriteInteger(kData, QStringLiteral("MainX"), settings.MainX);
    ini.WriteInteger(kData, QStringLiteral("MainY"), settings.MainY);
    ini.WriteInteger(kData, QStringLiteral("PlayListX"), settings.PlayListX);
    ini.WriteInteger(kData, QStringLiteral("PlayListY"), settings.PlayListY);
    ini.WriteInteger(kData, QStringLiteral("PlayListW"), settings.PlayListW);
    ini.WriteInteger(kData, QStringLiteral("PlayListH"), settings.PlayListH);
    ini.WriteInteger(kData, QStringLiteral("Volume"), settings.Volume);
    ini.WriteString(kControl, kOutputDevice, settings.OutputDevice);
    if (settings.ExactVolume >= 0.0)
        ini.WriteString(kData, QStringLiteral("ExactVolume"), QString::number(settings.ExactVolume, 'g', 17));
    // Nothing heard yet: the song keys appear with the first song, and stay to be cleared.
    if (!settings.SongPath.isEmpty() || !ini.ReadString(kData, QStringLiteral("SongPath"), QString()).isEmpty()) {
        ini.WriteString(kData, QStringLiteral("SongPath"), encodedName(settings.SongPath));
        ini.WriteInteger(kData, QStringLiteral("SongPage"), settings.SongPage);
        ini.WriteInteger(kData, QStringLiteral("SongEntry"), settings.SongEntry);
        ini.WriteString(kData, QStringLiteral("SongPosition"), QString::number(settings.SongPositionMs));
    }
    ini.WriteBool(kControl, QStringLiteral("ReplayGain"), settings.ReplayGain);
    return ini.UpdateFile(error);
}
