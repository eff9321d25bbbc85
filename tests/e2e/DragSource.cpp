// A small window that a test drags files from, as a file manager would: pressing on it
// and moving the pointer starts a drag of the paths given on the command line as
// text/uri-list. Prints "dropped <action>" when the drag ends, and exits a few seconds
// later.
// Usage: sorvel_drag_source PATH...

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cstdio>

namespace {

class Source : public QWidget {
public:
    explicit Source(QList<QUrl> urls) : m_urls(std::move(urls))
    {
        setWindowTitle(QStringLiteral("drag source"));
        setFixedSize(120, 80);
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, Qt::darkGreen);
        setPalette(pal);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override { m_press = event->position().toPoint(); }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton) || m_dragging)
            return;
        if ((event->position().toPoint() - m_press).manhattanLength() < QApplication::startDragDistance())
            return;
        m_dragging = true;
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setUrls(m_urls);
        drag->setMimeData(mime);
        const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
        std::printf("dropped %d\n", static_cast<int>(action));
        std::fflush(stdout);
        // The target fetches the dropped data after the drop: stay until it has.
        QTimer::singleShot(5000, qApp, &QApplication::quit);
    }

private:
    QList<QUrl> m_urls;
    QPoint m_press;
    bool m_dragging = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (int i = 1; i < argc; ++i)
        urls.append(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i])));
    Source source(urls);
    source.move(0, 0);
    source.show();
    return QApplication::exec();
}
