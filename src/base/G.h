#pragma once
// The settings record and the message-box helpers.
// Everything here is used on the user-interface thread only.

#include <QString>
#include <cstdint>
#include <functional>

// What "Sorvel.ini" holds. The program owns the one record it loads at start and writes
// at exit, and hands it to the windows that place themselves by it.
struct G_STRUCT_tag {
    std::uint8_t Reserved = 0;   // first byte, not used by any operation
    bool ViewPlayList = false;   // playlist window was showing at the last exit
    std::int32_t MainX = 0;
    std::int32_t MainY = 0;
    std::int32_t PlayListX = 0;
    std::int32_t PlayListY = 0;
    std::int32_t PlayListW = 0;
    std::int32_t PlayListH = 0;
    std::int32_t Volume = 0;     // player volume knob offset in pixels from its track's left end

    // Kept after the keys above, which keep their meaning: the player's volume as it
    // holds it, 0 to 1 (the knob's pixel rounds it), negative when not stored; and what
    // was heard at the last exit, to carry on from there.
    double ExactVolume = -1.0;
    QString SongPath;                // the song's file name, byte for byte; empty: none
    std::int32_t SongPage = 0;       // 1-5 a page, 6 the temporary list, 0 neither
    std::int32_t SongEntry = -1;     // its row there
    std::int64_t SongPositionMs = 0; // where in it
    // Where sound goes: a PulseAudio sink's name, or SDL's name for a device when SDL
    // plays; empty for the sound server's default. Not one of the original's keys.
    QString OutputDevice;
    // Songs play at the loudness their ReplayGain tags state (the popup menu's switch).
    bool ReplayGain = true;
};

// Message-box flags of the original desktop, as the callers pass them.
enum MessageBoxFlags : int {
    MB_OK = 0,
    MB_YESNO = 4,             // Yes and No buttons
    MB_ICONHAND = 16,         // error icon
    MB_ICONQUESTION = 32,
    MB_ICONEXCLAMATION = 48,  // warning icon
    MB_ICONASTERISK = 64,     // information icon
};
constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Modal box captioned "알림". Returns the pressed button's code.
int ShowNotice(const QString& text, int flags);
// Modal box captioned "경고". Returns the pressed button's code.
int ShowWarning(const QString& text, int flags);
// Modal box with any caption; the two helpers above and the engine's error box go through it.
// ownedByApp false gives a box with no owner window.
int ShowMessageBox(const QString& caption, const QString& text, int flags, bool ownedByApp = true);

// How boxes reach the screen. The program sets the windows' own box at start-up; until it
// does (and in libraries used without windows) a box's text goes to standard error and
// IDOK is returned, so nothing below the windows needs a widget.
using MessageBoxPresenter =
    std::function<int(const QString& caption, const QString& text, int flags, bool ownedByApp)>;
void SetMessageBoxPresenter(MessageBoxPresenter presenter);

// Seam for tests: when set, every box is handed to the handler instead of being shown,
// and the handler's result is returned. An empty handler gives the presenter back its boxes.
using MessageBoxHandler = std::function<int(const QString& caption, const QString& text, int flags)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// Where the boxes of the functions above go. They are free functions that any layer calls
// without being handed anything, so the seam is the one object below the windows that is
// reached from everywhere: through `MessageSeamInstance`, which only this file's functions
// call (tests/one_accessor_check.sh lists its callers).
struct MessageSeam {
    MessageBoxPresenter presenter;
    MessageBoxHandler handler;
};
MessageSeam& MessageSeamInstance();
