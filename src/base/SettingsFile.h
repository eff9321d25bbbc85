#pragma once
// "Sorvel.ini" in the program's folder: its eight keys, "OutputDevice" in "Control" and
// the keys kept after them in "Data" (the exact volume, the song to carry on with), read
// into and written from a settings record. Window thread only.

#include <QString>

struct G_STRUCT_tag;

// Reads the file into `settings`; missing keys and values that are not integers give the
// defaults, and so does a file that is not a regular file. Values are not checked here:
// the windows fit them to the screen.
void LoadSettingsFile(G_STRUCT_tag& settings);
// The sound device "OutputDevice" names, read on its own and quietly (LoadSettingsFile
// says what is wrong with the file): the engine opens its output before the windows
// load the settings.
QString StoredOutputDevice();
// Writes the keys from `settings`, keeping every other byte of the file. False when
// the file could not be written (the old file stays whole; `error` says why, as
// ProfileFile::UpdateFile does) or the program's folder cannot be written (EROFS).
bool SaveSettingsFile(const G_STRUCT_tag& settings, int* error = nullptr);
