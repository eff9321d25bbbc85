#include "Playlist.h"

#include "Cmain.h"
#include "Dxbuttons.h"
#include "G.h"
#include "Placement.h"
#include "WholePixels.h"
#include "WindowPlacement.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QTabWidget>

TFormPlayList::TFormPlayList(PlaylistModel& model, const G_STRUCT_tag& settings, CMain& app)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Tool), m_model(model), m_app(app)
{
    setObjectName(QStringLiteral("FormPlayList"));
    setWindowTitle(QStringLiteral("음악파일 리스트 - Sorvel"));
    setMouseTracking(true);
    const std::array<TDropTreeView*, 5> trees = BuildComponents();
    TreeViews = trees;
    // The trees and the list take file-manager drops from here on.
    Pages = std::make_unique<PlaylistPages>(trees, ListView1, m_model);
    Pages->OnHandedEntry = [this](int row) { m_model.PlayHandedEntry(row); };
    connect(&m_model, &PlaylistModel::EntryHanded, this, &TFormPlayList::ShowHandedEntry);
    setMinimumSize(ContentMinimumSize());
    m_sizeLoop.SetMinimumSize(minimumSize());

    // A stored place that would leave the window off the screen is brought back onto it;
    // a stored size below the smallest one is enlarged first.
    const StoredRect stored{settings.PlayListX, settings.PlayListY, std::max(settings.PlayListW, minimumWidth()),
                            std::max(settings.PlayListH, minimumHeight())};
    PlaceWindow(this, FitIntoWorkArea(stored, ChooseWorkArea(stored, ScreenWorkAreas())), true);
    // The knob is set from the mixer once the window has painted (see paintEvent): asking
    // the mixer connects to the sound server twice, which would hold up the first showing.
    PageControl1->setCurrentIndex(0);
    Pages->LoadTempList();
    // The pages got their trees when `Pages` was made; now their files fill them.
    Pages->LoadPages();
    if (const QString unread = Pages->PageReadProblems(); !unread.isEmpty())
        m_app.FileProblems.TellAtStart(unread);
    if (Model().TempCount() > 0)
        PanelTemprary->SetCaption(QString());

    // A screen reader's "Play" on a row: as a double-click on it.
    for (TFileDropTree* view : std::initializer_list<TFileDropTree*>{trees[0], trees[1], trees[2], trees[3], trees[4], ListView1})
        view->PlayEntry = [this, view](int row) { m_model.PlayEntry(view->PageNo(), row); };

    connect(N2, &QAction::triggered, this, [this] { Pages->DeleteSelected(ShownTree()); });
    connect(N1, &QAction::triggered, this, [this] { Pages->DeleteSelectedTemp(); });
    dxButton2->OnClick = [this](QObject*) { Pages->SaveToFile(); };
    dxButton4->OnClick = [this](QObject*) {
        Pages->LoadPages();
        if (const QString unread = Pages->PageReadProblems(); !unread.isEmpty())
            ShowWarning(unread, MB_ICONEXCLAMATION);
    };
}

TFormPlayList::~TFormPlayList()
{
    if (OnDestroy)
        OnDestroy(this);
    if (!m_listsSaved)
        SaveLists();
    Pages.reset();
    delete dxButton1;
    delete dxButton3;
}

void TFormPlayList::SaveLists()
{
    m_listsSaved = true;
    Pages->SaveTempList();
    Pages->SavePages(false);
}

void TFormPlayList::OfferKeptList()
{
    TempListFile& file = Model().TempFile();
    const QStringList kept = file.ReadKeptList();
    if (kept.isEmpty()) {
        file.RemoveKeptList();
        return;
    }
    const int answer = ShowNotice(QStringLiteral("지난번에 저장하지 못한 임시 목록이 있습니다. 다시 넣을까요?"),
                                  MB_YESNO | MB_ICONQUESTION);
    // Without an answer (no one to ask) the list stays for the next start.
    if (answer != IDYES && answer != IDNO)
        return;
    file.RemoveKeptList();
    if (answer == IDNO)
        return;
    // As a drop on the list takes them, in one insertion.
    DropBatch batch;
    for (const QString& path : kept)
        if (IsMusicFile(path))
            batch.Paths.append(path);
    Model().Receive(PlaylistModel::ListPage, batch);
    if (Model().TempCount() > 0)
        PanelTemprary->SetCaption(QString());
    // Written at once; what cannot be is kept again.
    Pages->SaveTempList();
}

// --- pages and list ---

void TFormPlayList::BeginTempUpdate()
{
    Pages->BeginAdding();
}

void TFormPlayList::EndTempUpdate()
{
    Pages->EndAdding();
}

TDropTreeView* TFormPlayList::ShownTree() const
{
    const int index = PageControl1->currentIndex();
    return index >= 0 && index < 5 ? TreeViews[static_cast<std::size_t>(index)] : TreeViews[0];
}

// --- master volume ---

void TFormPlayList::ShowMasterVolume()
{
    m_showVolumeQueued = false;
    m_volumeReadAt.start();
    // A sound server may run above 100 % and a mixer may report nonsense; neither may put
    // the knob beside its track.
    SetMasterPercent(KnobBar::WholeValue(m_app.GetMasterVolume()));
}

void TFormPlayList::RefreshMasterVolume()
{
    m_showVolumeQueued = false;
    // Reading the mixer takes 10 to 30 ms (through the sound server, twice over), and a
    // window that shows is painted and activated several times in a row: the first
    // sound of a song started with the program waited behind three reads. What changes
    // elsewhere is told (MasterVolumeChanged); a read less than a second old stands.
    if (m_volumeReadAt.isValid() && m_volumeReadAt.elapsed() < kVolumeFreshMs)
        return;
    ShowMasterVolume();
}

void TFormPlayList::MasterVolumeChanged()
{
    // A hidden window reads it when it shows again.
    if (isVisible() && !m_model.Store().VolumeDragging)
        ShowMasterVolume();
}

void TFormPlayList::SetMasterPercent(std::int64_t percent)
{
    m_masterPercent = static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100));
    ShapeVolume->PlaceKnob(ShapeVolume->Bar().KnobLeftFor(percent, 100));
}

void TFormPlayList::ApplyKnobVolume()
{
    m_masterPercent = static_cast<int>(ShapeVolume->Bar().ValueOf(100));
    m_app.SetMasterVolume(static_cast<float>(m_masterPercent));
}

bool TFormPlayList::HandleVolume(QObject* watched, QEvent* event)
{
    switch (ShapeVolume->HandleMouse(watched, event)) {
    case KnobTrack::KnobMove::Dragged:
        ApplyKnobVolume();
        break;
    case KnobTrack::KnobMove::Clicked:
        ApplyKnobVolume();
        ShapeVolume->TellValueChanged();
        break;
    case KnobTrack::KnobMove::LetGo:
        ShapeVolume->TellValueChanged();
        break;
    case KnobTrack::KnobMove::None:
        break;
    }
    // The drag as the shared record keeps it.
    const KnobBar& bar = ShapeVolume->Bar();
    m_model.Store().VolumeDragging = bar.Dragging();
    m_model.Store().DragStart = {bar.GrabX(), bar.GrabY()};
    return true;
}

// --- moving and sizing ---

void TFormPlayList::SetMoveHook(IMoveSizeHook* hook)
{
    m_moveLoop.SetHook(hook);
    m_sizeLoop.SetHook(hook);
}

namespace {

Qt::CursorShape cursorFor(SizeEdge edge)
{
    switch (edge) {
    case SizeEdge::Left:
    case SizeEdge::Right:
        return Qt::SizeHorCursor;
    case SizeEdge::Top:
    case SizeEdge::Bottom:
        return Qt::SizeVerCursor;
    case SizeEdge::TopLeft:
    case SizeEdge::BottomRight:
        return Qt::SizeFDiagCursor;
    case SizeEdge::TopRight:
    case SizeEdge::BottomLeft:
        return Qt::SizeBDiagCursor;
    case SizeEdge::None:
        break;
    }
    return Qt::ArrowCursor;
}

} // namespace

void TFormPlayList::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    // A move the window system reports may be relative to the window manager's frame.
    if (event->spontaneous())
        m_placement.Moved();
}

void TFormPlayList::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_placement.Moved();
}

void TFormPlayList::mousePressEvent(QMouseEvent* event)
{
    const SizeEdge edge = EdgeAt(event->position().toPoint(), size(), FrameWidth);
    if (edge == SizeEdge::None || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    SyncPositionWithWindowSystem(this);
    m_sizeLoop.Begin(edge, event->globalPosition().toPoint(), LogicalWindowRect(this));
    event->accept();
}

void TFormPlayList::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_sizeLoop.Active()) {
        setCursor(cursorFor(EdgeAt(event->position().toPoint(), size(), FrameWidth)));
        return;
    }
    QRect target;
    if (m_sizeLoop.Move(event->globalPosition().toPoint(), target))
        PlaceWindow(this, target, true);
    event->accept();
}

void TFormPlayList::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_sizeLoop.Active() && event->buttons() == Qt::NoButton) {
        QRect target;
        if (m_sizeLoop.Move(event->globalPosition().toPoint(), target))
            PlaceWindow(this, target, true);
        m_sizeLoop.End();
    }
    event->accept();
}

void TFormPlayList::leaveEvent(QEvent* event)
{
    if (!m_sizeLoop.Active())
        unsetCursor();
    QWidget::leaveEvent(event);
}

// --- events ---

bool TFormPlayList::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == Panel4 && type == QEvent::Resize)
        dxToolButton1->move(Panel4->width() - dxToolButton1->width(), 0);
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseMove
        || type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick;
    if (mouse && (watched == ImgVolume || watched == ShapeVolume))
        return HandleVolume(watched, event);
    if (mouse && (watched == Panel4 || watched == Label1 || watched == Label2)) {
        // The X server's idea of where the window stands is the one a drag starts from.
        if (type == QEvent::MouseButtonPress)
            SyncPositionWithWindowSystem(this);
        return DriveMoveLoop(m_moveLoop, this, event);
    }
    return QWidget::eventFilter(watched, event);
}

bool TFormPlayList::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        RefreshMasterVolume();
    return QWidget::event(event);
}

void TFormPlayList::paintEvent(QPaintEvent*)
{
    // The sizing frame: a raised edge around the panels.
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, QColor(212, 208, 200));
    DrawPixelFrame(painter, r, QColor(64, 64, 64));
    DrawPixelLine(painter, {1, 1}, {r.width() - 3, 1}, Qt::white);
    DrawPixelLine(painter, {1, 1}, {1, r.height() - 3}, Qt::white);
    // The mixer is asked after painting, not during it: moving the knob inside a paint
    // would start another.
    if (!m_showVolumeQueued) {
        m_showVolumeQueued = true;
        QMetaObject::invokeMethod(this, &TFormPlayList::RefreshMasterVolume, Qt::QueuedConnection);
    }
}

void TFormPlayList::closeEvent(QCloseEvent* event)
{
    // Closing only hides the window; the program goes on.
    event->ignore();
    hide();
}
