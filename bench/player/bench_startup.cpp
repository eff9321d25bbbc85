// Start-up time of the player strip: from the start of main to the first painted frame
// of the window, and the whole process from launch to that frame. Runs itself five times
// as a child process and prints the medians. Uses the platform Qt picks (offscreen when
// QT_QPA_PLATFORM says so, X11 under DISPLAY).

#include "AppFolder.h"
#include "Main.h"
#include "Panel.h"
#include "fsound.h"
#include "support/StripWithEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class FirstPaint : public QObject {
public:
    explicit FirstPaint(QElapsedTimer& clock) : m_clock(clock) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            std::printf("%lld\n", static_cast<long long>(m_clock.nsecsElapsed() / 1000));
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer& m_clock;
    bool m_seen = false;
};

int child(int argc, char** argv, const QString& folder)
{
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    SetProgramFolderOverride(folder);
    int result = 0;
    {
        StripWithEngine strip;
        TFormMain& form = strip.form;
        FirstPaint watcher(clock);
        form.PanelBack->installEventFilter(&watcher);
        form.show();
        result = QApplication::exec();
    }
    fsound::Shutdown();
    return result;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--child")
        return child(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    std::vector<double> inProcess, whole;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        QProcess process;
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), dir.path()});
        bool painted = process.waitForReadyRead(20000);
        const double launchToPaint = clock.nsecsElapsed() / 1e6;
        process.waitForFinished(20000);
        const QByteArray out = process.readAllStandardOutput().trimmed();
        if (!painted || out.isEmpty()) {
            std::printf("run %d: no frame was painted\n", run + 1);
            return 1;
        }
        inProcess.push_back(out.toLongLong() / 1000.0);
        whole.push_back(launchToPaint);
    }
    std::printf("player strip start-up, median of 5 (%s): main to first painted frame %.1f ms, "
                "launch to first painted frame %.1f ms\n",
                qgetenv("QT_QPA_PLATFORM").isEmpty() ? "default platform" : qgetenv("QT_QPA_PLATFORM").constData(),
                median(inProcess), median(whole));
    return 0;
}
