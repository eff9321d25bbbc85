#include "SettingsFile.h"

#include "AppFolder.h"
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
    Settings.OutputDevice = ini.ReadString(kControl, kOutputDevice, QString());
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
    return ini.UpdateFile(error);
}
