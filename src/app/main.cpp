#include "Main.h"
#include "fsound.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // The windows place themselves, which Wayland does not allow: use X11 (XWayland) there.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sorvel"));

    int result = 0;
    {
        TFormMain formMain;
        formMain.show();
        result = QApplication::exec();
    }
    fsound::Shutdown();
    return result;
}
