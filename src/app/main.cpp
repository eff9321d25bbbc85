#include "AppFolder.h"
#include "Cmain.h"
#include "Ogg.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sorvel"));
    QDir::setCurrent(ProgramFolder());
    App.LoadSettings();

    // The windows are not there yet: bring the engine up and down cleanly.
    Ogg = new COgg(nullptr, nullptr);
    Ogg->m_InitSound();
    Ogg->m_StartThread();
    delete Ogg;
    Ogg = nullptr;
    fsound::Shutdown();
    return 0;
}
