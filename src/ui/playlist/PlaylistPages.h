#pragma once
// The playlist's page and drop operations over its widgets: the five page trees and
// the temporary list. The playlist window owns the widgets and one `CPlaylist`;
// everything runs on the user-interface thread.

#include "DropWalk.h"
#include "MusicFile.h"
#include "PlaylistViews.h"
#include "SongChoice.h"

#include <QMetaObject>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

class CPlaylist {
public:
    // Gives page n of `store` the tree with `Tag` n and routes the widgets' file drops
    // here. The widgets must outlive this object.
    CPlaylist(const std::array<TDropTreeView*, 5>& trees, TDropListView* list, TM_PlayList& store = PlayLists);
    // Takes the trees back from the pages, which outlive the window.
    ~CPlaylist();
    CPlaylist(const CPlaylist&) = delete;
    CPlaylist& operator=(const CPlaylist&) = delete;

    TDropTreeView* TreeView(int pageNo) const { return trees_.at(static_cast<std::size_t>(pageNo - 1)); }
    TDropListView* ListView1() const { return list_; }
    CMusicFile& Page(int pageNo) const { return store_.Pages[pageNo - 1]; }
    // Seam for tests: the folder walks list folders through `lister` (not owned).
    void SetFolderLister(CFolderLister* lister) { lister_ = lister ? lister : &DefaultFolderLister(); }
    // Told about every entry that is deleted or replaced, so it stops being current.
    void SetSongChoice(SongChoice* choice) { choice_ = choice; }

    // Pages and their files.
    void GatherPage(CMusicFile& page);
    void FillTree(CMusicFile& page);
    bool LoadPages();
    bool SavePages(bool all);
    // The "Save To File" button: every page written, then the notice.
    void SaveToFile();
    // Numbers the file entries 1, 2, 3, ... in tree order; headings keep theirs.
    static void RenumberPage(QTreeWidget* tree);

    // "선택 목록 삭제": the selected entries of a page (their records freed) or of the
    // temporary list ("Temprary.txt" is not written).
    void DeleteSelected(QTreeWidget* tree);
    void DeleteSelectedTemp();
    // Entries dragged inside one page tree: the selected nodes move, in order, before
    // `target` (a moved file takes its `Level`), or to the end when it is null. A drag
    // from another page does nothing.
    void MoveTreeEntries(TDropTreeView* tree, QWidget* source, QTreeWidgetItem* target);
    // The same inside the temporary list: the selected items are replaced by copies
    // before `target`, or at the end. The file is not written.
    void MoveTempEntries(QWidget* source, QTreeWidgetItem* target);

    // The temporary list and its file.
    static QString TempListFileName();
    void LoadTempList();
    // False when the file could not be replaced; it then keeps its old contents.
    bool SaveTempList();

    // Drops. `names` are the dropped local paths; `target` a page tree or the list.
    void WMDropFiles(QWidget* target, const QStringList& names);
    void AddPagePath(TDropTreeView* tree, const QString& path);
    void AddPageEntry(TDropTreeView* tree, const QString& path, bool isFolder, int level);
    void AddTempPath(const QString& path);
    void AddTempFile(const QString& path);
    void AddTempItem(const QString& text);
    // The player window's file dialog: every chosen file through AddTempPath in one
    // update of the list, then the list's file is written.
    void AddChosenFiles(const QStringList& paths);
    // Paths handed to the program (command line, second start): added to the list as
    // a drop on it adds them (the caller writes the list's file). Returns the entry the
    // first of them leads to, whether added now or already listed; null when none.
    QTreeWidgetItem* AddHandedPaths(const QStringList& paths);
    // The entry of the list that `path` (a file, or the first music file below a
    // folder) already has; null when none.
    QTreeWidgetItem* ExistingTempEntry(const QString& path);

private:
    std::array<TDropTreeView*, 5> trees_;
    TDropListView* list_;
    TM_PlayList& store_;
    CFolderLister* lister_ = &DefaultFolderLister();
    SongChoice* choice_ = nullptr;
    std::vector<QMetaObject::Connection> connections_;
};
