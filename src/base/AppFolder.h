#pragma once
// The folder that holds the program's own files ("Sorvel.ini", the page files,
// "Temprary.txt"): the executable's folder when it is writable, else a per-user folder
// under $XDG_CONFIG_HOME/sorvel (or $HOME/.config/sorvel). The result always ends with '/'.
//
// When the per-user folder exists but cannot be written (a read-only configuration
// folder), it is still the folder: what it holds is read and shown, and
// ProgramFolderWritable() is false, so nothing is saved anywhere. With no per-user folder
// at all, a copy run from its build folder reads beside the executable; an installed
// copy never uses its bin/ folder.

#include <QString>
#include <QStringList>

#include <functional>

QString ProgramFolder();
bool ProgramFolderWritable();
// The full paths of the program's own files in ProgramFolder: "Sorvel.ini",
// MusicList1.dat to MusicList5.dat and "Temprary.txt".
QStringList ProgramFiles();

// Tests point the program at a temporary folder. An empty path restores the default.
void SetProgramFolderOverride(const QString& folder, bool writable = true);

// Where the program keeps what it could not save in ProgramFolder (a temporary list
// whose file could not be written): $XDG_STATE_HOME/sorvel/, else
// $HOME/.local/state/sorvel/; empty when neither is an absolute path. Ends with '/'; the
// folder may not exist yet. Read from the environment at every call.
QString StateFolder();
// Makes `folder` with its parents; true when it is a folder afterwards.
bool MakeFolders(const QString& folder);
// The one message that says the program's folder cannot be written: it names `folder`.
QString ReadOnlyFolderText(const QString& folder);

struct FolderChoice {
    QString folder;   // ends with '/'
    bool writable = false;
};

// The choice itself, with the file system and the environment passed in. A relative or
// empty $XDG_CONFIG_HOME is ignored, as the base directory rules say; an empty or
// relative $HOME gives no per-user folder at all (never "/.config").
// `makeFolder` creates a folder with its parents; `canWriteIn` tells whether a file can
// really be created in a folder. An `installed` copy never keeps its files beside the
// executable, even where it could (a prefix the user owns, or root): bin/ is no place
// for settings.
FolderChoice ChooseProgramFolder(const QString& exeFolder, const QString& xdgConfigHome, const QString& home,
                                 const std::function<bool(const QString&)>& makeFolder,
                                 const std::function<bool(const QString&)>& canWriteIn, bool installed = false);

// True when the executable stands where `cmake --install` puts it: in a "bin" folder
// whose prefix holds share/applications/sorvel.desktop. `exists` tells whether a file
// exists. A copy run from its build folder, or copied anywhere else, is not installed.
bool IsInstalledLayout(const QString& exeFolder, const std::function<bool(const QString&)>& exists);
