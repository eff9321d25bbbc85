#include "About.h"

#include "Artwork.h"
#include "Fonts.h"
#include "WholePixels.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace {

// The title panel: white, a raised inner and a lowered outer bevel.
class TitlePanel : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect r = rect().adjusted(0, 0, -1, -1);
        p.fillRect(rect(), Qt::white);
        // Outer, lowered: dark top and left, light bottom and right.
        DrawPixelLine(p, r.topLeft(), r.topRight(), QColor(128, 128, 128));
        DrawPixelLine(p, r.topLeft(), r.bottomLeft(), QColor(128, 128, 128));
        DrawPixelLine(p, r.bottomLeft(), r.bottomRight(), Qt::white);
        DrawPixelLine(p, r.topRight(), r.bottomRight(), Qt::white);
        // Inner, raised.
        const QRect in = r.adjusted(1, 1, -1, -1);
        DrawPixelLine(p, in.topLeft(), in.topRight(), QColor(240, 240, 240));
        DrawPixelLine(p, in.topLeft(), in.bottomLeft(), QColor(240, 240, 240));
        DrawPixelLine(p, in.bottomLeft(), in.bottomRight(), QColor(160, 160, 160));
        DrawPixelLine(p, in.topRight(), in.bottomRight(), QColor(160, 160, 160));
    }
};

QLabel* label(QWidget* parent, const char* name, QRect at, const QString& text, const QFont& font)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    // Never cut: a stand-in face (or a longer text) may be wider than the design's box.
    // Such a text grows about the box's centre and stays off the window's edges.
    const int width = std::max(at.width(), l->sizeHint().width());
    int x = at.x();
    if (at.width() > 0 && width > at.width()) {
        constexpr int margin = 8;
        x = std::clamp(at.center().x() + 1 - width / 2, margin, std::max(margin, parent->width() - margin - width));
    }
    l->setGeometry(x, at.y(), width, std::max(at.height(), l->sizeHint().height()));
    return l;
}

QLabel* picture(QWidget* parent, const char* name, QRect at, const QString& resource)
{
    auto* p = new ArtworkLabel(parent);
    p->setObjectName(QLatin1String(name));
    p->setGeometry(at);
    if (!resource.isEmpty())
        p->SetArtwork(resource);
    p->setAccessibleName(QStringLiteral("Sorvel"));
    return p;
}

} // namespace

TFormAbout::TFormAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("프로그램 정보"));
    setFont(DesignFont(QStringLiteral("굴림"), 12));
    setFixedSize(452, 152);
    setModal(true);

    Panel1 = new TitlePanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(96, 24, 249, 33);
    QFont title = DesignFont(QStringLiteral("굴림"), 13);
    title.setBold(true);
    Label3 = label(Panel1, "Label3", {68, 10, 0, 0}, QStringLiteral("Sorvel 소르벨"), title);
    QPalette blue = Label3->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    Label3->setPalette(blue);
    Image4 = picture(Panel1, "Image4", {9, 8, 17, 16}, QStringLiteral(":/player/note.png"));
    Image1 = picture(Panel1, "Image1", {225, 8, 17, 16}, QStringLiteral(":/player/note.png"));
    ImgIcon = picture(this, "ImgIcon", {24, 24, 41, 33}, QString());
    ImgIcon->setAccessibleName(QString());

    const QFont text = DesignFont(QStringLiteral("굴림"), 12);
    Label2 = label(this, "Label2", {80, 80, 279, 12}, QStringLiteral("누구나 자유롭게 쓰고 나눌 수 있는 프로그램입니다."), text);
    Label4 = label(this, "Label4", {128, 96, 186, 12}, QStringLiteral("(음악 플레이를 위해 FFmpeg, PulseAudio, SDL 사용함)"), text);
    Label1 = label(this, "Label1", {8, 120, 432, 12},
                   QStringLiteral("음악 파일이나 폴더를 목록 창에 끌어다 놓고, 두 번 누르면 바로 들립니다."), text);

    // On the screen of the window it belongs to, which may have a scale of its own.
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(screen->availableGeometry().center() - rect().center());
}
