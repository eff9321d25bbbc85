// The longest the window thread waits in the engine, over a corpus of damaged files made
// here with Debian's encoders: every event the window thread handles (the transport's
// calls made from it, its timers, the engine's news) is timed, while each file is
// played, sought to 1, 5 and 9 s, paused, resumed and stopped through the one Transport.
// Sound goes to SDL's dummy driver (real-time pacing, no server needed).
// Argument: how many times the corpus is played (default 1).
// On a busy machine the thread also waits for a core: "own ms" takes the time it spent
// ready to run but not running (the kernel's schedstat) off each call, so what it waited
// for itself (a lock, a file, a decoder) shows apart from the machine's load.

#include "Transport.h"
#include "support/AudioFixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>


#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

// Times every event delivered on the window thread.
class TimedApplication : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        const qint64 queuedBefore = queuedNs();
        QElapsedTimer clock;
        clock.start();
        const bool handled = QCoreApplication::notify(receiver, event);
        note(clock.nsecsElapsed(), queuedBefore, "event");
        return handled;
    }
    // How long this thread has waited for a core so far.
    static qint64 queuedNs()
    {
        std::ifstream stat("/proc/thread-self/schedstat");
        long long running = 0;
        long long queued = 0;
        stat >> running >> queued;
        return queued;
    }
    // A call that took `ns` and began when queuedNs() said `queuedBefore`.
    void note(qint64 ns, qint64 queuedBefore, const char* what)
    {
        if (ns > longestNs) {
            longestNs = ns;
            longestWhat = what;
        }
        longestOwnNs = std::max(longestOwnNs, ns - (queuedNs() - queuedBefore));
    }
    qint64 longestNs = 0;
    qint64 longestOwnNs = 0;  // less the waits for a core
    const char* longestWhat = "";
};

TimedApplication* g_app = nullptr;

// Runs `call` on the window thread and counts it as one wait.
void timed(const char* what, const std::function<void()>& call)
{
    const qint64 queued = TimedApplication::queuedNs();
    QElapsedTimer clock;
    clock.start();
    call();
    g_app->note(clock.nsecsElapsed(), queued, what);
}

void spin(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::string copyOf(const std::string& from, const std::string& to)
{
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    return to;
}

struct Damaged {
    std::string name;
    std::string path;
};

std::vector<Damaged> makeCorpus(const std::string& folder)
{
    const std::string wav = folder + "/noise.wav";
    fixtures::WriteWav(wav, {44100, 2, 10.0}, fixtures::Noise(42));
    std::vector<Damaged> corpus;
    auto add = [&](const std::string& name, const std::string& path) { corpus.push_back({name, path}); };
    const std::string mp3 = fixtures::EncodeWithTool(wav, "lame", "clean");
    const long long tag = std::max(fixtures::FindBytes(mp3, "Info"), fixtures::FindBytes(mp3, "Xing"));
    add("mp3 garbage 30 KB", copyOf(mp3, folder + "/garbage.mp3"));
    fixtures::ScrambleBytes(corpus.back().path, 40000, 30000, 7);
    add("mp3 Xing count", copyOf(mp3, folder + "/xing.mp3"));
    fixtures::OverwriteBigEndian32(corpus.back().path, static_cast<std::size_t>(tag) + 8, 0x7FFFFFFF);
    add("mp3 no frames", folder + "/noframes.mp3");
    fixtures::Truncate(mp3, corpus.back().path, 600);
    add("mp3 random", folder + "/random.mp3");
    fixtures::WriteRandomBytes(corpus.back().path, 2000000, 9);
    {
        // ID3v2.4 with unsynchronisation whose size word says more than the tag holds.
        const std::string id3 = folder + "/id3.mp3";
        std::ofstream out(id3, std::ios::binary);
        out.write("ID3\x04\x00\x80\x00\x00\x7f\x7f", 10);
        for (int i = 0; i < 4000; ++i)
            out.write("\xff\x00\xe0", 3);
        std::ifstream in(mp3, std::ios::binary);
        out << in.rdbuf();
        add("mp3 ID3 unsync size", id3);
        // The same, with a size word that takes in the whole file.
        const std::string swallowed = copyOf(id3, folder + "/id3-whole.mp3");
        fixtures::OverwriteBigEndian32(swallowed, 6, 0x7f7f7f7f);
        add("mp3 ID3 size past end", swallowed);
    }
    add("wav 65535 channels", copyOf(wav, folder + "/channels.wav"));
    const long long fmt = fixtures::FindBytes(wav, "fmt ");
    fixtures::PutByte(corpus.back().path, static_cast<std::size_t>(fmt) + 10, 0xFF);
    fixtures::PutByte(corpus.back().path, static_cast<std::size_t>(fmt) + 11, 0xFF);
    add("wav header only", folder + "/header.wav");
    fixtures::Truncate(wav, corpus.back().path, 44);
    const std::string flac = fixtures::EncodeWithTool(wav, "flac", "clean");
    add("flac block size", copyOf(flac, folder + "/blocksize.flac"));
    fixtures::PutByte(corpus.back().path, 8, 0);
    add("flac truncated", folder + "/truncated.flac");
    fixtures::Truncate(flac, corpus.back().path, 100000);
    const std::string ogg = fixtures::EncodeWithTool(wav, "oggenc", "clean");
    add("ogg chained", copyOf(ogg, folder + "/chained.ogg"));
    fixtures::AppendFile(corpus.back().path, ogg);
    add("ogg scrambled", copyOf(ogg, folder + "/scrambled.ogg"));
    fixtures::ScrambleBytes(corpus.back().path, 20000, 20000, 3);
    const std::string opus = fixtures::EncodeWithTool(wav, "opusenc", "clean");
    add("opus chained", copyOf(opus, folder + "/chained.opus"));
    fixtures::AppendFile(corpus.back().path, opus);
    add("opus scrambled", copyOf(opus, folder + "/scrambled.opus"));
    fixtures::ScrambleBytes(corpus.back().path, 20000, 20000, 4);
    const std::string m4a = fixtures::EncodeWithTool(wav, "ffmpeg-m4a", "clean");
    add("m4a scrambled", copyOf(m4a, folder + "/scrambled.m4a"));
    fixtures::ScrambleBytes(corpus.back().path, 30000, 20000, 5);
    add("ac3 scrambled", copyOf(fixtures::EncodeWithTool(wav, "ffmpeg-ac3", "clean"), folder + "/scrambled.ac3"));
    fixtures::ScrambleBytes(corpus.back().path, 30000, 20000, 6);
    return corpus;
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    TimedApplication app(argc, argv);
    g_app = &app;
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    QTemporaryDir dir;
    const std::vector<Damaged> corpus = makeCorpus(dir.path().toStdString());

    COgg ogg(nullptr, nullptr);
    ogg.m_InitSound();
    Transport transport(ogg);
    transport.SetVolume(0.5);
    std::printf("%-22s %12s %8s %8s %10s\n", "file", "longest ms", "in", "own ms", "state");
    double overall = 0;
    double overallOwn = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const Damaged& file : corpus) {
            app.longestNs = 0;
            app.longestOwnNs = 0;
            timed("open", [&] { transport.PlayFile(QString::fromStdString(file.path)); });
            spin(300);
            for (const int ms : {1000, 5000, 9000}) {
                timed("seek", [&] { transport.SeekTo(ms); });
                spin(150);
            }
            timed("pause", [&] { transport.Pause(); });
            spin(50);
            timed("play", [&] { transport.Play(); });
            spin(150);
            const char* state = transport.State() == TransportState::Playing ? "playing"
                : transport.State() == TransportState::Paused                ? "paused"
                                                                               : "stopped";
            timed("stop", [&] { transport.Stop(); });
            spin(50);
            const double longest = static_cast<double>(app.longestNs) / 1e6;
            const double own = static_cast<double>(app.longestOwnNs) / 1e6;
            overall = std::max(overall, longest);
            overallOwn = std::max(overallOwn, own);
            if (round == rounds - 1)
                std::printf("%-22s %12.2f %8s %8.2f %10s\n", file.name.c_str(), longest, app.longestWhat, own, state);
        }
    }
    std::printf("%-22s %12.2f %8s %8.2f\n", "longest of all", overall, "", overallOwn);
    return 0;
}
