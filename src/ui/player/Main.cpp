#include "Main.h"

#include "AppFolder.h"
#include "Cmain.h"
#include "Dxbuttons.h"
#include "G.h"
#include "Ogg.h"
#include "Panel.h"
#include "PlayListLink.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <cstring>

static void initPlayerResources()
{
    Q_INIT_RESOURCE(player);
}

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

TFormMain::TFormMain(IPlayListLink* playList)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool)
    , m_playList(playList)
{
    initPlayerResources();
    setObjectName(QStringLiteral("FormMain"));
    setFont(gulim(12));
    QDir::setCurrent(ProgramFolder());
    App.LoadSettings();

    setWindowTitle(QStringLiteral("마루엘의 뮤직플레이어 Sorvel"));
    resize(472, 223);
    BuildComponents();
    BuildHiddenComponents();
    move(Settings.MainX, Settings.MainY);
    setFixedSize(PanelBack->size());
    ImgVolume->move(ShapeVolume->x() + Settings.Volume, ImgVolume->y());
    SyncBars();

    // The spectrum background, as the painter wants it and as the thread reads it.
    m_spectrumBack = QImage(QStringLiteral(":/player/spectrum_back3.png")).convertToFormat(QImage::Format_RGB32);
    const std::uint8_t* backBits = nullptr;
    if (m_spectrumBack.width() == SpectrumFrameSink::kWidth && m_spectrumBack.height() == SpectrumFrameSink::kHeight) {
        for (int row = 0; row < SpectrumFrameSink::kHeight; ++row)
            std::memcpy(m_backBits.data() + row * SpectrumFrameSink::kWidth * 4,
                        m_spectrumBack.constScanLine(SpectrumFrameSink::kHeight - 1 - row), SpectrumFrameSink::kWidth * 4);
        backBits = m_backBits.data();
    }
    Panel1->SetSpectrumBack(&m_spectrumBack);
    Panel1->SetFrameSink(&m_frameSink);

    Ogg = new COgg(&m_frameSink, backBits);
    Ogg->m_InitSound();
    Ogg->m_StartThread();

    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &TFormMain::Timer1Timer);
    Timer1.start();
    TimerPosition.setInterval(333);
    connect(&TimerPosition, &QTimer::timeout, this, &TFormMain::TimerPositionTimer);
    TimerPosition.start();
}

TFormMain::~TFormMain()
{
    Timer1.stop();
    TimerPosition.stop();
    if (!m_closed) {
        delete Ogg;
        Ogg = nullptr;
    }
    Settings.MainX = x();
    Settings.MainY = y();
    StorePlayListGeometry();
    Settings.Volume = ImgVolume->x() - ShapeVolume->x();
    App.SaveSettings();
}

void TFormMain::BuildComponents()
{
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
    connect(Button2, &QPushButton::clicked, this, [] { if (Ogg) Ogg->m_ControlOGG(3); });
    connect(Button3, &QPushButton::clicked, this, [] { if (Ogg && Ogg->m_IsOpen()) Ogg->m_ControlOGG(1); });
    connect(Button4, &QPushButton::clicked, this, [] { if (Ogg) Ogg->m_ControlOGG(2); });
}

// --- transport ---

bool TFormMain::PlayFile(const QString& path)
{
    if (!Ogg || !Ogg->m_OpenOGG(path))
        return false;
    Settings.Playing = true;
    Ogg->m_PlayOGG();
    ApplyVolume();
    // Qt labels show ampersands as they are; nothing to double.
    LTitle->setText(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
    ScrollTitle(true);
    const strOggTagInfo& tag = Ogg->m_GetTagInfo();
    Label3->setText(tag.Artist);
    Label2->setText(tag.Title);
    Label1->setText(Ogg->m_GetTimeText());
    int kbps = 0;
    int khz = 0;
    Ogg->m_GetStreamInfo(kbps, khz);
    ShowStreamInfo(kbps, khz);
    return true;
}

void TFormMain::PlayNextSong()
{
    const QString next = m_playList ? m_playList->NextSong() : QString();
    if (!next.isEmpty())
        PlayFile(next);
}

void TFormMain::BPlayClick(QObject* sender)
{
    const QString current = m_playList ? m_playList->CurrentSong() : QString();
    if (current.isEmpty()) {
        ShowNotice(QStringLiteral("플레이할 음악 파일이 등록되어 있지 않습니다.\n\n"
                                  "탐색기에서 <음악파일리스트>창으로 파일을 끌어다 놓으면 됩니다."),
                   0x30);
        return;
    }
    if (!Ogg)
        return;
    if (sender && Ogg->m_IsOpen()) {
        Ogg->m_ControlOGG(1);
        BPlay->SetGlyph(BPlayImg->Glyph());
        m_bPlayTag = 1;
    } else {
        if (sender && m_bPlayTag != 0)
            Ogg->m_ControlOGG(2);
        else
            PlayFile(current);
        BPlay->SetGlyph(BPauseImg->Glyph());
        m_bPlayTag = 0;
    }
    ApplyVolume();
    BToTray->setFocus();
}

void TFormMain::BStopClick(QObject*)
{
    if (Ogg)
        Ogg->m_ControlOGG(3);
    BPlay->SetGlyph(BPlayImg->Glyph());
    m_bPlayTag = 0;
    Settings.Playing = false;
    DrawSpectrumBack(Panel1);
    BToTray->setFocus();
}

void TFormMain::BPlayListClick(QObject*)
{
    if (!m_playList)
        return;
    if (m_playList->IsWindowVisible())
        m_playList->HideWindow();
    else
        m_playList->ShowWindow();
}

void TFormMain::dxButton3Click(QObject*)
{
    BToTray->setFocus();
    QStringList files;
    if (ChooseFiles) {
        files = ChooseFiles();
    } else {
        QFileDialog dialog(this, QStringLiteral("원하는 음악파일들을 선택하세요."));
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setNameFilters({QStringLiteral("mp3 (*.mp3)"), QStringLiteral("ogg (*.ogg)"),
                               QStringLiteral("wav (*.wav)"), QStringLiteral("asf (*.asf)"),
                               QStringLiteral("mp2 (*.mp2)"), QStringLiteral("wma (*.wma)"),
                               QStringLiteral("cda (*.cda)"), QStringLiteral("aiff (*.aiff)"),
                               QStringLiteral("*.* (*)")});
        dialog.setDefaultSuffix(QString());
        if (dialog.exec() != QDialog::Accepted)
            return;
        files = dialog.selectedFiles();
    }
    if (files.isEmpty() || !m_playList)
        return;
    m_playList->BeginTempUpdate();
    for (const QString& file : files)
        m_playList->AddTempPath(file);
    m_playList->EndTempUpdate();
    m_playList->SaveTempList();
}

// --- bars, clock, labels ---

void TFormMain::SyncBars()
{
    m_volumeBar.Sync(ShapeVolume->x(), ShapeVolume->width(), ImgVolume->width(), ImgVolume->x());
    m_positionBar.Sync(ShapePosition->x(), ShapePosition->width(), ImgPosition->width(), ImgPosition->x());
}

void TFormMain::ApplyVolume()
{
    SyncBars();
    if (Ogg)
        Ogg->m_SetVolume(bars::VolumeForOffset(m_volumeBar.Offset(), m_volumeBar.Range()));
}

void TFormMain::SeekToKnob()
{
    SyncBars();
    if (!Ogg || !Ogg->m_IsOpen())
        return;
    const int length = Ogg->m_GetLengthMs();
    if (length == 0)
        return;
    Ogg->m_SetPosition(bars::SeekTargetMs(length, m_positionBar.Offset(), m_positionBar.Range()));
}

void TFormMain::ShowStreamInfo(int kbps, int khz)
{
    LKBPS->setText(bars::KbpsText(kbps));
    LFrequency->setText(bars::KhzText(khz));
}

void TFormMain::ScrollTitle(bool reset)
{
    LTitle->adjustSize();
    LTitle->move(bars::NextTitleLeft(reset, LTitle->x(), LTitle->width(), PanelTitleBack->width()), LTitle->y());
}

void TFormMain::TimerPositionTimer()
{
    if (!Ogg)
        return;
    SyncBars();
    const int length = Ogg->m_GetLengthMs();
    if (length == 0) {
        ImgPosition->move(ShapePosition->x(), ImgPosition->y());
        return;
    }
    ImgPosition->move(bars::KnobLeftForTime(ShapePosition->x(), m_positionBar.Range(), Ogg->m_GetTimeMs(), length),
                      ImgPosition->y());
    ScrollTitle(false);
}

void TFormMain::Timer1Timer()
{
    if (!Ogg)
        return;
    LTime->setText(Ogg->m_GetTimeText());
    if (Settings.Playing && Ogg->m_IsEnd())
        PlayNextSong();
}

// --- window ---

void TFormMain::FirstActivate()
{
    if (!MainState.bFirstActivate)
        return;
    MainState.bFirstActivate = false;
    if (Settings.ViewPlayList && m_playList)
        m_playList->ShowWindow();
}

void TFormMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (MainState.bTopMost)
        raise();
    // Frameless tool windows are not always activated by the window manager; the first
    // showing stands in for the first activation.
    if (MainState.bFirstActivate)
        QTimer::singleShot(0, this, &TFormMain::FirstActivate);
}

void TFormMain::StorePlayListGeometry()
{
    if (!m_playList)
        return;
    const QRect frame = m_playList->WindowGeometry();
    Settings.PlayListX = frame.x();
    Settings.PlayListY = frame.y();
    Settings.PlayListW = frame.width();
    Settings.PlayListH = frame.height();
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        Timer1.stop();
        TimerPosition.stop();
        delete Ogg;  // ends the spectrum thread; the sound ends with the process
        Ogg = nullptr;
        Settings.ViewPlayList = m_playList && m_playList->IsWindowVisible();
        StorePlayListGeometry();
        // The program runs until the player window closes; a tool window alone does not
        // end Qt's event loop.
        QCoreApplication::quit();
    }
    event->accept();
}

KnobBar& TFormMain::BarOf(QObject* control)
{
    return (control == ImgVolume || control == ShapeVolume) ? m_volumeBar : m_positionBar;
}

bool TFormMain::HandleKnob(QLabel* knob, QEvent* event)
{
    KnobBar& bar = BarOf(knob);
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    SyncBars();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        bar.PressKnob(at.x(), at.y());
        return true;
    case QEvent::MouseMove:
        if (bar.MoveKnob(at.x())) {
            knob->move(bar.KnobLeft(), knob->y());
            if (knob == ImgVolume)
                ApplyVolume();
        }
        return true;
    case QEvent::MouseButtonRelease:
        bar.ReleaseKnob();
        if (knob == ImgPosition)
            SeekToKnob();
        return true;
    default:
        return false;
    }
}

bool TFormMain::HandleTrack(TShape* track, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress)
        return false;
    KnobBar& bar = BarOf(track);
    SyncBars();
    bar.ClickTrack(static_cast<QMouseEvent*>(event)->position().toPoint().x());
    QLabel* knob = track == ShapeVolume ? ImgVolume : ImgPosition;
    knob->move(bar.KnobLeft(), knob->y());
    if (track == ShapeVolume)
        ApplyVolume();
    else
        SeekToKnob();
    return true;
}

bool TFormMain::HandleMove(QEvent* event)
{
    auto* mouse = static_cast<QMouseEvent*>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        m_moveLoop.Begin(mouse->globalPosition().toPoint(), frameGeometry());
        return true;
    case QEvent::MouseMove: {
        QRect target;
        if (m_moveLoop.Move(mouse->globalPosition().toPoint(), target))
            move(target.topLeft());
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (mouse->buttons() == Qt::NoButton)
            m_moveLoop.End();
        return true;
    default:
        return false;
    }
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseMove
        || type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick;
    if (!mouse)
        return QWidget::eventFilter(watched, event);
    if (type == QEvent::MouseButtonDblClick)
        return true;
    if (watched == ImgVolume || watched == ImgPosition)
        return HandleKnob(static_cast<QLabel*>(watched), event);
    if (watched == ShapeVolume || watched == ShapePosition)
        return HandleTrack(static_cast<TShape*>(watched), event);
    if (watched == Panel1 || watched == PanelBack || watched == LTime)
        return HandleMove(event);
    return true;  // pictures and labels keep their presses: no window move from them
}
