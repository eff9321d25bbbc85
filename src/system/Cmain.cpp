#include "Cmain.h"

#include "SettingsFile.h"

CMain App;

int CMain::LoadSettings()
{
    LoadSettingsFile();
    return 1;
}

int CMain::SaveSettings()
{
    return SaveSettingsFile() ? 1 : 0;
}
