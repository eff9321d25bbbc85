// Whether second starts and folder walks hold up the windows, on the program as `main`
// builds it (in this process, on the offscreen platform), with the shipped `sorvel` as
// the second starts:
//  - a probe thread asks the window thread every 10 ms to answer and keeps the longest
//    round trip;
//  - every event the window thread handles is timed (QApplication::notify), so its busy
//    time is known;
//  (1) 200 `sorvel --version` started at once: the floor (the machine busy starting
//      processes, no hand-over);
//  (2) 200 `sorvel SONG_i` started at once: each hands one song over; the list must end
//      with every song once, the last one to arrive playing;
//  (3) /usr dropped on a page while a song plays and the strip moves.
// The hand-over's cost on the window thread is (busy time in (2) - busy time in (1)) / 200.
// Usage: bench_handover [SORVEL] [STARTS]

#include "AppFolder.h"
#include "Cmain.h"
#include "G.h"
#include "Main.h"
#include "Playlist.h"
#include "Program.h"
#include "Transport.h"
#include "fsound.h"
#include "support/AudioFixtures.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Times every event the window thread handles; nested loops count once.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        const Clock::time_point start = Clock::now();
        const char* what = receiver->metaObject()->className();
        const int type = event->type();
        const bool handled = QApplication::notify(receiver, event);
        const double ms = msBetween(start, Clock::now());
        m_busyMs += ms;
        if (ms > m_longestMs) {
            m_longestMs = ms;
            m_longestWhat = QStringLiteral("%1, event %2").arg(QString::fromLatin1(what)).arg(type);
        }
        --m_depth;
        return handled;
    }

    void Reset()
    {
        m_busyMs = 0;
        m_longestMs = 0;
        m_longestWhat.clear();
    }
    double BusyMs() const { return m_busyMs; }
    double LongestMs() const { return m_longestMs; }
    const QString& LongestWhat() const { return m_longestWhat; }

private:
    int m_depth = 0;
    double m_busyMs = 0;
    double m_longestMs = 0;
    QString m_longestWhat;
};

// Asks the window thread to answer every `intervalMs`, from another thread.
class Probe {
public:
    explicit Probe(QObject* windowObject) : m_target(windowObject) {}
    ~Probe() { Stop(); }

    void Start()
    {
        m_stop = false;
        m_longestMs = 0;
        m_count = 0;
        m_thread = std::thread([this] { run(); });
    }
    void Stop()
    {
        m_stop = true;
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    double LongestMs() const { return m_longestMs; }
    int Count() const { return m_count; }

private:
    void run()
    {
        // Ahead of everything else that wants a processor (when allowed): what is measured
        // is the window thread's answer, not the probe's own wait for a turn.
        sched_param realTime{};
        realTime.sched_priority = 10;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &realTime);
        while (!m_stop) {
            const Clock::time_point sent = Clock::now();
            {
                std::lock_guard<std::mutex> hold(m_lock);
                m_answered = false;
            }
            QMetaObject::invokeMethod(m_target, [this] {
                std::lock_guard<std::mutex> hold(m_lock);
                m_answered = true;
                m_wake.notify_all();
            }, Qt::QueuedConnection);
            std::unique_lock<std::mutex> hold(m_lock);
            m_wake.wait(hold, [this] { return m_answered || m_stop; });
            if (!m_answered)
                break;
            const Clock::time_point back = Clock::now();
            m_longestMs = std::max(m_longestMs.load(), msBetween(sent, back));
            ++m_count;
            hold.unlock();
            std::this_thread::sleep_until(sent + std::chrono::milliseconds(10));
        }
    }

    QObject* m_target;
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_answered = false;
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_longestMs{0};
    std::atomic<int> m_count{0};
};

pid_t spawnQuiet(const std::string& program, const std::string& arg)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(arg.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Starts one process per argument at once, from a thread of the bench's own (the window
// thread never forks), and runs the event loop until all have ended.
void startAll(const std::string& sorvel, const std::vector<std::string>& args)
{
    std::atomic<bool> done{false};
    std::thread starter([&] {
        std::vector<pid_t> pids;
        for (const std::string& arg : args)
            pids.push_back(spawnQuiet(sorvel, arg));
        for (pid_t pid : pids) {
            int status = 0;
            if (pid > 0)
                waitpid(pid, &status, 0);
        }
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    starter.join();
}

// Runs the event loop for `ms`.
void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string sorvel = argc > 1 ? argv[1] : SORVEL_EXE;
    const int starts = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    QTemporaryDir work;
    const QString runtime = work.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    chmod(QFile::encodeName(runtime).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("XDG_STATE_HOME", QFile::encodeName(work.filePath(QStringLiteral("state"))));
    qputenv("SDL_AUDIODRIVER", "dummy");
    const QString folder = work.filePath(QStringLiteral("program"));
    QDir().mkpath(folder);
    SetProgramFolderOverride(folder);

    TimedApplication app(argc, argv);
    int boxes = 0;
    SetMessageBoxHandler([&](const QString&, const QString& text, int) {
        ++boxes;
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
        return IDOK;
    });

    // The songs: one short WAV, linked under `starts` names.
    const QString songs = work.filePath(QStringLiteral("songs"));
    QDir().mkpath(songs);
    const std::string song = fixtures::MakeFile(songs.toStdString(), "wav", {44100, 2, 30.0}, fixtures::Tone(440));
    std::vector<std::string> songArgs;
    for (int i = 0; i < starts; ++i) {
        const std::string name = songs.toStdString() + "/song" + std::to_string(1000 + i) + ".wav";
        if (::link(song.c_str(), name.c_str()) != 0)
            return 1;
        songArgs.push_back(name);
    }

    auto cmain = std::make_unique<CMain>();
    if (cmain->CheckRunningInstance({})) {
        std::fprintf(stderr, "another copy answered at the private socket\n");
        return 1;
    }
    int code = 0;
    {
        Program program(std::move(cmain));
        program.Start({});
        settle(1500);
        Probe probe(&program.Player());

        // (1) the floor
        app.Reset();
        probe.Start();
        startAll(sorvel, std::vector<std::string>(static_cast<std::size_t>(starts), "--version"));
        settle(300);
        probe.Stop();
        const double floorMs = probe.LongestMs();
        const double floorBusy = app.BusyMs();
        std::printf("%d x `sorvel --version`:        longest round trip %7.1f ms (%d probes), window busy %7.1f ms\n",
                    starts, floorMs, probe.Count(), floorBusy);

        // (2) the hand-overs
        app.Reset();
        probe.Start();
        const Clock::time_point begin = Clock::now();
        startAll(sorvel, songArgs);
        const double startsMs = msBetween(begin, Clock::now());
        TFormPlayList& list = *program.PlayList();
        list.Pages->FinishDrops(30000);
        settle(300);
        probe.Stop();
        const double handBusy = app.BusyMs();
        std::printf("%d x `sorvel SONG` (hand-over): longest round trip %7.1f ms (%d probes), window busy %7.1f ms, "
                    "longest event %.1f ms (%s), all ended in %.0f ms\n",
                    starts, probe.LongestMs(), probe.Count(), handBusy, app.LongestMs(), qPrintable(app.LongestWhat()),
                    startsMs);
        std::printf("  hand-over cost on the window thread: %.2f ms each (goal < 2 ms)%s\n",
                    (handBusy - floorBusy) / starts, (handBusy - floorBusy) / starts < 2 ? "" : "  GOAL MISSED");
        std::printf("  round trip above the floor: %.1f ms (goal <= 50 ms)%s\n", probe.LongestMs() - floorMs,
                    probe.LongestMs() - floorMs <= 50 ? "" : "  GOAL MISSED");
        const QStringList listed = list.Model().TempPaths();
        QStringList unique = listed;
        unique.removeDuplicates();
        const bool allOnce = listed.size() == starts && unique.size() == starts;
        const QString playing = program.TheTransport().SongPath();
        const bool lastPlays = !listed.isEmpty() && playing == listed.last();
        std::printf("  list: %lld entries, every song once: %s; the last to arrive plays: %s\n",
                    static_cast<long long>(listed.size()), allOnce ? "yes" : "NO", lastPlays ? "yes" : "NO");
        if (!allOnce || !lastPlays)
            code = 1;

        // (3) a walk of /usr while a song plays and the strip moves
        QTimer mover;
        int step = 0;
        QObject::connect(&mover, &QTimer::timeout, [&] {
            program.Player().move(200 + (step % 40), 100 + (step % 40));
            ++step;
        });
        mover.start(10);
        app.Reset();
        probe.Start();
        const Clock::time_point walkStart = Clock::now();
        list.Pages->WMDropFiles(list.TreeView(1), {QStringLiteral("/usr")});
        list.Pages->FinishDrops(600000);
        const double walkMs = msBetween(walkStart, Clock::now());
        probe.Stop();
        mover.stop();
        std::printf("/usr dropped on a page:            longest round trip %7.1f ms (%d probes, goal <= 50 ms)%s, "
                    "longest event %.1f ms (%s), %d entries in %.0f ms\n",
                    probe.LongestMs(), probe.Count(), probe.LongestMs() <= 50 ? "" : "  GOAL MISSED",
                    app.LongestMs(), qPrintable(app.LongestWhat()), list.Model().EntryCount(1), walkMs);
        std::printf("boxes shown: %d\n", boxes);
    }
    fsound::Shutdown();
    SetMessageBoxHandler({});
    return code;
}
