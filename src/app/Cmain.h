#pragma once
// Process-level operations grouped in the one `App` object: settings now; the single
// instance check, master volume and play request join it with their windows.

class CMain {
public:
    // Reads "Sorvel.ini" from the program's folder into `Settings`; missing keys and
    // values that are not integers give the defaults, and so does a file that is not a
    // regular file. Values are not checked here: the windows fit them to the screen.
    // Returns 1.
    int LoadSettings();
    // Writes the eight keys from `Settings`, keeping every other byte of the file.
    // Returns 1, or 0 when the file could not be written (the old file stays whole) or
    // there is no writable folder for it (said once on stderr, at load).
    int SaveSettings();
};

extern CMain App;
