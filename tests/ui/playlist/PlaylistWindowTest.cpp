// The playlist window as a user meets it, offscreen: its layout, the hint of the
// temporary list, drawn rows, playing by double-click, the buttons, the master-volume bar,
// moving and sizing, closing and what it writes at the end.

#include "Cmain.h"
#include "G.h"
#include "PlaylistGuiSupport.h"

#include "Dxbuttons.h"
#include "KnobTrack.h"
#include "Playlist.h"
#include "support/MixerDouble.h"

#include <QAccessible>
#include <QLabel>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {

class RecordingHook : public IMoveSizeHook {
public:
    void EnterSizeMove() override { log.append(QStringLiteral("enter")); }
    bool Moving(QRect& proposed) override
    {
        log.append(QStringLiteral("moving"));
        last = proposed;
        return true;
    }
    bool Sizing(SizeEdge edge, QRect& proposed) override
    {
        log.append(QStringLiteral("sizing %1").arg(static_cast<int>(edge)));
        last = proposed;
        return true;
    }
    void ExitSizeMove() override { log.append(QStringLiteral("exit")); }

    QStringList log;
    QRect last;
};

class PlaylistWindow : public ScratchFolderTest {
protected:
    void SetUp() override
    {
        ScratchFolderTest::SetUp();
        EnsureQtApplication();
        m_settings.PlayListX = 200;
        m_settings.PlayListY = 200;
        m_settings.PlayListW = 400;
        m_settings.PlayListH = 600;
        QObject::connect(&m_model, &PlaylistModel::PlayRequested, [this](const QString& path) { m_requested << path; });
    }
    void TearDown() override
    {
        m_form.reset();
        ScratchFolderTest::TearDown();
    }
    TFormPlayList& Open()
    {
        m_form = std::make_unique<TFormPlayList>(m_model, m_settings, m_app);
        return *m_form;
    }
    // The window shown and active, as a user has it.
    void Activate(TFormPlayList& form)
    {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    void AddFiles(int page, int count)
    {
        for (int i = 1; i <= count; ++i)
            m_form->Pages->AddPageEntry(m_form->TreeView(page), QStringLiteral("/m/s%1.mp3").arg(i), false, 0);
        m_form->Pages->RenumberPage(m_form->TreeView(page));
    }
    static QPoint RowCentre(TFileDropTree* view, int row)
    {
        return view->visualRect(view->EntryIndex(row)).center();
    }

    MixerState m_mixer;
    UseMixerDouble m_useMixer{m_mixer};
    G_STRUCT_tag m_settings;
    CMain m_app;
    PlaylistModel m_model{m_app.FileProblems};
    std::unique_ptr<TFormPlayList> m_form;
    QStringList m_requested;  // the paths the playlist asked the player to play
};

TEST_F(PlaylistWindow, OpensWhereTheSettingsSayWithItsTabsAndTitleBar)
{
    TFormPlayList& form = Open();
    EXPECT_EQ(form.geometry(), QRect(200, 200, 400, 600));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("음악파일 리스트 - Sorvel"));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(form.isVisible());
    QStringList tabs;
    for (int i = 0; i < form.PageControl1->count(); ++i)
        tabs.append(form.PageControl1->tabText(i));
    EXPECT_EQ(tabs, (QStringList{"최신음악", "  가요  ", "외국음악", " 클래식 ", "즐겨듣기", "Temprary"}));
    EXPECT_EQ(form.PageControl1->currentIndex(), 0);
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(form.TreeView(n)->Tag, n);
        EXPECT_EQ(form.TreeView(n)->PageNo(), n);
    }
    form.resize(400, 600);
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.Panel4->height(), 17);
    EXPECT_EQ(form.Panel2->height(), 19);
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Play List - Sorvel"));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("v1.5"));
    // Neither caption is cut or covered, whatever face stands in for the design's.
    EXPECT_GE(form.Label1->width(), form.Label1->fontMetrics().horizontalAdvance(form.Label1->text()));
    EXPECT_GT(form.Label2->x(), form.Label1->geometry().right());
    EXPECT_GE(form.Label2->x(), 216);
    EXPECT_EQ(form.dxToolButton1->geometry().right(), form.Panel4->width() - 1);
    EXPECT_EQ(form.dxButton2->Caption(), QStringLiteral("Save To File"));
    EXPECT_EQ(form.dxButton4->Caption(), QStringLiteral("Reload"));
    EXPECT_FALSE(form.dxButton1->isVisible());
    EXPECT_EQ(form.PanelTemprary->Caption(), QStringLiteral("탐색기에서 음악 파일을 끌어다 놓으면 됩니다."));
}

// At its smallest the window cuts and covers nothing: the bottom row's buttons, the
// title bar's captions and close button, every tab, the list's hint. A smaller size
// stored by an older copy (120 x 82 cut "Reload") is enlarged on load.
TEST_F(PlaylistWindow, NothingIsCutAtTheSmallestSize)
{
    m_settings.PlayListW = 120;
    m_settings.PlayListH = 82;
    TFormPlayList& form = Open();
    EXPECT_EQ(form.size(), form.minimumSize());
    EXPECT_GE(form.minimumWidth(), 190);
    form.show();
    QApplication::processEvents();
    ASSERT_EQ(form.size(), form.minimumSize());
    EXPECT_LE(form.dxButton4->geometry().right(), form.Panel2->width() - 1);
    EXPECT_LT(form.dxButton2->geometry().right(), form.dxButton4->x());
    EXPECT_LT(form.Label2->geometry().right(), form.dxToolButton1->x());
    EXPECT_GE(form.Label2->width(), form.Label2->fontMetrics().horizontalAdvance(form.Label2->text()));
    QTabBar* bar = form.PageControl1->tabBar();
    for (int i = 0; i < bar->count(); ++i)
        EXPECT_LE(bar->tabRect(i).right(), bar->width() - 1) << i;
    form.PageControl1->setCurrentIndex(5);
    QApplication::processEvents();
    EXPECT_GE(form.PanelTemprary->width(),
              form.PanelTemprary->fontMetrics().horizontalAdvance(form.PanelTemprary->Caption()));
    EXPECT_GE(form.ListView1->viewport()->height(), form.ListView1->fontMetrics().height());
    std::printf("smallest playlist window: %d x %d\n", form.minimumWidth(), form.minimumHeight());
    // The size loop keeps to the same smallest size.
    form.resize(10, 10);
    EXPECT_EQ(form.size(), form.minimumSize());
}

TEST_F(PlaylistWindow, HintLeavesForGoodWhenTheListHadEntriesAtStart)
{
    WriteBytes(QStringLiteral("Temprary.txt"), QByteArray("/m/a.mp3\r\n/m/b.mp3\r\n"));
    TFormPlayList& form = Open();
    EXPECT_EQ(form.ListView1->Captions(), (QStringList{"/m/a.mp3", "/m/b.mp3"}));
    EXPECT_TRUE(form.PanelTemprary->Caption().isEmpty());
    form.ListView1->selectAll();
    form.N1->trigger();
    EXPECT_EQ(form.ListView1->EntryCount(), 0);
    EXPECT_TRUE(form.PanelTemprary->Caption().isEmpty());
}

TEST_F(PlaylistWindow, RowsArePaintedInTheirStateColours)
{
    TFormPlayList& form = Open();
    form.Pages->AddPageEntry(form.TreeView(1), QStringLiteral("/m/D"), true, 0);
    AddFiles(1, 2);
    form.show();
    TDropTreeView* tree = form.TreeView(1);
    tree->setCurrentIndex(tree->EntryIndex(2));
    QApplication::processEvents();
    const QImage shot = tree->viewport()->grab().toImage();
    auto colourAt = [&](int row) {
        const QRect r = tree->visualRect(tree->EntryIndex(row));
        return QColor(shot.pixel(r.right() - 2, r.center().y()));
    };
    EXPECT_EQ(colourAt(0), QColor(216, 216, 216));
    EXPECT_EQ(colourAt(1), QColor(240, 240, 240));
    EXPECT_EQ(colourAt(2), QColor(128, 128, 128));
    // The row text starts at the row's left edge: the number's blanks leave it empty.
    const QRect first = tree->visualRect(tree->EntryIndex(1));
    bool inked = false;
    for (int x = first.left(); x < first.left() + 3; ++x)
        for (int y = first.top(); y <= first.bottom(); ++y)
            inked = inked || QColor(shot.pixel(x, y)) != QColor(240, 240, 240);
    EXPECT_FALSE(inked);
}

TEST_F(PlaylistWindow, DoubleClickAndEnterAskThePlayerToPlay)
{
    TFormPlayList& form = Open();
    AddFiles(3, 3);
    form.show();
    form.PageControl1->setCurrentIndex(2);
    TDropTreeView* tree = form.TreeView(3);
    QApplication::processEvents();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, RowCentre(tree, 1));
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, RowCentre(tree, 1));
    EXPECT_EQ(m_requested, QStringList{"/m/s2.mp3"}) << "the request carries the entry it plays";
    EXPECT_EQ(form.Model().CurPage(), 3);
    EXPECT_EQ(form.Model().CurrentSong(), QStringLiteral("/m/s2.mp3"));
    EXPECT_EQ(form.Model().NextSong(), QStringLiteral("/m/s3.mp3"));

    form.Pages->AddTempItem(QStringLiteral("/t/x.mp3"));
    form.PageControl1->setCurrentIndex(5);
    form.ListView1->setCurrentIndex(form.ListView1->EntryIndex(0));
    QTest::keyClick(form.ListView1, Qt::Key_Return);
    EXPECT_EQ(m_requested.value(1), QStringLiteral("/t/x.mp3"));
    EXPECT_EQ(form.Model().CurrentSong(), QStringLiteral("/t/x.mp3"));

    // The row the keyboard is on plays even when Tab made it current without selecting it.
    tree->clearSelection();
    tree->selectionModel()->setCurrentIndex(tree->EntryIndex(2), QItemSelectionModel::NoUpdate);
    ASSERT_FALSE(tree->selectionModel()->isSelected(tree->EntryIndex(2)));
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(m_requested.value(2), QStringLiteral("/m/s3.mp3"));
    EXPECT_EQ(form.Model().CurrentSong(), QStringLiteral("/m/s3.mp3"));
}

// A keyboard user's cursor is theirs: a change of song marks the song that plays (drawn
// as a selected row) and leaves their selection and row; Delete and Alt+arrows act on
// what they chose. After a click, or with the focus elsewhere, the selection follows
// the song again.
TEST_F(PlaylistWindow, AChangeOfSongLeavesTheKeyboardCursorWhereTheUserPutIt)
{
    TFormPlayList& form = Open();
    AddFiles(1, 5);
    Activate(form);
    TDropTreeView* tree = form.TreeView(1);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, RowCentre(tree, 0));
    ASSERT_EQ(m_requested, QStringList{"/m/s1.mp3"});

    tree->setFocus(Qt::TabFocusReason);
    for (int press = 0; press < 3; ++press)
        QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_TRUE(form.Model().CursorHeld(1));
    EXPECT_EQ(form.Model().NextSong(), QStringLiteral("/m/s2.mp3"));
    EXPECT_EQ(SelectedRows(tree), std::vector<int>{3});
    EXPECT_EQ(tree->currentIndex().row(), 3);
    QApplication::processEvents();
    const QImage shot = tree->viewport()->grab().toImage();
    const auto colourAt = [&](int row) {
        const QRect r = tree->visualRect(tree->EntryIndex(row));
        return QColor(shot.pixel(r.right() - 2, r.center().y()));
    };
    EXPECT_EQ(colourAt(1), QColor(128, 128, 128)) << "the song that plays is marked";
    EXPECT_EQ(colourAt(0), QColor(240, 240, 240));

    QTest::keyClick(tree, Qt::Key_Delete);
    QStringList names;
    for (int row = 0; row < tree->EntryCount(); ++row)
        names << tree->EntryIndex(row).data().toString();
    EXPECT_EQ(names, (QStringList{"s1.mp3", "s2.mp3", "s3.mp3", "s5.mp3"})) << "the row the user chose went";
    QTest::keyClick(tree, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(form.Model().Entry(1, 1).No, 2);
    EXPECT_EQ(EntryDisplayName(form.Model().Entry(1, 1)), QStringLiteral("s3.mp3"));
    EXPECT_EQ(tree->currentIndex().row(), 1) << "the keyboard goes with the moved row";

    // A click: the mouse's again, and the selection follows the song.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, RowCentre(tree, 3));
    EXPECT_FALSE(form.Model().CursorHeld(1));
    EXPECT_EQ(form.Model().NextSong(), QStringLiteral("/m/s5.mp3")) << "the entry after s2, which s3 went above";
    EXPECT_EQ(SelectedRows(tree), std::vector<int>{3});
}

TEST_F(PlaylistWindow, DeleteMenuActsOnTheShownPage)
{
    TFormPlayList& form = Open();
    AddFiles(1, 2);
    AddFiles(4, 2);
    form.TreeView(1)->selectAll();
    form.TreeView(4)->selectAll();
    form.PageControl1->setCurrentIndex(3);
    form.N2->trigger();
    EXPECT_EQ(form.TreeView(4)->EntryCount(), 0);
    EXPECT_EQ(form.TreeView(1)->EntryCount(), 2);
    // On the list's tab the page menu falls back to the first page.
    form.PageControl1->setCurrentIndex(5);
    EXPECT_EQ(form.ShownTree(), form.TreeView(1));
}

TEST_F(PlaylistWindow, SaveToFileThenReloadShowsEveryEntryTwice)
{
    TFormPlayList& form = Open();
    AddFiles(2, 2);
    form.dxButton2->Click();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].Caption, QStringLiteral("알림"));
    EXPECT_EQ(m_boxes[0].Text, QStringLiteral("MusicFile1~5.dat 로 각 페이지별로 저장 되었습니다."));
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList2.dat")).size(), 1500);
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList1.dat")).size(), 500);
    form.dxButton4->Click();
    QStringList names;
    for (int i = 0; i < form.TreeView(2)->EntryCount(); ++i)
        names.append(form.TreeView(2)->EntryIndex(i).data().toString());
    EXPECT_EQ(names, (QStringList{"s1.mp3", "s2.mp3", "s1.mp3", "s2.mp3"}));
    EXPECT_EQ(form.Model().Entry(2, 3).No, 4);
}

TEST_F(PlaylistWindow, ClosingHidesAndTheEndWritesOnlyTheList)
{
    TFormPlayList& form = Open();
    AddFiles(1, 1);
    form.Pages->AddTempItem(QStringLiteral("/t/바다.mp3"));
    form.show();
    form.dxToolButton1->Click();
    EXPECT_FALSE(form.isVisible());
    QWidget* destroyed = nullptr;
    form.OnDestroy = [&](QWidget* window) { destroyed = window; };
    m_form.reset();
    EXPECT_NE(destroyed, nullptr);
    EXPECT_EQ(ReadBytes(QStringLiteral("Temprary.txt")), QByteArray("/t/\xB9\xD9\xB4\xD9.mp3\r\n"));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("MusicList1.dat"))));
}

TEST_F(PlaylistWindow, MasterVolumeBarFollowsTheMixerAndSetsIt)
{
    m_mixer.Values = {32767, 32767};
    TFormPlayList& form = Open();
    // The mixer is not asked before the window shows (it would hold the showing up) ...
    EXPECT_EQ(m_mixer.Opened, 0);
    form.show();
    // ... and the knob follows it as soon as the window has painted.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.ImgVolume->x() == 34 + 49 * 51 / 100; }, 2000));
    // Painted and activated again at once, it does not read again (each read goes
    // through the sound server, twice); a change told does.
    const int reads = m_mixer.Opened;
    form.repaint();
    QApplication::processEvents();
    QEvent activated(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activated);
    EXPECT_EQ(m_mixer.Opened, reads);
    form.MasterVolumeChanged();
    EXPECT_EQ(m_mixer.Opened, reads + 1);

    QTest::mouseClick(form.ShapeVolume, Qt::LeftButton, {}, QPoint(6, 2));
    EXPECT_EQ(form.ImgVolume->x(), 34);
    EXPECT_EQ(m_mixer.Values, (std::vector<long>{0, 0}));
    QTest::mouseClick(form.ShapeVolume, Qt::RightButton, {}, QPoint(58, 2));
    EXPECT_EQ(form.ImgVolume->x(), 34 + 51);
    EXPECT_EQ(m_mixer.Values, (std::vector<long>{65535, 65535}));
    QTest::mouseClick(form.ShapeVolume, Qt::LeftButton, {}, QPoint(31, 2));
    EXPECT_EQ(form.ImgVolume->x(), 34 + 25);
    EXPECT_EQ(m_mixer.Values, (std::vector<long>{32112, 32112}));

    // Dragging past the right end leaves the knob at its last place inside the track.
    QTest::mousePress(form.ImgVolume, Qt::LeftButton, {}, QPoint(6, 3));
    QMouseEvent right(QEvent::MouseMove, QPointF(6 + 20, 3), form.ImgVolume->mapToGlobal(QPointF(26, 3)),
                      Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.ImgVolume, &right);
    EXPECT_EQ(form.ImgVolume->x(), 34 + 45);
    QMouseEvent past(QEvent::MouseMove, QPointF(6 + 10, 3), form.ImgVolume->mapToGlobal(QPointF(16, 3)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.ImgVolume, &past);
    EXPECT_EQ(form.ImgVolume->x(), 34 + 45);
    QTest::mouseRelease(form.ImgVolume, Qt::LeftButton, {}, QPoint(6, 3));
    EXPECT_FALSE(m_model.Store().VolumeDragging);
    EXPECT_EQ(m_mixer.Opened, m_mixer.Released) << "a mixer was left open";

    // A change made elsewhere, told by the sound server, moves the knob at once, without
    // the window being activated; not while the user holds it, nor while it is hidden.
    m_mixer.Values = {0, 0};
    form.MasterVolumeChanged();
    EXPECT_EQ(form.ImgVolume->x(), 34);
    m_mixer.Values = {65535, 65535};
    QTest::mousePress(form.ImgVolume, Qt::LeftButton, {}, QPoint(6, 3));
    form.MasterVolumeChanged();
    EXPECT_EQ(form.ImgVolume->x(), 34);
    QTest::mouseRelease(form.ImgVolume, Qt::LeftButton, {}, QPoint(6, 3));
    form.hide();
    const int opened = m_mixer.Opened;
    form.MasterVolumeChanged();
    EXPECT_EQ(m_mixer.Opened, opened);
}

// The master volume answers the keys as the strip's volume does (5 % a step, a quarter a
// page, Home and End), and screen readers hear of the user's changes only.
TEST_F(PlaylistWindow, MasterVolumeKeysStepAsTheStripsVolumeAndReadersHearTheUser)
{
    m_mixer.Values = {0, 0};
    TFormPlayList& form = Open();
    Activate(form);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_mixer.Opened > 0; }, 2000));
    QSignalSpy told(form.ShapeVolume, &KnobTrack::UserChangedValue);

    form.ShapeVolume->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.ShapeVolume, Qt::Key_End);
    EXPECT_EQ(form.ImgVolume->x(), 34 + 51);
    EXPECT_EQ(m_mixer.Values, (std::vector<long>{65535, 65535}));
    QTest::keyClick(form.ShapeVolume, Qt::Key_PageDown);
    EXPECT_EQ(form.ImgVolume->x(), 34 + 75 * 51 / 100);
    QTest::keyClick(form.ShapeVolume, Qt::Key_Home);
    EXPECT_EQ(form.ImgVolume->x(), 34);
    EXPECT_EQ(m_mixer.Values, (std::vector<long>{0, 0}));
    QTest::keyClick(form.ShapeVolume, Qt::Key_PageUp);
    EXPECT_EQ(form.ImgVolume->x(), 34 + 25 * 51 / 100);
    EXPECT_EQ(told.count(), 4);
    // Each step is a whole 5 %, though the knob's pixels are coarser than that.
    QTest::keyClick(form.ShapeVolume, Qt::Key_Home);
    for (int press = 0; press < 3; ++press)
        QTest::keyClick(form.ShapeVolume, Qt::Key_Right);
    EXPECT_EQ(form.ShapeVolume->Access().value(), 15);
    EXPECT_EQ(form.ShapeVolume->Access().describe(), QStringLiteral("15 %"));
    EXPECT_EQ(form.ImgVolume->x(), 34 + 15 * 51 / 100);
    told.clear();

    QTest::mouseClick(form.ShapeVolume, Qt::LeftButton, {}, QPoint(31, 2));
    EXPECT_EQ(told.count(), 1) << "a click is the user's change";
    m_mixer.Values = {65535, 65535};
    form.MasterVolumeChanged();
    EXPECT_EQ(form.ImgVolume->x(), 34 + 51);
    EXPECT_EQ(told.count(), 1) << "a change made elsewhere is not announced as the user's";
}

TEST_F(PlaylistWindow, TitleBarMovesAndEdgesSizeThroughTheHook)
{
    TFormPlayList& form = Open();
    RecordingHook hook;
    form.SetMoveHook(&hook);
    form.show();
    QApplication::processEvents();
    const QRect start = form.frameGeometry();

    QTest::mousePress(form.Label1, Qt::LeftButton, {}, QPoint(2, 2));
    QMouseEvent drag(QEvent::MouseMove, QPointF(32, 22), form.Label1->mapToGlobal(QPointF(32, 22)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.Label1, &drag);
    // Let go where the pointer is: over the same spot of the title, which moved along.
    QTest::mouseRelease(form.Label1, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(hook.last.topLeft(), start.topLeft() + QPoint(30, 20));
    EXPECT_EQ(form.pos(), start.topLeft() + QPoint(30, 20));

    hook.log.clear();
    const QPoint corner(form.width() - 1, form.height() - 1);
    QTest::mousePress(&form, Qt::LeftButton, {}, corner);
    EXPECT_EQ(form.SizingEdge(), SizeEdge::BottomRight);
    QMouseEvent grow(QEvent::MouseMove, QPointF(corner + QPoint(40, 25)), form.mapToGlobal(QPointF(corner + QPoint(40, 25))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &grow);
    QTest::mouseRelease(&form, Qt::LeftButton, {}, corner + QPoint(40, 25));
    EXPECT_EQ(hook.log, (QStringList{"enter", "sizing 8", "exit"}));
    EXPECT_EQ(form.size(), start.size() + QSize(40, 25));
    EXPECT_EQ(form.SizingEdge(), SizeEdge::None);
}

// What a screen reader finds in the playlist window: rows it can play, hidden pages'
// rows not showing, named headers, and a Tab order of named, shown controls only.
TEST_F(PlaylistWindow, RowsAreListItemsAReaderCanPlayAndHiddenPagesAreNotShowing)
{
    TFormPlayList& form = Open();
    AddFiles(3, 3);
    form.show();
    form.PageControl1->setCurrentIndex(2);
    QApplication::processEvents();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(form.TreeView(3));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->childCount(), 4);  // the header, three rows
    QAccessibleInterface* header = list->child(0);
    EXPECT_EQ(header->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(header->text(QAccessible::Name), QStringLiteral("번호와 곡 이름"));
    EXPECT_TRUE(header->state().invisible) << "a page's header is hidden";
    QAccessibleInterface* row = list->child(2);
    EXPECT_EQ(row->role(), QAccessible::ListItem);
    EXPECT_EQ(row->text(QAccessible::Name), QStringLiteral("s2.mp3"));
    EXPECT_FALSE(row->state().invisible);
    EXPECT_EQ(list->indexOfChild(row), 2);
    EXPECT_EQ(list->child(2), row) << "one interface per row";

    // The default action plays the row, as a double-click does.
    QAccessibleActionInterface* actions = row->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_EQ(actions->actionNames().value(0), QStringLiteral("Play"));
    actions->doAction(QStringLiteral("Play"));
    QApplication::processEvents();
    EXPECT_EQ(m_requested, QStringList{"/m/s2.mp3"});
    EXPECT_EQ(form.Model().CurPage(), 3);
    EXPECT_EQ(form.Model().CurrentSong(), QStringLiteral("/m/s2.mp3"));
    EXPECT_TRUE(row->state().selected);

    // Another page's rows are neither visible nor showing.
    AddFiles(1, 2);
    QAccessibleInterface* hidden = QAccessible::queryAccessibleInterface(form.TreeView(1))->child(1);
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(hidden->state().invisible);
    EXPECT_TRUE(hidden->state().offscreen);

    // The temporary list's column is named by its header.
    QAccessibleInterface* temp = QAccessible::queryAccessibleInterface(form.ListView1);
    EXPECT_EQ(temp->child(0)->text(QAccessible::Name), QStringLiteral("음악 파일명"));

    // A deleted row's interface says so rather than reading freed memory.
    SelectRows(form.TreeView(3), {1});
    form.Pages->DeleteSelected(form.TreeView(3));
    EXPECT_FALSE(row->isValid());
    EXPECT_TRUE(row->text(QAccessible::Name).isEmpty());
}

TEST_F(PlaylistWindow, TabReachesNamedShownControlsOnly)
{
    TFormPlayList& form = Open();
    AddFiles(1, 2);
    Activate(form);
    QStringList stops;
    QWidget* first = nullptr;
    form.ShapeVolume->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 20; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        if (focus == first)
            break;
        if (!first)
            first = focus;
        QAccessibleInterface* seen = QAccessible::queryAccessibleInterface(focus);
        EXPECT_TRUE(focus->isVisible()) << focus->metaObject()->className();
        EXPECT_FALSE(seen->text(QAccessible::Name).isEmpty()) << "an unnamed stop: " << focus->metaObject()->className();
        EXPECT_NE(seen->role(), QAccessible::Client) << "a filler in the Tab order: " << focus->metaObject()->className();
        stops << (focus->objectName().isEmpty() ? QString::fromLatin1(focus->metaObject()->className()) : focus->objectName());
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_TRUE(stops.contains("ShapeVolume")) << stops.join(' ').toStdString();
    EXPECT_TRUE(stops.contains("dxToolButton1")) << "the close button: " << stops.join(" ").toStdString();
    EXPECT_TRUE(stops.contains("PageTabs")) << stops.join(' ').toStdString();
    EXPECT_TRUE(stops.contains("TreeView1")) << stops.join(' ').toStdString();
    EXPECT_TRUE(stops.contains("dxButton2")) << stops.join(' ').toStdString();
    EXPECT_TRUE(stops.contains("dxButton4")) << stops.join(' ').toStdString();

    // Ctrl+Tab goes to the next page, Ctrl+Shift+Tab back.
    form.TreeView(1)->setFocus();
    QTest::keyClick(form.TreeView(1), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(form.PageControl1->currentIndex(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form.PageControl1->currentIndex(), 0);
}

} // namespace
