// Start-up cost of the settings file: LoadSettings on an ordinary "Sorvel.ini", on 4 KB of
// random bytes and on a 50 MB file, with the time of the load (median of 5) and the peak
// resident memory the process has reached after each case. Also SaveSettings on the small
// files and the size they have after one and after two saves.

#include "AppFolder.h"
#include "Cmain.h"
#include "Diagnostics.h"
#include "G.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sys/resource.h>
#include <vector>

namespace {

long peakKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Written a megabyte at a time, so that making the file does not raise the peak itself.
void writeRandomFile(const QString& path, qint64 size)
{
    std::mt19937 random(949);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    while (size > 0) {
        QByteArray chunk(std::min<qint64>(size, 1 << 20), Qt::Uninitialized);
        for (char& b : chunk)
            b = char(random() & 0xFF);
        file.write(chunk);
        size -= chunk.size();
    }
}

void measure(const char* name, const QString& ini, qint64 size)
{
    G_STRUCT_tag settings;
    CMain app;
    std::vector<double> ms;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        app.LoadSettings(settings);
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    app.SaveSettings(settings);
    const qint64 once = QFile(ini).size();
    app.LoadSettings(settings);
    app.SaveSettings(settings);
    std::printf("%-22s %9lld bytes  load %8.3f ms  peak RSS %6ld KiB  after a save %lld bytes, after two %lld\n",
                name, static_cast<long long>(size), ms[2], peakKiB(), static_cast<long long>(once),
                static_cast<long long>(QFile(ini).size()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    SetProgramFolderOverride(dir.path());
    SetProblemReporter([](const QString&) {});
    const QString ini = dir.path() + QStringLiteral("/Sorvel.ini");
    std::printf("peak RSS before: %ld KiB\n", peakKiB());
    {
        QFile file(ini);
        if (file.open(QIODevice::WriteOnly))
            file.write("[Control]\r\nViewPlayList=1\r\n[Data]\r\nMainX=200\r\nMainY=100\r\nPlayListX=200\r\n"
                       "PlayListY=200\r\nPlayListW=400\r\nPlayListH=600\r\nVolume=30\r\n");
    }
    measure("ordinary Sorvel.ini", ini, QFile(ini).size());
    writeRandomFile(ini, 4096);
    measure("4 KB of random bytes", ini, 4096);
    writeRandomFile(ini, 50LL * 1024 * 1024);
    measure("50 MB of random bytes", ini, 50LL * 1024 * 1024);
    return 0;
}
