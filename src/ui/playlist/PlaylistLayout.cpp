// The playlist window's components: their places, colours, fonts and pictures.

#include "Artwork.h"
#include "Cmain.h"
#include "Dxbuttons.h"
#include "Fonts.h"
#include "Playlist.h"
#include "WholePixels.h"

#include <QAction>
#include <QHeaderView>
#include <QScrollBar>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

static void initPlaylistResources()
{
    Q_INIT_RESOURCE(playlist);
}

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, QPoint at, const QString& text, const QColor& colour)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(Gulim(12));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->adjustSize();
    label->move(at);
    return label;
}

QLabel* makePicture(QWidget* parent, const char* name, QRect geometry, const QString& resource, const QString& hint)
{
    auto* picture = new ArtworkLabel(parent);
    picture->setObjectName(QLatin1String(name));
    picture->setGeometry(geometry);
    picture->SetArtwork(resource);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setAttribute(Qt::WA_TranslucentBackground);
    if (!hint.isEmpty())
        picture->setToolTip(hint);
    return picture;
}

TdxButton* makeButton(QWidget* parent, const char* name, QRect geometry, const QString& caption)
{
    auto* button = new TdxButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setFont(Dotum(12));
    button->SetCaption(caption);
    return button;
}

} // namespace

TPlainPanel::TPlainPanel(QWidget* parent) : QWidget(parent)
{
    m_color = palette().color(QPalette::Window);
}

void TPlainPanel::SetColor(const QColor& color)
{
    if (color == m_color)
        return;
    m_color = color;
    // Children that follow their parent's colour (the styled tool button) read it here.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
    update();
}

void TPlainPanel::SetLowered(bool lowered)
{
    if (lowered == m_lowered)
        return;
    m_lowered = lowered;
    update();
}

void TPlainPanel::SetCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    setAccessibleName(caption);
    update();
}

void TPlainPanel::SetCaptionColor(const QColor& color)
{
    if (color == m_captionColor)
        return;
    m_captionColor = color;
    update();
}

void TPlainPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_color);
    if (m_lowered) {
        const QRect r = rect();
        DrawPixelLine(painter, r.topLeft(), r.topRight(), QColor(128, 128, 128));
        DrawPixelLine(painter, r.topLeft(), r.bottomLeft(), QColor(128, 128, 128));
        DrawPixelLine(painter, r.bottomLeft(), r.bottomRight(), Qt::white);
        DrawPixelLine(painter, r.topRight(), r.bottomRight(), Qt::white);
    }
    if (!m_caption.isEmpty()) {
        painter.setPen(m_captionColor);
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_caption);
    }
}

std::array<TDropTreeView*, 5> TFormPlayList::BuildComponents()
{
    initPlaylistResources();
    InstallPlaylistAccessibility();
    setFont(Gulim(12));
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAccessibleName(QStringLiteral("음악파일 리스트"));
    auto* column = new QVBoxLayout(Panel1);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(FrameWidth, FrameWidth, FrameWidth, FrameWidth);
    frame->addWidget(Panel1);

    BuildPanel4();
    std::array<TDropTreeView*, 5> trees{};
    BuildPages(trees);
    BuildPanel2();
    column->addWidget(Panel4);
    column->addWidget(PageControl1, 1);
    column->addWidget(Panel2);
    return trees;
}

void TFormPlayList::BuildPanel4()
{
    Panel4 = new TPlainPanel(Panel1);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFixedHeight(17);
    Panel4->SetColor(QColor(81, 117, 213));
    Panel4->setAccessibleName(QStringLiteral("제목 표시줄"));
    Image4 = makePicture(Panel4, "Image4", {1, 1, 17, 16}, QStringLiteral(":/playlist/badge.png"), {});
    Image4->setAccessibleName(QStringLiteral("Sorvel"));
    Image3 = makePicture(Panel4, "Image3", {22, 3, 10, 11}, QStringLiteral(":/playlist/speaker.png"), {});
    Image3->setAccessibleName(QStringLiteral("스피커"));
    ShapeVolume = new KnobTrack(Panel4, QColor(0, 255, 0));
    ShapeVolume->setObjectName(QStringLiteral("ShapeVolume"));
    ShapeVolume->setGeometry(34, 6, 63, 5);
    ShapeVolume->setToolTip(QStringLiteral("마스터 볼륨 조정"));
    ShapeVolume->setAccessibleName(QStringLiteral("마스터 볼륨"));
    ShapeVolume->setFocusPolicy(Qt::TabFocus);
    ImgVolume = makePicture(Panel4, "ImgVolume", {59, 5, 12, 7}, QStringLiteral(":/playlist/knob.png"),
                            QStringLiteral("마스터 볼륨 조정"));
    ShapeVolume->SetKnob(ImgVolume);
    // The keyboard and screen readers move it in percent, as the strip's volume.
    KnobTrack::ValueAccess volume;
    volume.value = [this] { return static_cast<double>(m_masterPercent); };
    volume.maximum = [] { return 100.0; };
    volume.setValue = [this](double percent) {
        m_app.SetMasterVolume(static_cast<float>(percent));
        SetMasterPercent(KnobBar::WholeValue(percent));
    };
    volume.step = 5;
    volume.page = 25;
    volume.describe = [this] { return QStringLiteral("%1 %").arg(m_masterPercent); };
    ShapeVolume->SetValueAccess(volume);
    ImgVolume->setAccessibleName(QStringLiteral("마스터 볼륨 손잡이"));
    Label1 = makeLabel(Panel4, "Label1", {104, 3}, QStringLiteral("Play List - Sorvel"), Qt::yellow);
    // Where the stand-in face sets "Play List - Sorvel" wider than the design's, the version
    // moves right rather than over it.
    Label2 = makeLabel(Panel4, "Label2", {std::max(216, Label1->geometry().right() + 5), 3}, QStringLiteral("v1.5"),
                       QColor(192, 220, 192));
    dxToolButton1 = new TdxToolButton(Panel4);
    dxToolButton1->setObjectName(QStringLiteral("dxToolButton1"));
    dxToolButton1->SetToolType(ttClose);
    dxToolButton1->Style()->SetTheme(OfficeXP);
    dxToolButton1->SetColor(clLime);
    dxToolButton1->setAccessibleName(QStringLiteral("닫기"));
    dxToolButton1->SetTabStop(true);  // the keyboard closes the window too
    dxToolButton1->OnClick = [this](QObject*) { close(); };

    for (QWidget* mover : std::initializer_list<QWidget*>{Panel4, Label1, Label2})
        mover->installEventFilter(this);
    for (QWidget* bar : std::initializer_list<QWidget*>{ShapeVolume, ImgVolume})
        bar->installEventFilter(this);
}

void TFormPlayList::BuildPages(std::array<TDropTreeView*, 5>& trees)
{
    PageControl1 = new TPageControl(Panel1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setAccessibleName(QStringLiteral("음악 페이지"));
    PageControl1->tabBar()->setObjectName(QStringLiteral("PageTabs"));
    PageControl1->tabBar()->setAccessibleName(QStringLiteral("페이지 탭"));
    PageControl1->setDocumentMode(true);
    PageControl1->tabBar()->setExpanding(false);
    PageControl1->tabBar()->setElideMode(Qt::ElideNone);
    PageControl1->tabBar()->setUsesScrollButtons(true);
    PageControl1->setStyleSheet(QStringLiteral("QTabBar::tab { height: 20px; padding: 0 6px; }"));

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    N2 = PopupMenu2->addAction(QStringLiteral("선택 목록 삭제"));
    N2->setObjectName(QStringLiteral("N2"));
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = PopupMenu1->addAction(QStringLiteral("선택 목록 삭제"));
    N1->setObjectName(QStringLiteral("N1"));

    for (int n = 1; n <= 5; ++n) {
        auto* tree = new TDropTreeView(n);
        tree->setFont(n == 1 ? GulimChe(12) : Gulim(12));
        tree->setAccessibleName(PageCaption(n).trimmed());
        tree->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(tree, &QWidget::customContextMenuRequested, this,
                [this, tree](const QPoint& at) { PopupMenu2->popup(tree->viewport()->mapToGlobal(at)); });
        trees[n - 1] = tree;
        PageControl1->addTab(tree, PageCaption(n));
    }

    auto* tempPage = new QWidget;
    tempPage->setObjectName(QStringLiteral("TabTemprary"));
    auto* tempColumn = new QVBoxLayout(tempPage);
    tempColumn->setContentsMargins(0, 0, 0, 0);
    tempColumn->setSpacing(0);
    ListView1 = new TDropListView(tempPage);
    ListView1->setFont(Gulim(12));
    ListView1->setAccessibleName(QStringLiteral("Temprary"));
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(at)); });
    PanelTemprary = new TPlainPanel(tempPage);
    PanelTemprary->setObjectName(QStringLiteral("PanelTemprary"));
    PanelTemprary->setFixedHeight(17);
    PanelTemprary->SetLowered(true);
    PanelTemprary->SetCaptionColor(QColor(128, 128, 0));
    PanelTemprary->SetCaption(QStringLiteral("탐색기에서 음악 파일을 끌어다 놓으면 됩니다."));
    tempColumn->addWidget(ListView1, 1);
    tempColumn->addWidget(PanelTemprary);
    PageControl1->addTab(tempPage, QStringLiteral("Temprary"));
}

QSize TFormPlayList::ContentMinimumSize() const
{
    // A fractional display scale can round a text's width up by a pixel.
    constexpr int kSlack = 2;
    constexpr int kMargin = 4;  // as the bottom row's first button stands from its edge
    const int title = Label2->geometry().right() + 1 + kMargin + dxToolButton1->width();
    const int bottomRow = dxButton4->geometry().right() + 1 + kMargin;
    const int tabs = PageControl1->tabBar()->sizeHint().width();
    const int hint = PanelTemprary->fontMetrics().horizontalAdvance(
                         QStringLiteral("탐색기에서 음악 파일을 끌어다 놓으면 됩니다."))
                     + 2 * kMargin;
    const int width = std::max({title, bottomRow, tabs, hint}) + kSlack + 2 * FrameWidth;

    const int header = ListView1->header()->sizeHint().height();
    const int row = ListView1->fontMetrics().height() + 2;
    // The list's column is wider than the window at its smallest: its scroll bar shows.
    const int scrollBar = ListView1->horizontalScrollBar()->sizeHint().height();
    const int page = header + row + scrollBar + 2 * ListView1->frameWidth() + PanelTemprary->height();
    const int height = Panel4->height() + PageControl1->tabBar()->sizeHint().height() + page + Panel2->height()
                       + kSlack + 2 * FrameWidth;
    return {width, height};
}

void TFormPlayList::BuildPanel2()
{
    Panel2 = new TPlainPanel(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(19);
    Panel2->SetLowered(true);
    Panel2->setAccessibleName(QStringLiteral("페이지 저장"));
    dxButton2 = makeButton(Panel2, "dxButton2", {4, 2, 101, 16}, QStringLiteral("Save To File"));
    dxButton4 = makeButton(Panel2, "dxButton4", {108, 2, 77, 16}, QStringLiteral("Reload"));
    // Two buttons without a function, never shown: kept off every screen and out of the
    // accessibility tree by having no parent window.
    dxButton1 = makeButton(nullptr, "dxButton1", {0, 0, 21, 16}, QString());
    dxButton1->SetHint(QStringLiteral("Add File"));
    dxButton3 = makeButton(nullptr, "dxButton3", {0, 0, 21, 16}, QString());
    dxButton3->SetHint(QStringLiteral("Add File"));
}
