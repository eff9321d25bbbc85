#pragma once
// The program's place on the desktop, built beside `main` (it knows the windows, which
// nothing else in src/app does): songs from the command line and from a second start,
// the media controls on the session bus, and a clean end on SIGTERM, SIGINT, SIGHUP or
// the session manager's quit. Window thread only.

#include <QStringList>

#include <memory>

class HandOverServer;
class MprisService;
class PlayerMedia;
class ShutdownRequests;
class SaveProblems;
class TFormMain;
class TFormPlayList;
class Transport;

class DesktopIntegration {
public:
    // The windows, the server and `fileProblems` must outlive this object.
    DesktopIntegration(Transport& transport, TFormMain& formMain, TFormPlayList& formPlayList,
                       HandOverServer& handOver, SaveProblems& fileProblems);
    ~DesktopIntegration();
    DesktopIntegration(const DesktopIntegration&) = delete;
    DesktopIntegration& operator=(const DesktopIntegration&) = delete;

    // Takes the command line's paths (the first entry they lead to plays), and from
    // here on a second start's paths, the bus and the end requests.
    void Start(const QStringList& paths);

    // The application's icon and desktop file name; before any window is shown.
    static void SetApplicationIdentity();

private:
    Transport& m_transport;
    TFormMain& m_formMain;
    TFormPlayList& m_formPlayList;
    HandOverServer& m_handOver;
    SaveProblems& m_fileProblems;
    std::unique_ptr<PlayerMedia> m_media;
    std::unique_ptr<MprisService> m_mpris;
    std::unique_ptr<ShutdownRequests> m_shutdown;
};
