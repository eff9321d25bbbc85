// Shows the real player strip with a one-song playlist, presses play and keeps running
// for a while, so a script can look at it (screenshot) and listen to it (sound server).
// Prints "playing" once the clock runs and the bars move, and at the end what the strip
// showed; exit code 0 when the clock ran and the spectrum moved.
// Usage: sorvel_strip_demo FOLDER SECONDS

#include "AppFolder.h"
#include "Dxbuttons.h"
#include "Main.h"
#include "Ogg.h"
#include "fsound.h"
#include "support/StripWithEngine.h"
#include "support/AudioFixtures.h"
#include "support/OneSongList.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QLabel>
#include <QTimer>

#include <cmath>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER SECONDS\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    SetProgramFolderOverride(folder);
    // Tones on even spectrum bins (43.07 Hz apart) with a slow tremolo, so the bars move.
    auto signal = [](std::int64_t frame, int) {
        const double t = static_cast<double>(frame) / 44100;
        const double bin = 44100.0 / 1024;
        double sum = 0;
        for (int k = 2; k <= 40; k += 6)
            sum += (0.7 + 0.3 * std::sin(2 * M_PI * (0.5 + k * 0.05) * t)) * std::sin(2 * M_PI * k * bin * t) / 5;
        return static_cast<float>(sum);
    };
    const std::string song = fixtures::MakeFile(folder.toStdString(), "mp3", {44100, 2, 30.0}, signal);
    OneSongList playList(QString::fromStdString(song));

    int result = 1;
    {
        StripWithEngine strip(&playList);
        TFormMain& form = strip.form;
        form.show();
        QString firstClock;
        QTimer::singleShot(200, &form, [&] { form.BPlay->Click(); });
        QTimer::singleShot(1300, &form, [&] { firstClock = form.LTime->Shown(); });
        // Says once, on its own line, when the clock has moved on and the bars have been
        // drawn: a script waits for that line to look at the strip while the song plays.
        QTimer playing;
        QObject::connect(&playing, &QTimer::timeout, &form, [&] {
            if (firstClock.isEmpty() || form.LTime->Shown() == firstClock || form.FrameSink().FrameCount() <= 5)
                return;
            std::printf("playing\n");
            std::fflush(stdout);
            playing.stop();
        });
        playing.start(100);
        QTimer::singleShot(static_cast<int>(std::atof(argv[2]) * 1000), &form, [&] {
            const QString clock = form.LTime->Shown();
            std::printf("clock %s then %s, title \"%s\", %s, %s, %llu spectrum frames\n",
                        firstClock.toUtf8().constData(), clock.toUtf8().constData(),
                        form.LTitle->text().toUtf8().constData(), form.LKBPS->text().toUtf8().constData(),
                        form.LFrequency->text().toUtf8().constData(),
                        static_cast<unsigned long long>(form.FrameSink().FrameCount()));
            result = (clock != firstClock && form.FrameSink().FrameCount() > 5) ? 0 : 1;
            // The clock as the X server holds it is the clock the toolkit paints: text,
            // place and what lies under it (it may be put on the window directly).
            const QRect clockArea(form.LTime->mapTo(&form, QPoint(0, 0)), form.LTime->size());
            const QImage onScreen = form.screen()->grabWindow(form.winId(), clockArea.x(), clockArea.y(),
                                                              clockArea.width(), clockArea.height())
                                        .toImage()
                                        .convertToFormat(QImage::Format_RGB32);
            const QImage painted = form.grab(clockArea).toImage().convertToFormat(QImage::Format_RGB32);
            if (onScreen != painted) {
                std::printf("the clock on the screen is not the clock painted\n");
                onScreen.save(QString::fromLocal8Bit(argv[1]) + "/clock-screen.png");
                painted.save(QString::fromLocal8Bit(argv[1]) + "/clock-painted.png");
                result = 1;
            }
            form.close();
        });
        QApplication::exec();
    }
    fsound::Shutdown();
    return result;
}
