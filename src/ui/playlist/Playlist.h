#pragma once
// The playlist window: a frameless, resizable tool window with a title bar of its own
// (`Panel4`: badge, master-volume bar, captions, close button), five page trees and the
// temporary list on six tabs, and "Save To File" and "Reload". Its trees and list are
// views of the playlist model the program hands it (PlaylistModel.h), which decides which
// entry plays. Closing it hides it. Window thread only.

#include "KnobTrack.h"
#include "MoveLoop.h"
#include "WindowPlacement.h"
#include "PlaylistPages.h"

#include <QElapsedTimer>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class CMain;
struct G_STRUCT_tag;
class QLabel;
class QMenu;
class QAction;
class TdxButton;
class TdxToolButton;

// A plain panel: a fill colour, an optional lowered bevel and a centred caption.
class TPlainPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPlainPanel(QWidget* parent = nullptr);

    QColor Color() const { return m_color; }
    void SetColor(const QColor& color);
    void SetLowered(bool lowered);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    void SetCaptionColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
    QColor m_captionColor = Qt::black;
    QString m_caption;
    bool m_lowered = false;
};

// The pages' tab bar. Its own class, so that screen readers get the window's own account
// of it (PlaylistAccessible.cpp): only the current tab of a bar that has the focus of
// the active window is focused.
class TPageTabBar : public QTabBar {
    Q_OBJECT
public:
    using QTabBar::QTabBar;
};

// `PageControl1`: a tab widget with a `TPageTabBar`.
class TPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent) : QTabWidget(parent) { setTabBar(new TPageTabBar(this)); }
};

// Installs the accessibility of the playlist window's own widgets (once per process).
void InstallPlaylistAccessibility();

class TFormPlayList : public QWidget {
    Q_OBJECT
public:
    // Width of the sizing frame around the window's panels, in pixels.
    static constexpr int FrameWidth = 3;

    // Builds the window at the place `settings` give and loads "Temprary.txt" and the page
    // files into `model`; `app` sets the master volume and hears what the files lack.
    // The model and `app` must outlive the window.
    TFormPlayList(PlaylistModel& model, const G_STRUCT_tag& settings, CMain& app);
    // Writes "Temprary.txt" (and page files only when a page says it changed), unless
    // SaveLists did.
    ~TFormPlayList() override;

    // Writes "Temprary.txt" now (and the page files a page says changed), telling what
    // fails through the program's file problems; the program calls it while its windows still show.
    void SaveLists();
    // Once the windows show: when a list could not be written last time, asks whether
    // its entries go back into the temporary list.
    void OfferKeptList();

    // --- pages, list, drops ---
    void AddTempPath(const QString& path) { Pages->AddTempPath(path); }
    // Writes "Temprary.txt" on the list's saver thread.
    void SaveTempList() { Pages->SaveTempListLater(); }
    // Brackets AddTempPath calls whose paths join the list together (PlaylistPages).
    void BeginTempUpdate();
    void EndTempUpdate();
    // Paths from the command line or a second start go to the temporary list; with
    // `play`, the first entry they lead to becomes current and plays from its beginning.
    // "Temprary.txt" is written. A second start's song waits a moment for others coming
    // at once; the program's own command line (`atStart`) has none to wait for.
    void OpenPaths(const QStringList& paths, bool play, bool atStart = false);
    // The tree the shown tab holds: tabs 0 to 4 give TreeView1 to TreeView5, any other
    // tab TreeView1.
    TDropTreeView* ShownTree() const;

    // --- master volume ---
    // Reads the master volume and moves the knob to it.
    void ShowMasterVolume();
    // The same on activation and after painting, unless it was read less than a second
    // ago.
    void RefreshMasterVolume();
    void ApplyKnobVolume();
    // The master volume may have been changed elsewhere (the desktop's sound applet,
    // another program): a shown window moves its knob at once, unless the user holds it.
    void MasterVolumeChanged();

    // The smallest size at which no control is cut or covered: the title bar's badge,
    // volume bar, captions and close button, every tab, the list's header, a row and its
    // hint, and both buttons of the bottom row, in the fonts the window really has.
    QSize ContentMinimumSize() const;

    // The docking manager's entry into the move and size loops.
    void SetMoveHook(IMoveSizeHook* hook);
    // Which edge of the window a size loop drags, None when none runs.
    SizeEdge SizingEdge() const { return m_sizeLoop.Edge(); }
    // Runs when the window is destroyed, before the lists are written (the docking
    // manager forgets it there).
    std::function<void(QWidget*)> OnDestroy;

    // Components, by their design names (also their object names).
    QWidget* Panel1 = nullptr;
    TPlainPanel* Panel4 = nullptr;
    QLabel* Image4 = nullptr;
    QLabel* Image3 = nullptr;
    KnobTrack* ShapeVolume = nullptr;
    QLabel* ImgVolume = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    TdxToolButton* dxToolButton1 = nullptr;
    TPageControl* PageControl1 = nullptr;
    std::array<TDropTreeView*, 5> TreeViews{};
    TDropListView* ListView1 = nullptr;
    TPlainPanel* PanelTemprary = nullptr;
    TPlainPanel* Panel2 = nullptr;
    TdxButton* dxButton2 = nullptr;
    TdxButton* dxButton4 = nullptr;
    TdxButton* dxButton1 = nullptr;
    TdxButton* dxButton3 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* N1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* N2 = nullptr;

    TDropTreeView* TreeView(int page) const { return TreeViews.at(static_cast<std::size_t>(page - 1)); }

    // The pages, the list and which entry plays, shown in the trees and the list.
    std::unique_ptr<PlaylistPages> Pages;
    PlaylistModel& Model() { return m_model; }
    const PlaylistModel& Model() const { return m_model; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;


private:
    std::array<TDropTreeView*, 5> BuildComponents();
    void BuildPanel4();
    void BuildPages(std::array<TDropTreeView*, 5>& trees);
    void BuildPanel2();
    bool HandleVolume(QObject* watched, QEvent* event);
    // A handed-over entry plays: its tab is shown, and the entry in it.
    void ShowHandedEntry(int row);

    PlaylistModel& m_model;
    CMain& m_app;
    WindowMoveLoop m_moveLoop;
    PositionSettler m_placement{this};
    WindowSizeLoop m_sizeLoop;
    bool m_listsSaved = false;
    bool m_showVolumeQueued = false;
    static constexpr qint64 kVolumeFreshMs = 1000;
    QElapsedTimer m_volumeReadAt;  // since the master volume was read last
    // The master volume in whole percent as last read or set: the keys step from it, not
    // from the knob's pixel, which is coarser than a percent.
    int m_masterPercent = 0;
    void SetMasterPercent(std::int64_t percent);
};
