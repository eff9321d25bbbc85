// From a press to the change being heard, and to it being shown. The player strip and
// its transport run in this process on Qt's offscreen platform, playing through a
// private PulseAudio server with a null sink whose monitor is read back; the songs say
// in every sample where they are (support/CodedSong.h). For each of pause, resume and
// next, pressed on the strip's button and asked as the media controls ask it (the
// transport called directly), twenty times: the ms from the press until the sink's
// monitor carries the change (the sound stops, goes on, or is the next song) and until
// the strip has painted it (the play button's glyph, the title). The sink's own latency
// is printed beside them.
// Usage: bench_transport

#include "AppFolder.h"
#include "Dxbuttons.h"
#include "G.h"
#include "Main.h"
#include "PlayListLink.h"
#include "StripLabel.h"
#include "Transport.h"
#include "fsound.h"
#include "support/StripWithEngine.h"
#include "support/CodedSong.h"
#include "support/OneSongList.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double nowMs()
{
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

class Songs : public WindowlessList {
public:
    QStringList songs;
    int current = 0;
    QString CurrentSong() override { return songs.value(current); }
    QString NextSong() override
    {
        current = (current + 1) % songs.size();
        return songs[current];
    }
};

// What the monitor carried: per 10 ms piece, when it was played and which song.
class Monitor {
public:
    explicit Monitor(const std::string& source) : m_source(source)
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~Monitor()
    {
        m_stop = true;
        m_thread.join();
    }
    // The first piece played after `fromMs` for which `wanted(song)` holds; -1 if none
    // within `limitMs`.
    double FirstAfter(double fromMs, const std::function<bool(int)>& wanted, double limitMs)
    {
        const double end = fromMs + limitMs;
        while (nowMs() < end + 50) {
            {
                std::lock_guard guard(m_lock);
                for (const auto& [at, song] : m_pieces)
                    if (at >= fromMs && at <= end && wanted(song))
                        return at - fromMs;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return -1;
    }

private:
    void Run()
    {
        const pa_sample_spec format{PA_SAMPLE_S16LE, coded::kRate, 2};
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = coded::kRate / 100 * 4;
        int error = 0;
        pa_simple* in = pa_simple_new(nullptr, "bench", PA_STREAM_RECORD, m_source.c_str(), "monitor", &format, nullptr,
                                      &attr, &error);
        if (!in)
            return;
        std::vector<std::int16_t> piece(coded::kRate / 100 * 2);
        while (!m_stop) {
            if (pa_simple_read(in, piece.data(), piece.size() * 2, &error) < 0)
                break;
            const double at = nowMs() - static_cast<double>(pa_simple_get_latency(in, &error)) / 1000.0;
            const coded::Frame frame = coded::DecodeFrame(piece[piece.size() - 2], piece.back());
            std::lock_guard guard(m_lock);
            m_pieces.emplace_back(at, frame.song);
        }
        pa_simple_free(in);
    }

    std::string m_source;
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::vector<std::pair<double, int>> m_pieces;  // m_lock
    std::thread m_thread;
};

// Counts the paints of a widget and says when the first one after a moment came.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    double lastPaint = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            lastPaint = nowMs();
        return false;
    }
};

double WaitForPaint(PaintWatch& watch, double fromMs)
{
    const double end = fromMs + 1000;
    while (nowMs() < end) {
        if (watch.lastPaint >= fromMs)
            return watch.lastPaint - fromMs;
        QApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return -1;
}

void Print(const char* what, std::vector<double> values)
{
    values.erase(std::remove(values.begin(), values.end(), -1.0), values.end());
    if (values.empty()) {
        std::printf("%-40s no figures\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-40s median %6.1f ms  (%5.1f .. %5.1f, %zu runs)\n", what, values[values.size() / 2], values.front(),
                values.back(), values.size());
}

pid_t StartServer(const std::string& runtime)
{
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        execlp("pulseaudio", "pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1",
               "--load=module-null-sink sink_name=bench_null rate=44100 format=s16le channels=2",
               "--load=module-native-protocol-unix", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

} // namespace

int main(int argc, char** argv)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()) {
        std::printf("pulseaudio not installed: skipped\n");
        return 0;
    }
    QTemporaryDir work;
    const std::string runtime = work.filePath(QStringLiteral("run")).toStdString();
    QDir().mkpath(QString::fromStdString(runtime));
    chmod(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("HOME", work.path().toLocal8Bit().constData(), 1);
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("PULSE_SERVER");
    const pid_t server = StartServer(runtime);
    for (int i = 0; i < 100 && !QFile::exists(QString::fromStdString(runtime + "/pulse/native")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    QApplication app(argc, argv);
    Songs songs;
    for (int song = 0; song < 2; ++song) {
        const QString path = work.filePath(QStringLiteral("song%1.wav").arg(song));
        coded::Write(path.toStdString(), song, 45);
        songs.songs << path;
    }
    SetProgramFolderOverride(work.path());
    {
        StripWithEngine strip(&songs);
        TFormMain& form = strip.form;
        Transport& transport = strip.engine.TheTransport();
        form.TransportOf().SetVolume(1.0);
        form.show();
        PaintWatch glyph(form.BPlay);
        PaintWatch title(form.LTitle);
        Monitor monitor("bench_null.monitor");
        transport.Play();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 1500)
            QApplication::processEvents(QEventLoop::AllEvents, 10);

        auto silent = [](int song) { return song < 0; };
        auto sounding = [](int song) { return song >= 0; };
        struct Round {
            const char* name;
            std::function<void()> press;
            std::function<bool(int)> heard;
            PaintWatch* shown;
        };
        int nextSong = 1;
        const std::vector<Round> rounds = {
            {"pause, strip button", [&] { form.BPlay->Click(); }, silent, &glyph},
            {"resume, strip button", [&] { form.BPlay->Click(); }, sounding, &glyph},
            {"pause, media controls", [&] { transport.Pause(); }, silent, &glyph},
            {"resume, media controls", [&] { transport.Play(); }, sounding, &glyph},
        };
        std::vector<std::vector<double>> heard(rounds.size() + 2), shown(rounds.size() + 2);
        const int runs = qEnvironmentVariableIntValue("BENCH_RUNS") > 0 ? qEnvironmentVariableIntValue("BENCH_RUNS") : 20;
        for (int run = 0; run < runs; ++run) {
            for (std::size_t r = 0; r < rounds.size(); ++r) {
                const double at = nowMs();
                rounds[r].press();
                shown[r].push_back(WaitForPaint(*rounds[r].shown, at));
                heard[r].push_back(monitor.FirstAfter(at, rounds[r].heard, 1500));
                QElapsedTimer rest;
                rest.start();
                while (rest.elapsed() < 300)
                    QApplication::processEvents(QEventLoop::AllEvents, 10);
            }
            for (int way = 0; way < 2; ++way) {
                const double at = nowMs();
                const int song = nextSong;
                if (way == 0)
                    form.dxButton1->Click();
                else
                    transport.Next();
                nextSong = 1 - nextSong;
                shown[rounds.size() + way].push_back(WaitForPaint(title, at));
                heard[rounds.size() + way].push_back(monitor.FirstAfter(at, [song](int s) { return s == song; }, 1500));
                QElapsedTimer rest;
                rest.start();
                while (rest.elapsed() < 300)
                    QApplication::processEvents(QEventLoop::AllEvents, 10);
            }
        }
        const char* names[] = {"pause, strip button",   "resume, strip button", "pause, media controls",
                               "resume, media controls", "next, strip button",   "next, media controls"};
        std::printf("press to heard (at the sink's monitor):\n");
        for (std::size_t r = 0; r < heard.size(); ++r)
            Print(names[r], heard[r]);
        std::printf("press to shown (the strip painted):\n");
        for (std::size_t r = 0; r < shown.size(); ++r)
            Print(names[r], shown[r]);
        transport.Stop();
    }
    fsound::Shutdown();
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    return 0;
}
