// The player strip's components: their places, colours, fonts and pictures.

#include "Artwork.h"
#include "Dxbuttons.h"
#include "Fonts.h"
#include "G.h"
#include "Main.h"
#include "Panel.h"
#include "StripAccessible.h"
#include "StripLabel.h"
#include "Transport.h"

#include <QLabel>
#include <QMenu>

namespace {

// A text label; `what` says to screen readers what the text is (its name is the text).
StripLabel* makeLabel(QWidget* parent, const char* name, QRect geometry, const QString& text, const QColor& colour,
                      const QFont& font, Qt::Alignment alignment, const QString& what)
{
    auto* label = new StripLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(alignment);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAccessibleDescription(what);
    return label;
}

// A picture, named for screen readers by what it shows.
QLabel* makePicture(QWidget* parent, const char* name, QRect geometry, const QString& resource, bool stretch,
                    const QString& seen)
{
    auto* picture = new ArtworkLabel(parent);
    picture->setObjectName(QLatin1String(name));
    picture->setAccessibleName(seen);
    picture->setGeometry(geometry);
    picture->SetArtwork(resource);
    picture->setScaledContents(stretch);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setAttribute(Qt::WA_TranslucentBackground);
    return picture;
}

// A glyph-only button: empty caption in a one-pixel font and no spacing, so the glyph is
// centred in the button.
TdxButton* makeButton(QWidget* parent, const char* name, QRect geometry, const QString& glyph, const QString& hint,
                      bool showHint)
{
    auto* button = new TdxButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    QFont tiny = button->font();
    tiny.setPixelSize(1);
    button->setFont(tiny);
    button->SetSpacing(0);
    button->SetGlyph(LoadArtwork(glyph));
    if (showHint)
        button->SetHint(hint);
    else
        button->setAccessibleName(hint);
    return button;
}

TPanel* makePanel(QWidget* parent, const char* name, QRect geometry, int tag, const QColor& colour, const QString& seen)
{
    auto* panel = new TPanel(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setAccessibleName(seen);
    panel->setGeometry(geometry);
    panel->SetTag(tag);
    panel->SetColor(colour);
    return panel;
}

KnobTrack* makeTrack(QWidget* parent, const char* name, QRect geometry, const QColor& brush, const QString& seen)
{
    auto* track = new KnobTrack(parent, brush);
    track->setObjectName(QLatin1String(name));
    track->setAccessibleName(seen);
    track->setGeometry(geometry);
    track->setFocusPolicy(Qt::TabFocus);
    return track;
}

TdxToolButton* makeToolButton(QWidget* parent, const char* name, QPoint at, TdxToolType type)
{
    auto* button = new TdxToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->SetToolType(type);
    button->Style()->SetTheme(OfficeXP);
    button->SetColor(clAqua);
    button->move(at);
    return button;
}

} // namespace

void TFormMain::BuildComponents()
{
    setFont(Gulim(12));
    PanelBack = makePanel(this, "PanelBack", {0, 0, 218, 49}, 0, Qt::white, QStringLiteral("플레이어"));
    Image4 = makePicture(PanelBack, "Image4", {0, 32, 17, 16}, QStringLiteral(":/player/note.png"), false,
                         QStringLiteral("음표"));
    Panel1 = makePanel(PanelBack, "Panel1", {1, 1, 216, 33}, 1001, QColor(61, 149, 255), QStringLiteral("표시창"));

    Image1 = makePicture(Panel1, "Image1", {62, 1, 154, 49}, QStringLiteral(":/player/display.png"), true,
                         QStringLiteral("표시창 바탕"));
    LKBPS = makeLabel(Panel1, "LKBPS", {64, 1, 27, 12}, QStringLiteral("320KB"), Qt::yellow, Arial(9),
                      Qt::AlignRight | Qt::AlignTop, QStringLiteral("비트레이트"));
    LFrequency = makeLabel(Panel1, "LFrequency", {95, 1, 23, 12}, QStringLiteral("44KH"), QColor(0, 255, 0), Arial(9),
                           Qt::AlignRight | Qt::AlignTop, QStringLiteral("샘플링 주파수"));
    LTime = makeLabel(Panel1, "LTime", {121, 2, 77, 13}, QStringLiteral("00:00-00:00"), Qt::white, GulimChe(13),
                      Qt::AlignLeft | Qt::AlignTop, QStringLiteral("재생 시간 - 전체 시간"));

    BPlay = makeButton(Panel1, "BPlay", {63, 11, 18, 14}, QStringLiteral(":/player/play.png"),
                       QStringLiteral("Start / Pause"), false);
    BStop = makeButton(Panel1, "BStop", {81, 11, 19, 14}, QStringLiteral(":/player/stop.png"), QStringLiteral("Stop"),
                       false);
    dxButton1 = makeButton(Panel1, "dxButton1", {100, 11, 19, 14}, QStringLiteral(":/player/next.png"),
                           QStringLiteral("Next Song"), false);

    Image3 = makePicture(Panel1, "Image3", {121, 15, 10, 11}, QStringLiteral(":/player/speaker.png"), false,
                         QStringLiteral("스피커"));
    ShapeVolume = makeTrack(Panel1, "ShapeVolume", {132, 18, 67, 5}, Qt::yellow, QStringLiteral("볼륨"));
    ImgVolume = makePicture(Panel1, "ImgVolume", {149, 17, 12, 7}, QStringLiteral(":/player/knob.png"), false, {});
    ShapeVolume->SetKnob(ImgVolume);
    ShapePosition = makeTrack(Panel1, "ShapePosition", {63, 26, 136, 5}, Qt::white, QStringLiteral("재생 위치"));
    ImgPosition = makePicture(Panel1, "ImgPosition", {63, 25, 12, 7}, QStringLiteral(":/player/knob.png"), false, {});
    ShapePosition->SetKnob(ImgPosition);
    // The sliders stand for their knobs.
    HideFromScreenReaders(ImgVolume);
    HideFromScreenReaders(ImgPosition);

    BToTray = makeToolButton(Panel1, "BToTray", {200, 0}, ttPopup);
    BToTray->SetHint(QStringLiteral("트레이로 숨김"));
    // The keyboard reaches it too, and it takes Space and Enter.
    BToTray->SetTabStop(true);
    dxToolButton2 = makeToolButton(Panel1, "dxToolButton2", {201, 16}, ttMaximize);
    HideFromScreenReaders(dxToolButton2);  // a decoration under BPlayList, never seen
    BPlayList = makeButton(Panel1, "BPlayList", {200, 16, 15, 16}, QStringLiteral(":/player/playlist.png"),
                           QStringLiteral("음악리스트 창 "), true);

    PanelTitleBack = makePanel(PanelBack, "PanelTitleBack", {19, 34, 197, 14}, 2000, Qt::white,
                               QStringLiteral("곡 제목 줄"));
    LTitle = makeLabel(PanelTitleBack, "LTitle", {43, 2, 105, 11}, QStringLiteral("상생의 음악과 함께..."),
                       QColor(0, 128, 128), Gulim(11), Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("곡 제목"));

    BPlay->OnClick = [this](QObject* sender) { BPlayClick(sender); };
    BStop->OnClick = [this](QObject* sender) { BStopClick(sender); };
    dxButton1->OnClick = [this](QObject* sender) {
        PlayNextSong();
        FocusTrayAfterMouseClick(sender);
    };
    BPlayList->OnClick = [this](QObject* sender) { BPlayListClick(sender); };
    BToTray->OnClick = [this](QObject* sender) { BToTrayClick(sender); };

    // The window's context menu, which is also the tray icon's.
    PopupMenuTray = new QMenu(this);
    PopupMenuTray->setObjectName(QStringLiteral("PopupMenuTray"));
    N4 = PopupMenuTray->addAction(QStringLiteral("프로그램 정보"), this, &TFormMain::N4Click);
    N4->setObjectName(QStringLiteral("N4"));
    N5 = PopupMenuTray->addAction(QStringLiteral("도움말"), this, &TFormMain::N5Click);
    N5->setObjectName(QStringLiteral("N5"));
    N3 = PopupMenuTray->addSeparator();
    N3->setObjectName(QStringLiteral("N3"));
    N2 = PopupMenuTray->addAction(QStringLiteral("종료"), this, &TFormMain::N2Click);
    N2->setObjectName(QStringLiteral("N2"));
    PopupMenuTray->addSeparator();
    NReplayGain = PopupMenuTray->addAction(QStringLiteral("리플레이게인"));
    NReplayGain->setObjectName(QStringLiteral("NReplayGain"));
    NReplayGain->setCheckable(true);
    NReplayGain->setChecked(true);
    connect(NReplayGain, &QAction::toggled, this, [this](bool on) {
        m_settings.ReplayGain = on;
        m_transport.SetReplayGain(on);
    });

    // Presses on the pictures and labels stay there; the panels and the clock move the window.
    for (QWidget* quiet : std::initializer_list<QWidget*>{Image1, LKBPS, LFrequency, LTitle, PanelTitleBack, Image4,
                                                           Image3})
        quiet->installEventFilter(this);
    for (QWidget* mover : std::initializer_list<QWidget*>{Panel1, PanelBack, LTime})
        mover->installEventFilter(this);
    for (QWidget* bar : std::initializer_list<QWidget*>{ImgVolume, ImgPosition, ShapeVolume, ShapePosition})
        bar->installEventFilter(this);
}

// These lie outside the strip once the window is shrunk: they are hidden, so that neither
// the Tab key nor a screen reader reaches them.
void TFormMain::BuildHiddenComponents()
{
    BPlayImg = makeButton(this, "BPlayImg", {240, 10, 25, 20}, QStringLiteral(":/player/play.png"), QString(), false);
    BPauseImg = makeButton(this, "BPauseImg", {270, 10, 25, 20}, QStringLiteral(":/player/pause.png"), QString(),
                           false);
    dxButton3 = makeButton(this, "dxButton3", {300, 10, 25, 20}, QStringLiteral(":/player/addfile.png"),
                           QStringLiteral("Add File"), false);
    BPlayImg->OnClick = [this](QObject* sender) { BPlayClick(sender); };
    BPauseImg->OnClick = [this](QObject* sender) { BStopClick(sender); };
    dxButton3->OnClick = [this](QObject* sender) { dxButton3Click(sender); };

    ImgSpectrumBack = makePicture(this, "ImgSpectrumBack", {240, 40, 60, 30},
                                  QStringLiteral(":/player/spectrum_back.png"), false, {});
    ImgSpectrumBack2 = makePicture(this, "ImgSpectrumBack2", {310, 40, 60, 30},
                                   QStringLiteral(":/player/spectrum_back2.png"), false, {});
    ImgSpectrumBack3 = makePicture(this, "ImgSpectrumBack3", {380, 40, 60, 30},
                                   QStringLiteral(":/player/spectrum_back3.png"), false, {});
    Label1 = makeLabel(this, "Label1", {240, 80, 200, 14}, QStringLiteral("Label1"), Qt::black, Gulim(12),
                       Qt::AlignLeft, {});
    Label2 = makeLabel(this, "Label2", {240, 96, 200, 14}, QStringLiteral("Label2"), Qt::black, Gulim(12),
                       Qt::AlignLeft, {});
    Label3 = makeLabel(this, "Label3", {240, 112, 200, 14}, QStringLiteral("Label3"), Qt::black, Gulim(12),
                       Qt::AlignLeft, {});

    for (QWidget* hidden : std::initializer_list<QWidget*>{
             BPlayImg, BPauseImg, dxButton3, ImgSpectrumBack, ImgSpectrumBack2, ImgSpectrumBack3, Label1, Label2,
             Label3})
        hidden->hide();
}
