#include "Cmain.h"

#include "AppFolder.h"
#include "SettingsFile.h"

int CMain::LoadSettings(G_STRUCT_tag& settings)
{
    if (!ProgramFolderWritable())
        FileProblems.TellAtStart(ReadOnlyFolderText(ProgramFolder()));
    LoadSettingsFile(settings);
    return 1;
}

int CMain::SaveSettings(const G_STRUCT_tag& settings)
{
    const QString name = QStringLiteral("Sorvel.ini");
    int error = 0;
    if (SaveSettingsFile(settings, &error)) {
        FileProblems.Succeeded(name);
        return 1;
    }
    if (ProgramFolderWritable())
        FileProblems.Failed(name, error);
    return 0;
}
