// The player strip's components: their places, colours, fonts and pictures.

#include "Dxbuttons.h"
#include "Main.h"
#include "Ogg.h"
#include "Panel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace {

// Korean design fonts first, then what Debian installs.
QFont designFont(const QStringList& families, int pixels)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixels);
    return font;
}

QFont gulim(int pixels)
{
    return designFont({QStringLiteral("굴림"), QStringLiteral("Gulim"), QStringLiteral("NanumGothic"),
                       QStringLiteral("NanumBarunGothic")}, pixels);
}

QFont gulimChe(int pixels)
{
    return designFont({QStringLiteral("굴림체"), QStringLiteral("GulimChe"), QStringLiteral("NanumGothicCoding"),
                       QStringLiteral("DejaVu Sans Mono")}, pixels);
}

QFont arial(int pixels)
{
    return designFont({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")},
                      pixels);
}

QLabel* makeLabel(QWidget* parent, const char* name, QRect geometry, const QString& text, const QColor& colour,
                  const QFont& font, Qt::Alignment alignment)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(alignment);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

QLabel* makePicture(QWidget* parent, const char* name, QRect geometry, const QString& resource, bool stretch)
{
    auto* picture = new QLabel(parent);
    picture->setObjectName(QLatin1String(name));
    picture->setAccessibleName(QLatin1String(name));
    picture->setGeometry(geometry);
    picture->setPixmap(QPixmap(resource));
    picture->setScaledContents(stretch);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setAttribute(Qt::WA_TranslucentBackground);
    return picture;
}

TdxButton* makeButton(QWidget* parent, const char* name, QRect geometry, const QString& glyph, const QString& hint,
                      bool showHint)
{
    auto* button = new TdxButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->SetGlyph(QImage(glyph));
    if (showHint)
        button->SetHint(hint);
    else
        button->setAccessibleName(hint);
    return button;
}

} // namespace

TShape::TShape(QWidget* parent, const QColor& brush)
    : QWidget(parent)
    , m_brush(brush)
{
}

void TShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_brush);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TFormMain::BuildComponents()
{
    setFont(gulim(12));
    PanelBack = new TPanel(this);
    PanelBack->setObjectName(QStringLiteral("PanelBack"));
    PanelBack->setAccessibleName(QStringLiteral("PanelBack"));
    PanelBack->setGeometry(0, 0, 218, 49);
    PanelBack->SetTag(0);
    PanelBack->SetColor(Qt::white);

    Image4 = makePicture(PanelBack, "Image4", {0, 32, 17, 16}, QStringLiteral(":/player/note.png"), false);

    Panel1 = new TPanel(PanelBack);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAccessibleName(QStringLiteral("Panel1"));
    Panel1->setGeometry(1, 1, 216, 33);
    Panel1->SetTag(1001);
    Panel1->SetColor(QColor(61, 149, 255));

    Image1 = makePicture(Panel1, "Image1", {62, 1, 154, 49}, QStringLiteral(":/player/display.png"), true);
    LKBPS = makeLabel(Panel1, "LKBPS", {64, 1, 27, 12}, QStringLiteral("320KB"), Qt::yellow, arial(9),
                      Qt::AlignRight | Qt::AlignTop);
    LFrequency = makeLabel(Panel1, "LFrequency", {95, 1, 23, 12}, QStringLiteral("44KH"), QColor(0, 255, 0), arial(9),
                           Qt::AlignRight | Qt::AlignTop);
    LTime = makeLabel(Panel1, "LTime", {121, 2, 77, 13}, QStringLiteral("00:00-00:00"), Qt::white, gulimChe(13),
                      Qt::AlignLeft | Qt::AlignTop);

    BPlay = makeButton(Panel1, "BPlay", {63, 11, 18, 14}, QStringLiteral(":/player/play.png"),
                       QStringLiteral("Start / Pause"), false);
    BStop = makeButton(Panel1, "BStop", {81, 11, 19, 14}, QStringLiteral(":/player/stop.png"), QStringLiteral("Stop"),
                       false);
    dxButton1 = makeButton(Panel1, "dxButton1", {100, 11, 19, 14}, QStringLiteral(":/player/next.png"),
                           QStringLiteral("Next Song"), false);

    Image3 = makePicture(Panel1, "Image3", {121, 15, 10, 11}, QStringLiteral(":/player/speaker.png"), false);
    ShapeVolume = new TShape(Panel1, Qt::yellow);
    ShapeVolume->setObjectName(QStringLiteral("ShapeVolume"));
    ShapeVolume->setAccessibleName(QStringLiteral("ShapeVolume"));
    ShapeVolume->setGeometry(132, 18, 67, 5);
    ImgVolume = makePicture(Panel1, "ImgVolume", {149, 17, 12, 7}, QStringLiteral(":/player/knob.png"), false);
    ShapePosition = new TShape(Panel1);
    ShapePosition->setObjectName(QStringLiteral("ShapePosition"));
    ShapePosition->setAccessibleName(QStringLiteral("ShapePosition"));
    ShapePosition->setGeometry(63, 26, 136, 5);
    ImgPosition = makePicture(Panel1, "ImgPosition", {63, 25, 12, 7}, QStringLiteral(":/player/knob.png"), false);

    BToTray = new TdxToolButton(Panel1);
    BToTray->setObjectName(QStringLiteral("BToTray"));
    BToTray->SetToolType(ttPopup);
    BToTray->move(200, 0);
    BToTray->SetHint(QStringLiteral("트레이로 숨김"));
    dxToolButton2 = new TdxToolButton(Panel1);
    dxToolButton2->setObjectName(QStringLiteral("dxToolButton2"));
    dxToolButton2->SetToolType(ttMaximize);
    dxToolButton2->move(201, 16);
    BPlayList = makeButton(Panel1, "BPlayList", {200, 16, 15, 16}, QStringLiteral(":/player/playlist.png"),
                           QStringLiteral("음악리스트 창 "), true);

    PanelTitleBack = new TPanel(PanelBack);
    PanelTitleBack->setObjectName(QStringLiteral("PanelTitleBack"));
    PanelTitleBack->setAccessibleName(QStringLiteral("PanelTitleBack"));
    PanelTitleBack->setGeometry(19, 34, 197, 14);
    PanelTitleBack->SetTag(2000);
    PanelTitleBack->SetColor(Qt::white);
    LTitle = makeLabel(PanelTitleBack, "LTitle", {43, 2, 105, 11}, QStringLiteral("상생의 음악과 함께..."),
                       QColor(0, 128, 128), gulim(11), Qt::AlignHCenter | Qt::AlignTop);

    BPlay->OnClick = [this](QObject* sender) { BPlayClick(sender); };
    BStop->OnClick = [this](QObject* sender) { BStopClick(sender); };
    dxButton1->OnClick = [this](QObject*) { PlayNextSong(); };
    BPlayList->OnClick = [this](QObject* sender) { BPlayListClick(sender); };

    // Presses on the pictures and labels stay there; the panels and the clock move the window.
    for (QWidget* quiet : std::initializer_list<QWidget*>{Image1, LKBPS, LFrequency, LTitle, PanelTitleBack, Image4,
                                                           Image3})
        quiet->installEventFilter(this);
    for (QWidget* mover : std::initializer_list<QWidget*>{Panel1, PanelBack, LTime})
        mover->installEventFilter(this);
    for (QWidget* bar : std::initializer_list<QWidget*>{ImgVolume, ImgPosition, ShapeVolume, ShapePosition})
        bar->installEventFilter(this);
}

void TFormMain::BuildHiddenComponents()
{
    BPlayImg = makeButton(this, "BPlayImg", {240, 10, 25, 20}, QStringLiteral(":/player/play.png"), QString(), false);
    BPlayImg->setAccessibleName(QStringLiteral("BPlayImg"));
    BPauseImg = makeButton(this, "BPauseImg", {270, 10, 25, 20}, QStringLiteral(":/player/pause.png"), QString(),
                           false);
    BPauseImg->setAccessibleName(QStringLiteral("BPauseImg"));
    dxButton3 = makeButton(this, "dxButton3", {300, 10, 25, 20}, QStringLiteral(":/player/addfile.png"),
                           QStringLiteral("Add File"), false);
    BPlayImg->OnClick = [this](QObject* sender) { BPlayClick(sender); };
    BPauseImg->OnClick = [this](QObject* sender) { BStopClick(sender); };
    dxButton3->OnClick = [this](QObject* sender) { dxButton3Click(sender); };

    ImgSpectrumBack = makePicture(this, "ImgSpectrumBack", {240, 40, 60, 30},
                                  QStringLiteral(":/player/spectrum_back.png"), false);
    ImgSpectrumBack2 = makePicture(this, "ImgSpectrumBack2", {310, 40, 60, 30},
                                   QStringLiteral(":/player/spectrum_back2.png"), false);
    ImgSpectrumBack3 = makePicture(this, "ImgSpectrumBack3", {380, 40, 60, 30},
                                   QStringLiteral(":/player/spectrum_back3.png"), false);
    Label1 = makeLabel(this, "Label1", {240, 80, 200, 14}, QStringLiteral("Label1"), Qt::black, gulim(12), Qt::AlignLeft);
    Label2 = makeLabel(this, "Label2", {240, 96, 200, 14}, QStringLiteral("Label2"), Qt::black, gulim(12), Qt::AlignLeft);
    Label3 = makeLabel(this, "Label3", {240, 112, 200, 14}, QStringLiteral("Label3"), Qt::black, gulim(12), Qt::AlignLeft);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setAccessibleName(QStringLiteral("Edit1"));
    Edit1->setGeometry(240, 140, 220, 20);
    const char* names[] = {"Button1", "Button2", "Button3", "Button4"};
    const char* captions[] = {"start", "stop", "pause", "resume"};
    QPushButton** buttons[] = {&Button1, &Button2, &Button3, &Button4};
    for (int i = 0; i < 4; ++i) {
        *buttons[i] = new QPushButton(QLatin1String(captions[i]), this);
        (*buttons[i])->setObjectName(QLatin1String(names[i]));
        (*buttons[i])->setGeometry(240 + i * 55, 170, 50, 22);
    }
    // Test controls: they drive the player directly, without the glyphs or the Playing flag.
    connect(Button1, &QPushButton::clicked, this, [this] { PlayFile(Edit1->text()); });
    connect(Button2, &QPushButton::clicked, this, [this] { if (Ogg) Ogg->m_ControlOGG(OggStop); SyncTimers(); });
    connect(Button3, &QPushButton::clicked, this, [this] {
        if (Ogg && Ogg->m_IsOpen())
            Ogg->m_ControlOGG(OggPause);
        SyncTimers();
    });
    connect(Button4, &QPushButton::clicked, this, [this] { if (Ogg) Ogg->m_ControlOGG(OggResume); SyncTimers(); });
}
