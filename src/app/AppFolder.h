#pragma once
// The folder that holds the program's own files ("Sorvel.ini", the page files,
// "Temprary.txt"): the executable's folder when it is writable, else a per-user
// folder under $XDG_CONFIG_HOME/sorvel. The result always ends with '/'.

#include <QString>

QString ProgramFolder();

// Tests point the program at a temporary folder. An empty path restores the default.
void SetProgramFolderOverride(const QString& folder);
