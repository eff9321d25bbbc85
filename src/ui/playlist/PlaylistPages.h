#pragma once
// The playlist's pages and list as the window shows them: `PlaylistPages` makes the five
// page trees and the temporary list views of the playlist model (PlaylistModel.h), hands
// what the user does in them (deleting, dragging, dropping files) to the model, and says
// what went wrong in message boxes. The playlist window owns the widgets and one
// `PlaylistPages`; everything runs on the user-interface thread.

#include "DropQueue.h"
#include "DropWalk.h"
#include "MusicFile.h"
#include "PlaylistModel.h"
#include "PlaylistViews.h"

#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

// The text "Save To File" shows when some page could not be written (`problems[n-1]`
// is page n's warning, empty when it was saved); empty when every page was saved.
QString SaveToFileReport(const std::array<QString, 5>& problems);

// The warning for names a drop could not store: paths too long for a page record,
// names with a line break for the list. Empty when both are empty.
QString RefusedNamesText(const QStringList& tooLong, const QStringList& lineBreaks);

class PlaylistPages {
public:
    // Makes the tree with `Tag` n a view of page n of `model`, and the list one of its
    // list, and routes their file drops and drags here. The widgets and the model must
    // outlive this object.
    PlaylistPages(const std::array<TDropTreeView*, 5>& trees, TDropListView* list, PlaylistModel& model);
    // Takes the views off the model, which outlives the window.
    ~PlaylistPages();
    PlaylistPages(const PlaylistPages&) = delete;
    PlaylistPages& operator=(const PlaylistPages&) = delete;

    PlaylistModel& Model() { return m_model; }
    const PlaylistModel& Model() const { return m_model; }
    TDropTreeView* TreeView(int pageNo) const { return m_trees.at(static_cast<std::size_t>(pageNo - 1)); }
    TDropListView* ListView1() const { return m_list; }
    CMusicFile& Page(int pageNo) const { return m_model.Page(pageNo); }
    // Seam for tests: the folder walks list folders through `lister` (not owned, used
    // on the drop walker); set while no drop is under way.
    void SetFolderLister(CFolderLister* lister);

    // Pages and their files.
    bool LoadPages();
    // What kept page files from being read in full at the last LoadPages, in one text
    // that names them; empty when every file was read whole.
    QString PageReadProblems() const;
    bool SavePages(bool all);
    // The "Save To File" button: every page written, then one box: the notice when all
    // were saved, else a warning naming the pages saved and those not. A page file that
    // holds records which were not read is replaced only when the listener says yes.
    void SaveToFile();
    // Numbers the file entries of a page 1, 2, 3, ... in order; headings keep theirs.
    void RenumberPage(const TDropTreeView* tree);

    // "선택 목록 삭제": the selected entries of a page (their records freed) or of the
    // temporary list ("Temprary.txt" is not written).
    void DeleteSelected(const TDropTreeView* tree);
    void DeleteSelectedTemp();
    // Entries dragged inside one page tree: the selected entries move, in order, before
    // row `target` (a moved file takes its `Level`), or to the end when it is -1. A drag
    // from another page does nothing.
    void MoveTreeEntries(TDropTreeView* tree, QWidget* source, int target);
    // The same inside the temporary list: the selected entries are replaced by copies
    // before row `target`, or at the end. The file is not written.
    void MoveTempEntries(QWidget* source, int target);

    // The temporary list and its file.
    static QString TempListFileName() { return PlaylistModel::TempListFileName(); }
    void LoadTempList();
    // False when the file could not be replaced; it then keeps its old contents.
    bool SaveTempList();
    // The same on the list's saver thread (TempListFile.h): the window goes on at once.
    void SaveTempListLater() { m_model.SaveTempListLater(); }

    // Drops. `names` are the dropped local paths; `target` a page tree or the list. The
    // names are walked on the drop walker (DropQueue.h), one drop after the other; the
    // entries appear as they are found, and "Temprary.txt" is written when a drop on
    // the list is done. What cannot be stored is named in one warning per drop.
    void WMDropFiles(QWidget* target, const QStringList& names);
    // Paths handed to the program (command line, second start): added to the list as a
    // drop on it adds them. With `play`, the first entry they lead to, new or already
    // listed, goes to OnHandedEntry once it is met and no later hand-over asked to play
    // for kPlayDelayMs: of many hand-overs at once, the last one's plays, once. The
    // program's own command line (`atOnce`) plays as soon as it is met: a song started
    // with the program waited the delay for nothing.
    void OpenHandedPaths(const QStringList& paths, bool play, bool atOnce = false);
    std::function<void(int row)> OnHandedEntry;
    static constexpr int kPlayDelayMs = 100;
    // True when every drop has been put on the list or its page, its song played and the
    // list's file written.
    bool DropsIdle() const;
    // Runs the event loop until DropsIdle, at most `timeoutMs`; returns DropsIdle.
    bool FinishDrops(int timeoutMs = 30000);

    // One entry on a page; a path that cannot be stored is refused with a warning.
    void AddPageEntry(TDropTreeView* tree, const QString& path, bool isFolder, int level);
    // A file, or every music file below a folder (walked by the drop walker), for the
    // list. The player window's file dialog adds its files this way, between
    // BeginAdding and EndAdding: the paths given meanwhile are then added as one drop,
    // in their order, and "Temprary.txt" is written when they are all listed.
    void AddTempPath(const QString& path);
    void BeginAdding();
    void EndAdding();
    // One music file for the list unless the very same path is there; a name with a line
    // break is refused with a warning.
    void AddTempFile(const QString& path);
    void AddTempItem(const QString& text);
    // The player window's file dialog: every chosen file through AddTempPath as one drop.
    void AddChosenFiles(const QStringList& paths);

private:
    // The tree of page 1-5, or the list for the list's number.
    TFileDropTree* viewOf(int pageNo) const;
    // What the user does in a view (double-click, keys, where the cursor is), told to
    // the model.
    void connectView(TFileDropTree* view, int pageNo);
    struct JobState {
        int PageNo = 0;
        bool Play = false;
        bool AtOnce = false;
        bool Played = false;
        QStringList TooLong;
        QStringList LineBreaks;
    };
    void playHanded();
    std::uint64_t queueJob(DropJob::Target kind, const QStringList& names, int pageNo, bool play);
    DropQueue& drops();
    void receive(DropBatch& batch);

    std::array<TDropTreeView*, 5> m_trees;
    TDropListView* m_list;
    PlaylistModel& m_model;
    CFolderLister* m_lister = &DefaultFolderLister();
    std::vector<QMetaObject::Connection> m_connections;
    std::map<std::uint64_t, JobState> m_jobs;
    int m_adding = 0;
    QStringList m_pending;  // paths given between BeginAdding and EndAdding
    QString m_playPath;  // the handed entry to play when m_playTimer fires
    QTimer m_playTimer;
    // Last, so that it goes first: no batch arrives once the rest is being torn down.
    std::unique_ptr<DropQueue> m_queue;
};
