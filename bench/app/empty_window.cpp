// The floor under the player's weight and launch: an empty Qt Widgets window, titled
// "Empty Qt window", and nothing else. side_by_side.sh measures it beside both players.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Empty Qt window"));
    window.resize(218, 49);
    window.show();
    return QApplication::exec();
}
