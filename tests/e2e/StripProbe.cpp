// Shows the real player strip with a one-song playlist (a generated 30 s MP3) and reports
// where the toolkit believes the window stands, so that a script can compare it with what
// the X server says, drag the window, drive it through the accessibility bus and read the
// settings it writes when it closes.
//
// Usage: sorvel_strip_probe FOLDER SECONDS
// Every 100 ms FOLDER/toolkit-position holds "X Y" (replaced whole). The strip closes when
// FOLDER/quit appears or after SECONDS, writing FOLDER/Sorvel.ini as the program does.

#include "AppFolder.h"
#include "Main.h"
#include "fsound.h"
#include "support/StripWithEngine.h"
#include "support/AudioFixtures.h"
#include "support/OneSongList.h"

#include <QApplication>
#include <QFile>
#include <QSaveFile>
#include <QTimer>

#include <cstdio>

namespace {

void writePosition(const QString& path, QPoint position)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QByteArray::number(position.x()) + ' ' + QByteArray::number(position.y()) + '\n');
    file.commit();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sorvel"));
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER SECONDS\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    SetProgramFolderOverride(folder);
    const std::string song =
        fixtures::MakeFile(folder.toStdString(), "mp3", {44100, 2, 30.0}, fixtures::Tone(440.0, 0.3));
    OneSongList playList(QString::fromStdString(song));

    {
        StripWithEngine strip(&playList);
        TFormMain& form = strip.form;
        form.show();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &form, [&] {
            writePosition(folder + QStringLiteral("/toolkit-position"), form.pos());
            if (QFile::exists(folder + QStringLiteral("/quit")))
                form.close();
        });
        poll.start(100);
        QTimer::singleShot(static_cast<int>(std::atof(argv[2]) * 1000), &form, [&] { form.close(); });
        QApplication::exec();
    }
    fsound::Shutdown();
    return 0;
}
