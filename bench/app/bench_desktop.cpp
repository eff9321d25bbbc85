// The desktop side of start-up, measured on the shipped program:
//  (a0) `sorvel --version`: loading the executable and its shared libraries, the floor
//      under (a) and (b);
//  (a) `sorvel SONG` to the first sound: from the start of the process until the first
//      non-silent sample reaches the audio device, with a fresh program folder each time
//      and a warm cache: through SDL's disk driver (the fallback output; the driver
//      keeps real time like a sound card), and through a private PulseAudio server with
//      a null sink whose monitor is recorded (the output a desktop user gets);
//  (b) the hand-over round trip to a running copy: connect, send, and the copy's close
//      that says it has taken the message (read and parsed off its window thread); plain, and
//      with one song path; and a whole second start
//      (`sorvel SONG`, exit code 1) as the user's shell sees it.
// Usage: bench_desktop [SORVEL]; the built sorvel by default.

#include "SingleInstance.h"
#include "support/AudioFixtures.h"
#include "support/Onsets.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures {
    double median = 0, low = 0, high = 0;
};

Figures summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    if (values.empty())
        return {};
    return {values[values.size() / 2], values.front(), values.back()};
}

void print(const char* what, const std::vector<double>& values, double goal)
{
    const Figures f = summarise(values);
    std::printf("%-52s median %7.2f ms  (min %.2f, max %.2f, n=%zu)%s\n", what, f.median, f.low, f.high,
                values.size(), goal > 0 ? (f.median < goal ? "  goal met" : "  GOAL MISSED") : "");
}

// Starts `program args` with extra environment; returns its pid.
pid_t spawn(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env,
            bool quiet = true)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    for (const std::string& entry : env)
        putenv(const_cast<char*>(entry.c_str()));
    if (quiet) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

int finish(pid_t pid, bool terminate)
{
    if (terminate)
        kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Milliseconds until the device file holds a non-zero byte; -1 after 10 s.
double waitForSound(const std::string& deviceFile, Clock::time_point start)
{
    int fd = -1;
    std::vector<char> chunk(1 << 16);
    while (msSince(start) < 10000) {
        if (fd < 0)
            fd = open(deviceFile.c_str(), O_RDONLY);
        if (fd >= 0) {
            const ssize_t got = read(fd, chunk.data(), chunk.size());
            for (ssize_t i = 0; i < got; ++i) {
                if (chunk[static_cast<std::size_t>(i)] != 0) {
                    const double ms = msSince(start);
                    close(fd);
                    return ms;
                }
            }
            if (got > 0)
                continue;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (fd >= 0)
        close(fd);
    return -1;
}

std::string privateFolder(const QString& path)
{
    QDir().mkpath(path);
    chmod(QFile::encodeName(path).constData(), 0700);
    return path.toStdString();
}

long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// (a) through PulseAudio: a private server with a null sink, its monitor recorded the
// whole time (a recorder started afresh each round sees the null sink's own start-up).
void firstSoundThroughPulse(const std::string& sorvel, const std::string& song, const QTemporaryDir& work)
{
    const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    const QString parec = QStandardPaths::findExecutable(QStringLiteral("parec"));
    if (pulseaudio.isEmpty() || parec.isEmpty()) {
        std::printf("(a) through PulseAudio: pulseaudio or parec not installed, skipped\n");
        return;
    }
    const QString home = work.filePath(QStringLiteral("pulse"));
    const std::string runtime = privateFolder(home + "/run");
    const std::string base = "XDG_RUNTIME_DIR=" + runtime;
    const pid_t server = spawn(pulseaudio.toStdString(),
                               {"--daemonize=no", "-n", "--exit-idle-time=-1", "--load=module-null-sink sink_name=bench_null",
                                "--load=module-native-protocol-unix"},
                               {base, "HOME=" + privateFolder(home)});
    const Clock::time_point started = Clock::now();
    while (!QFile::exists(QString::fromStdString(runtime + "/pulse/native")) && msSince(started) < 10000)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string raw = home.toStdString() + "/monitor.raw";
    const pid_t recorder = fork();
    if (recorder == 0) {
        putenv(const_cast<char*>(base.c_str()));
        const int out = open(raw.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        execl(parec.toLocal8Bit().constData(), "parec", "--latency-msec=5", "-d", "bench_null.monitor",
              "--format=s16le", "--rate=44100", "--channels=2", "--raw", static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    std::vector<long long> starts;
    for (int round = 0; round < 8; ++round) {
        const QString folder = home + QStringLiteral("/r%1").arg(round);
        const std::vector<std::string> env{base, "QT_QPA_PLATFORM=offscreen", "HOME=" + privateFolder(folder),
                                           "XDG_CONFIG_HOME=" + privateFolder(folder + "/config"),
                                           "DBUS_SESSION_BUS_ADDRESS=disabled:"};
        starts.push_back(nowNs());
        const pid_t pid = spawn(sorvel, {song}, env);
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        finish(pid, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
    }
    finish(recorder, true);
    const long long endNs = nowNs();
    finish(server, true);
    std::vector<double> heard = bench::OnsetsMs(raw, endNs, starts);
    heard.erase(heard.begin());  // the first run warms the cache
    if (std::count(heard.begin(), heard.end(), -1.0) > 0)
        std::printf("(a) through PulseAudio: a round was not heard\n");
    heard.erase(std::remove(heard.begin(), heard.end(), -1.0), heard.end());
    print("(a) sorvel SONG to first sound, PulseAudio", heard, 150);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string sorvel = argc > 1 ? argv[1] : SORVEL_EXE;
    QTemporaryDir work;
    const std::string song = fixtures::MakeFile(work.path().toStdString(), "mp3", {44100, 2, 30.0},
                                                fixtures::Tone(440, 0.5));
    if (song.empty()) {
        std::fprintf(stderr, "could not make a song\n");
        return 1;
    }
    std::printf("program: %s\n", sorvel.c_str());

    // (a0) The floor under every start: loading the program and its libraries, as
    // `sorvel --version`, which ends before Qt is set up.
    std::vector<double> loadOnly;
    for (int round = 0; round < 10; ++round) {
        const Clock::time_point start = Clock::now();
        finish(spawn(sorvel, {"--version"}, {}), false);
        loadOnly.push_back(msSince(start));
    }
    print("(a0) sorvel --version (loading alone)", loadOnly, 0);

    // (a) Command line to first sound.
    std::vector<double> firstSound;
    for (int round = 0; round < 8; ++round) {
        const QString home = work.filePath(QStringLiteral("a%1").arg(round));
        const std::string device = home.toStdString() + "/device.raw";
        const std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=disk",
                                           "SDL_DISKAUDIOFILE=" + device, "HOME=" + privateFolder(home),
                                           "XDG_CONFIG_HOME=" + privateFolder(home + "/config"),
                                           "XDG_RUNTIME_DIR=" + privateFolder(home + "/run"),
                                           "DBUS_SESSION_BUS_ADDRESS=disabled:"};
        const Clock::time_point start = Clock::now();
        const pid_t pid = spawn(sorvel, {song}, env);
        const double ms = waitForSound(device, start);
        finish(pid, true);
        if (round > 0 && ms >= 0)  // the first run warms the cache
            firstSound.push_back(ms);
    }
    print("(a) sorvel SONG to first sound, SDL disk driver", firstSound, 150);
    firstSoundThroughPulse(sorvel, song, work);

    // (b) A running copy, then hand-overs to it.
    const QString home = work.filePath(QStringLiteral("b"));
    const std::string runtime = privateFolder(home + "/run");
    const std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy",
                                       "HOME=" + privateFolder(home), "XDG_CONFIG_HOME=" + privateFolder(home + "/c"),
                                       "XDG_RUNTIME_DIR=" + runtime, "DBUS_SESSION_BUS_ADDRESS=disabled:"};
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const QByteArray socket = QFile::encodeName(HandOverSocketPath());
    const pid_t running = spawn(sorvel, {}, env);
    const Clock::time_point started = Clock::now();
    while (!QFile::exists(QFile::decodeName(socket)) && msSince(started) < 10000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    std::vector<double> plain;
    for (int i = 0; i < 200; ++i) {
        const Clock::time_point start = Clock::now();
        if (!SendHandOver(socket, {}))
            break;
        plain.push_back(msSince(start));
    }
    print("(b) hand-over round trip, plain", plain, 50);

    std::vector<double> withPath;
    for (int i = 0; i < 30; ++i) {
        const Clock::time_point start = Clock::now();
        if (!SendHandOver(socket, {QString::fromStdString(song)}))
            break;
        withPath.push_back(msSince(start));
    }
    print("(b) hand-over round trip, one song (added, plays)", withPath, 50);

    std::vector<double> secondStart;
    for (int i = 0; i < 20; ++i) {
        const Clock::time_point start = Clock::now();
        const int code = finish(spawn(sorvel, {song}, env), false);
        if (code != 1)
            std::printf("a second start ended with %d\n", code);
        secondStart.push_back(msSince(start));
    }
    print("(b) whole second start, `sorvel SONG` (exit 1)", secondStart, 0);
    finish(running, true);
    return 0;
}
