#include "Cmain.h"

#include "AppFolder.h"
#include "SettingsFile.h"

CMain App;

int CMain::LoadSettings()
{
    if (!ProgramFolderWritable())
        FileProblems.TellAtStart(ReadOnlyFolderText(ProgramFolder()));
    LoadSettingsFile();
    return 1;
}

int CMain::SaveSettings()
{
    const QString name = QStringLiteral("Sorvel.ini");
    int error = 0;
    if (SaveSettingsFile(&error)) {
        FileProblems.Succeeded(name);
        return 1;
    }
    if (ProgramFolderWritable())
        FileProblems.Failed(name, error);
    return 0;
}
