#pragma once
// The whole program as one object: the hand-over server, the docking manager, the engine
// (the audio library, the stream player, the spectrum thread and the one transport), the
// playlist model, the player and playlist windows and what joins them, the tray icon and
// the desktop's way in (media controls, second starts, end requests). The windows are
// handed what they show and never make or end an engine object or the model. `main`
// makes one inside a QApplication; tests build it the same way. Window thread only.

#include "Cmain.h"
#include "G.h"

#include <QStringList>

#include <memory>

class DesktopIntegration;
class FontPageRelease;
class HandOverServer;
class PlaybackEngine;
class PlaylistModel;
class QtWindowSystem;
class TFormMain;
class TFormPlayList;
class TMagnetic;
class TSimpleTimerHandler;
class TTrayIcon;
class TTrayIconHandler;
class Transport;

class Program {
public:
    // `app` is the one that made the single-instance check; its listening socket (if it
    // bound one) goes to the hand-over server. Installs the windows' message boxes.
    explicit Program(std::unique_ptr<CMain> app = std::make_unique<CMain>());
    // The playlist window goes first (it writes "Temprary.txt"), then the player (it
    // writes the settings, with the playlist window's last geometry).
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Shows the player and hands the command line's absolute paths to the playlist (the
    // first entry they lead to plays); the decoding libraries open a moment later.
    void Start(const QStringList& paths);

    // Everything `main` does: the command line, the single-instance check, the signal
    // handlers, the QApplication, a Program and its event loop. Returns the exit code.
    static int Run(int argc, char** argv);

    TFormMain& Player() { return *m_formMain; }
    TFormPlayList* PlayList() { return m_formPlayList.get(); }
    PlaylistModel& Playlist() { return *m_playlist; }
    Transport& TheTransport();
    PlaybackEngine& Engine() { return *m_engine; }

private:
    class PlayListLink;

    // Holds the song heard at the last exit, paused where it was.
    void carryOn();

    // What "Sorvel.ini" holds: the player window loads it, both windows are placed by it,
    // and the player writes it.
    G_STRUCT_tag m_settings;
    // Reads and writes the settings, sets the master volume, and hears what the program's
    // files lack; it outlives everything below.
    std::unique_ptr<CMain> m_app;
    // In order of creation; the destructor undoes it in the order the windows need.
    std::unique_ptr<HandOverServer> m_handOver;
    std::unique_ptr<QtWindowSystem> m_windowSystem;
    std::unique_ptr<TMagnetic> m_magnetic;
    std::unique_ptr<PlayListLink> m_link;
    std::unique_ptr<PlaybackEngine> m_engine;
    // The pages and the list: the playlist window shows them, the transport plays them.
    std::unique_ptr<PlaylistModel> m_playlist;
    std::unique_ptr<TFormMain> m_formMain;
    std::unique_ptr<TFormPlayList> m_formPlayList;
    // The notification-area icon and the hidden handlers it shares with any other icon
    // and timer of the program.
    std::unique_ptr<TSimpleTimerHandler> m_timers;
    std::unique_ptr<TTrayIconHandler> m_trayIcons;
    std::unique_ptr<TTrayIcon> m_trayIcon;
    std::unique_ptr<DesktopIntegration> m_desktop;
    // Gives back the font files' pages once the windows have drawn new text.
    std::unique_ptr<FontPageRelease> m_fontPages;
};
