#pragma once
// Process-level operations grouped in one object, which the program owns and hands to the
// windows: the settings file, the master volume and the single running copy. Window
// thread only.

#include "SaveProblems.h"

#include <QString>
#include <QStringList>

struct G_STRUCT_tag;

class CMain {
public:
    // Reads "Sorvel.ini" from the program's folder into `settings`; missing keys and
    // values that are not integers give the defaults, and so does a file that is not a
    // regular file. Values are not checked here: the windows fit them to the screen.
    // A folder that cannot be written is told among the start notices. Returns 1.
    int LoadSettings(G_STRUCT_tag& settings);
    // Writes the eight keys from `settings`, keeping every other byte of the file.
    // Returns 1, or 0 when the file could not be written (the old file stays whole; told
    // through FileProblems) or the folder cannot be written (told at start).
    int SaveSettings(const G_STRUCT_tag& settings);

    // What the listener is told about the program's own files.
    SaveProblems FileProblems;

    // The system's master volume in percent; 0 when there is no mixer or no volume
    // control. Opens and closes the mixer on every call.
    float GetMasterVolume();
    // Sets the first and the last channel to `percent`; nothing without a mixer.
    void SetMasterVolume(float percent);

    // True when a running copy of the program was found and told to come forward (the
    // caller then ends with exit code 1); `paths` (absolute, from the command line) go
    // to that copy after the hand-over. Otherwise this process now owns the hand-over
    // socket, which `TakeHandOverSocket` gives to the server. Runs before Qt is set up.
    bool CheckRunningInstance(const QStringList& paths = {});
    // The listening socket bound by `CheckRunningInstance`, or -1; the caller owns it.
    int TakeHandOverSocket();

private:
    int m_handOverSocket = -1;
};
