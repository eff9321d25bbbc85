// Helper of bench/engine/side_by_side.sh: the pieces of the playback benchmark that a
// shell cannot do well.
//
//   playback_probe make-song PATH SECONDS KBPS   writes a music-like stereo song, of the
//       kind its extension names (.mp3, .flac, .ogg, .opus, .wav)
//   playback_probe strip FOLDER SONG FIFO        the real player strip with a one-song
//       playlist; reads commands from FIFO ("play" = the play/pause button, "stop",
//       "hide" = to the tray, "show" = back from it, "quit") and prints
//       "press <realtime ns>" as each button is pressed
//   playback_probe wait-window TITLE             waits until a viewable window whose
//       name contains TITLE exists; prints the realtime ns it was seen
//   playback_probe cover                         maps a window over the whole screen, above
//       every other one, and keeps it until it is ended
//   playback_probe iconify TITLE                 asks the window manager to minimise the
//       viewable window whose name contains TITLE
//   playback_probe onsets RAW END_NS PRESS_NS... reads s16le stereo 44.1 kHz sound that
//       a recorder stopped at END_NS (realtime) and prints, for each press, the ms from
//       the press to the first sound after it

#include "AppFolder.h"
#include "Dxbuttons.h"
#include "Main.h"
#include "fsound.h"
#include "support/StripWithEngine.h"
#include "support/AudioFixtures.h"
#include "support/OneSongList.h"
#include "support/Onsets.h"

#include <QApplication>
#include <QSocketNotifier>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace {

long long nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

int makeSong(const std::string& path, double seconds, int kbps)
{
    const double rate = path.ends_with(".opus") ? 48000 : 44100;
    // Chords with a moving envelope and a little noise: the encoder works as on music.
    auto noise = fixtures::Noise(3, 0.05);
    auto signal = [&](std::int64_t frame, int channel) {
        const double t = static_cast<double>(frame) / rate;
        double sum = 0;
        for (double hz : {220.0, 277.2, 329.6, 440.0, 880.0})
            sum += std::sin(2 * std::numbers::pi * hz * (1 + 0.001 * channel) * t) / 6;
        return static_cast<float>(sum * (0.6 + 0.4 * std::sin(2 * std::numbers::pi * 0.3 * t)) + noise(frame, channel));
    };
    const std::string ext = path.substr(path.find_last_of('.') + 1);
    bool ok = false;
    if (ext == "wav")
        ok = fixtures::WriteWav(path, {44100, 2, seconds}, signal);
    else if (ext == "flac")
        ok = fixtures::Encode(path, "flac", "flac", 0, {44100, 2, seconds}, signal);
    else if (ext == "ogg")
        ok = fixtures::Encode(path, "ogg", "libvorbis", kbps * 1000, {44100, 2, seconds}, signal);
    else if (ext == "opus")
        ok = fixtures::Encode(path, "ogg", "libopus", kbps * 1000, {48000, 2, seconds}, signal);
    else
        ok = fixtures::Encode(path, "mp3", "libmp3lame", kbps * 1000, {44100, 2, seconds}, signal);
    return ok ? 0 : 1;
}

int strip(int argc, char** argv)
{
    QApplication app(argc, argv);
    SetProgramFolderOverride(QString::fromLocal8Bit(argv[2]));
    OneSongList playList(QString::fromLocal8Bit(argv[3]));
    // Opened read-write so the FIFO never reports end of file between writers.
    const int fd = ::open(argv[4], O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 2;
    int result = 0;
    {
        StripWithEngine strip(&playList);
        TFormMain& form = strip.form;
        form.show();
        QSocketNotifier notifier(fd, QSocketNotifier::Read);
        std::string pending;
        QObject::connect(&notifier, &QSocketNotifier::activated, &form, [&] {
            char buffer[256];
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got <= 0)
                return;
            pending.append(buffer, static_cast<std::size_t>(got));
            std::size_t end;
            while ((end = pending.find('\n')) != std::string::npos) {
                const std::string command = pending.substr(0, end);
                pending.erase(0, end + 1);
                const long long at = nowNs();
                if (command == "play")
                    form.BPlay->Click();
                else if (command == "stop")
                    form.BStop->Click();
                else if (command == "hide")
                    form.hide();  // what the tray icon does
                else if (command == "show")
                    form.RestoreFromTray();
                else if (command == "quit")
                    form.close();
                std::printf("press %s %lld %lld\n", command.c_str(), at, nowNs());
                std::fflush(stdout);
            }
        });
        result = QApplication::exec();
    }
    ::close(fd);
    fsound::Shutdown();
    return result;
}

bool nameContains(Display* display, Window window, const char* title)
{
    char* name = nullptr;
    bool found = false;
    if (XFetchName(display, window, &name) && name) {
        found = std::strstr(name, title) != nullptr;
        XFree(name);
    }
    if (found)
        return true;
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &items, &after, &data)
            == Success
        && data) {
        found = std::strstr(reinterpret_cast<char*>(data), title) != nullptr;
        XFree(data);
    }
    return found;
}

// The viewable window under `window` whose name contains `title`; 0 for none.
Window findViewable(Display* display, Window window, const char* title, int depth)
{
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable
        && nameContains(display, window, title))
        return window;
    if (depth > 3)
        return 0;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i)
        found = findViewable(display, children[i], title, depth + 1);
    if (children)
        XFree(children);
    return found;
}

// Event-driven, so that waiting costs the launching program no CPU: every window made
// at the top level is watched for its name and its mapping.
int waitWindow(const char* title)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    auto seen = [&] {
        std::printf("%lld\n", nowNs());
        XCloseDisplay(display);
        return 0;
    };
    if (findViewable(display, root, title, 0) != 0)
        return seen();
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == CreateNotify) {
            XSelectInput(display, event.xcreatewindow.window, StructureNotifyMask | PropertyChangeMask);
            XSync(display, False);
            // It may have been mapped before it was watched.
            if (findViewable(display, event.xcreatewindow.window, title, 3) != 0)
                return seen();
        } else if (event.type == MapNotify || event.type == PropertyNotify) {
            const Window window = event.type == MapNotify ? event.xmap.window : event.xproperty.window;
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state != IsUnmapped
                && nameContains(display, window, title))
                return seen();
        }
    }
}

// An override-redirect window is stacked above every managed one, always-on-top
// windows too, so that the X server reports everything under it as fully obscured.
int cover()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(display, screen);
    const Window window = XCreateWindow(display, RootWindow(display, screen), 0, 0, DisplayWidth(display, screen),
                                        DisplayHeight(display, screen), 0, CopyFromParent, InputOutput,
                                        CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(display, window);
    XSync(display, False);
    std::printf("%lld\n", nowNs());
    std::fflush(stdout);
    for (;;)
        ::pause();
}

int iconify(const char* title)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    const Window window = findViewable(display, DefaultRootWindow(display), title, 0);
    const bool asked = window != 0 && XIconifyWindow(display, window, DefaultScreen(display)) != 0;
    XSync(display, False);
    XCloseDisplay(display);
    return asked ? 0 : 1;
}

int onsets(int argc, char** argv)
{
    std::vector<long long> presses;
    for (int i = 4; i < argc; ++i)
        presses.push_back(std::atoll(argv[i]));
    for (const double ms : bench::OnsetsMs(argv[2], std::atoll(argv[3]), presses)) {
        if (ms < 0)
            std::printf("none\n");
        else
            std::printf("%.1f\n", ms);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make-song" && argc == 5)
        return makeSong(argv[2], std::atof(argv[3]), std::atoi(argv[4]));
    if (mode == "strip" && argc == 5)
        return strip(argc, argv);
    if (mode == "cover" && argc == 2)
        return cover();
    if (mode == "iconify" && argc == 3)
        return iconify(argv[2]);
    if (mode == "wait-window" && argc == 3)
        return waitWindow(argv[2]);
    if (mode == "onsets" && argc >= 4)
        return onsets(argc, argv);
    std::fprintf(stderr, "usage: see the head of bench/engine/playback_probe.cpp\n");
    return 2;
}
