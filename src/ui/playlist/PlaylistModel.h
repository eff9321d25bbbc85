#pragma once
// The playlist as data, and as the one Qt item model the window's five page trees and its
// temporary list show: the pages and the list, their entries and headings (the pages'
// records are the model's own), which entries are selected, which one plays, and every
// edit of them. No widget is needed: a test edits pages and chooses songs on the model
// alone. The program makes one and hands it to the playlist window; the transport asks it
// for songs, and it asks the transport to play the entry a user chose
// (`PlayRequested`). Window thread only.
//
// The model's shape: six parents at the top, rows 0 to 4 for pages 1 to 5 and row 5 for
// the temporary list (`PageIndex`); a page's entries are the rows below its parent, in one
// column, with nothing below them. Each view shows one page, its root index being that
// page's parent. An index's internal id is 0 for a parent and its page number (1 to 5, or
// `ListPage`) for an entry, so an entry's index says which page it is on.
//
// Selections: one QItemSelectionModel per page, owned here and shared with the page's
// view, is the only record of which entries are selected and which one the keyboard is on
// (its current index). Song choice starts from it.
//
// The entry that plays is data (`CurrentRole`), not a selection: the views draw it as
// they draw a selected row. While the user's keyboard cursor is on a page
// (`SetCursorHeld`), a change of song leaves that page's selection and cursor where the
// user put them; else the selection follows the song as it always has (the current entry
// is selected).

#include "MusicFile.h"
#include "PageEntry.h"
#include "PathRows.h"
#include "TempListFile.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct DropBatch;

// The text a page row shows: the number ("%5d", five blanks for a folder heading),
// 2 × `Level` blanks, one blank, then the node text.
QString EntryRowText(const PageEntry& entry, const QString& nodeText);

class PlaylistModel : public QAbstractItemModel {
    Q_OBJECT
public:
    static constexpr int PageCount = 5;
    static constexpr std::uint8_t ListPage = 6;

    enum Role {
        // The entry's full path (a page's record path, a list entry itself).
        PathRole = Qt::UserRole + 1,
        // A page row as it is drawn: number, indentation, name (EntryRowText).
        RowTextRole,
        // True for a page's folder heading.
        IsFolderRole,
        // True for the entry that plays: the current entry of the current page or list.
        CurrentRole,
    };

    // A failed write of the temporary list is told to `problems`, which must outlive the model.
    explicit PlaylistModel(SaveProblems& problems, QObject* parent = nullptr);
    ~PlaylistModel() override;

    // --- the item model ---

    // The parent of page 1-5's entries, or of the list's for `ListPage`.
    QModelIndex PageIndex(int pageNo) const;
    QModelIndex EntryIndex(int pageNo, int row) const;
    // The page an entry's index is on; 0 for anything else.
    static int PageOf(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The list's column header; the pages' headers are hidden.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Entries dragged inside a view carry only their kind: the view that takes the drop
    // asks the model to move its own selection.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;

    // --- selection ---

    // Page 1-5's or the list's selection; the model owns it, the page's view shares it.
    QItemSelectionModel* SelectionModel(int pageNo) const;
    bool IsSelected(int pageNo, int row) const;
    void SetSelected(int pageNo, int row, bool selected);
    // The row the keyboard is on (the selection's current index), -1 for none; setting
    // it changes no selection.
    void SetFocused(int pageNo, int row);
    int FocusedRow(int pageNo) const;
    // Only `row` is selected (none when -1), and the keyboard is on it.
    void SelectOnly(int pageNo, int row);
    // The selected rows, ascending.
    std::vector<int> SelectedRows(int pageNo) const;
    // A page's selected entry: the focused one when it is selected, else the first
    // selected; the list's first selected. -1 when nothing is selected.
    int SelectedRow(int pageNo) const;
    // What the user chose: the selected entry, or the focused one when nothing is
    // selected; -1 for neither.
    int ChosenRow(int pageNo) const;
    // The user's keyboard cursor is on the page (its view has the keyboard focus and the
    // keyboard was used there last): a change of song leaves its selection alone.
    void SetCursorHeld(int pageNo, bool held);
    bool CursorHeld(int pageNo) const;

    // --- pages ---

    int EntryCount(int pageNo) const;
    const PageEntry& Entry(int pageNo, int row) const;
    PageEntry* Record(int pageNo, int row) const;

    // --- the temporary list: full paths, in order ---

    int TempCount() const { return static_cast<int>(m_temp.size()); }
    const QString& TempPath(int row) const;
    QStringList TempPaths() const;
    bool IsTempSelected(int row) const { return IsSelected(ListPage, row); }
    void SetTempSelected(int row, bool selected) { SetSelected(ListPage, row, selected); }
    int FirstSelectedTempRow() const { return SelectedRow(ListPage); }
    // The first entry whose path is exactly `path` (names are bytes: case counts); -1
    // when none.
    int TempRowOf(const QString& path) const;

    // --- adding, as a drop adds ---

    // Records appended to a page are numbered after the files before them; headings
    // keep their numbers. One insertion for all of them.
    void AppendEntries(int pageNo, std::vector<std::unique_ptr<TMusicFile>> records);
    // One entry; false when the path cannot be stored in a record (it is refused, never
    // cut) or when it is a file that is not music.
    bool AddPageEntry(int pageNo, const QString& path, bool isFolder, int level);
    // A music file for the list unless the very same path is there (`row`, when given,
    // is then its row, else the new one's). Refused: a name with a line break, which
    // would become two lines of "Temprary.txt".
    enum class TempAdd { Added, Listed, NotMusic, Refused };
    TempAdd AddTempFile(const QString& path, int* row = nullptr);
    // Appends without any test, in one insertion.
    void AddTempItem(const QString& path);
    void AddTempItems(const QStringList& paths);
    // A batch of a drop (DropQueue.h), in one insertion: its records appended to page
    // `pageNo`, or its paths (music files all) not listed yet to the list when `pageNo`
    // is ListPage.
    // Paths the list refuses go to `refused`; `firstRow`, when given and still -1,
    // becomes the row of the batch's first music path, new or listed.
    void Receive(int pageNo, DropBatch& batch, QStringList* refused = nullptr, int* firstRow = nullptr);

    // --- editing ---

    // "선택 목록 삭제": the selected entries go (page records freed); a page is
    // renumbered. A deleted current entry is current no more.
    void DeleteSelected(int pageNo);
    void DeleteSelectedTemp() { DeleteSelected(ListPage); }
    // The Delete key: the selected entries, or the focused one when none is selected.
    void DeleteChosen(int pageNo);
    // Dragging inside a page: the selected entries move, in order, before row `target`
    // (a moved file takes that entry's `Level`), or to the end when `target` is -1; they
    // stay selected and the page is renumbered.
    void MoveSelected(int pageNo, int target);
    // The same inside the list, where the moved entries are copies, unselected unless
    // `selectCopies` (the keyboard's row then goes with them): a moved current entry is
    // current no more.
    void MoveSelectedTemp(int target, bool selectCopies = false);
    // Alt+Up and Alt+Down: the chosen entries (ChosenRow's rule) move as a drag inside
    // the page moves them: before the entry above the first of them (`step` -1), or
    // before the second entry below the last of them (`step` 1; to the end when there is
    // no such entry). They are selected afterwards.
    void MoveChosen(int pageNo, int step);
    // Numbers the file entries 1, 2, 3, ... in order; headings keep theirs.
    void Renumber(int pageNo);

    // --- files ---

    // Page n's header and file (the page records are ours; its carrier stays empty).
    CMusicFile& Page(int pageNo) { return m_store.Pages[pageNo - 1]; }
    // The pages' store, with the master-volume drag the window keeps in it.
    TM_PlayList& Store() { return m_store; }
    // Every page's file appended to its entries; the pages written (all, or only those
    // marked modified). With Quiet a failed write is only kept in the page's
    // `WriteProblem`.
    void LoadPages();
    void SavePages(bool all, CMusicFile::Warnings warnings = CMusicFile::Warnings::Show);
    // "Temprary.txt": its lines appended to the list; the list written, replacing the
    // file (false when it could not be, the old file then stays), now or on the saver
    // thread. What cannot be written is said and kept (TempListFile.h).
    static QString TempListFileName();
    void LoadTempList();
    bool SaveTempList() const;
    void SaveTempListLater() const;
    TempListFile& TempFile() const { return m_tempFile; }

    // --- which entry plays ---

    // `CurPage` 1-5 is a page, 6 the list; at first page 1 with nothing chosen on it.
    std::uint8_t CurPage() const { return m_curPage; }
    // Tests and the window's menu may put the list or a page in play directly.
    void SetCurPage(std::uint8_t pageNo);
    // The current entry's row on its page (`CurNode`) and on the list (`CurItem`); -1
    // when there is none.
    int CurNodeRow() const;
    int CurItemRow() const;
    // The row of the current entry on the current page or list.
    int CurrentRow() const;
    // Full path of the current entry: the first file at or after the page's selected
    // entry, or the list's first selected entry; it becomes current (and selected,
    // unless the user's cursor is held there). Empty when there is none.
    QString CurrentSong();
    // The entry after the current one, which becomes current. A page wraps to its top
    // only from its very last entry; the list always wraps.
    QString NextSong();
    // What NextSong would give now, with nothing moved or selected. Constant time
    // unless headings stand between the current entry and the next file.
    QString PeekNextSong() const;
    // What NextSong would give after the one it gives now, with nothing moved.
    QString PeekSongAfterNext() const;
    // The file entry before the current one, which becomes current: headings are passed
    // over, and from the first file (or with none current) it goes to the last file. The
    // list goes back from its current entry, else from its first selected one.
    QString PreviousSong();
    // What PreviousSong would give now, with nothing moved or selected.
    QString PeekPreviousSong() const;
    // How many songs the current page or the list holds (its file entries): as many as
    // NextSong or PreviousSong can go through before they come round again.
    int SongCount() const;
    // A double-click, Enter or a screen reader's "Play": the entry at `row` (a heading:
    // the first file at or after it) becomes current on its page, which becomes the
    // current page, and `PlayRequested` asks for its path (empty when the page has no
    // file there: the player then says there is nothing to play). False, with nothing
    // asked, when there is no such row.
    bool PlayEntry(int pageNo, int row);
    // Enter: the entry the user chose plays (ChosenRow).
    bool PlayChosen(int pageNo) { return PlayEntry(pageNo, ChosenRow(pageNo)); }
    // A hand-over's first entry (command line, second start, media controls): as a
    // double-click on it, the entry alone selected; `EntryHanded` tells the window.
    void PlayHandedEntry(int row);
    // Carrying on from the last exit: the entry at `row` of `pageNo` becomes current and
    // its page the current one, with nothing asked to play, when it holds `path`; else the
    // first entry of that page or list that does. False, with nothing changed, when none does.
    bool CueEntry(int pageNo, int row, const QString& path);

signals:
    // Play `path` from its beginning: the entry just made current.
    void PlayRequested(const QString& path);
    // Entries were added, removed or moved (once per edit or batch): the song after the
    // current one may be another.
    void SongsChanged();
    // A handed-over path led to the list's entry at `row`, which now plays.
    void EntryHanded(int row);

private:
    using PageRecords = std::vector<std::unique_ptr<PageEntry>>;

    PageRecords& page(int pageNo) { return m_pages.at(static_cast<std::size_t>(pageNo - 1)); }
    const PageRecords& page(int pageNo) const { return m_pages.at(static_cast<std::size_t>(pageNo - 1)); }
    int count(int pageNo) const;
    // AppendEntries for entries already made.
    void appendPage(int pageNo, PageRecords records);
    QItemSelectionModel& selection(int pageNo) const;
    static int rowIn(const QPersistentModelIndex& index, int pageNo);
    int nextRow() const;
    // The row NextSong would go to from `row` (-1: none).
    int rowAfter(int row) const;
    int previousRow() const;
    QString pathAt(int pageNo, int row) const;
    // Makes `row` of `pageNo` current and, unless the user's cursor is held there, shows
    // it as the design does: selected, alone on a page (and on the list with `alone`);
    // on the list the entry that was current is deselected.
    void makeCurrent(int pageNo, int row, bool alone = false);
    // `row` of the current page made current; its path, empty for no row (-1).
    QString becomeCurrent(int row);
    int firstFileRow(int pageNo, int from) const;
    // The last file entry above `before`; -1 when there is none.
    int lastFileRow(int pageNo, int before) const;
    void setCurrent(QPersistentModelIndex& field, const QModelIndex& entry);
    void currentShown(const QModelIndex& entry);
    // `indexed`: the paths' rows are in m_tempRows already.
    void insertTemp(int at, QStringList paths, bool indexed = false);
    void takeRows(int pageNo, const std::vector<int>& rows);
    // Runs of consecutive rows, last run first, as they are taken out.
    template <class Remove>
    static void forRunsFromTheEnd(const std::vector<int>& rows, Remove remove);
    void rebuildTempRows() const;

    TM_PlayList m_store;
    // "Temprary.txt": read, written now or on its saver thread, kept when it cannot be.
    mutable TempListFile m_tempFile;
    std::array<PageRecords, PageCount> m_pages;
    std::vector<QString> m_temp;
    // The row of the first entry of each path of the list, so a drop of thousands of
    // files does not compare each one with every entry. Kept as rows are appended;
    // rebuilt at the next look after rows were taken out or moved.
    mutable PathRows m_tempRows;
    mutable bool m_tempRowsStale = false;
    std::array<std::unique_ptr<QItemSelectionModel>, ListPage> m_selections;
    std::array<bool, ListPage> m_held{};

    std::uint8_t m_curPage = 1;
    // The current entry of the page last chosen and of the list: persistent indexes,
    // which follow their entries as rows come and go (and become invalid when the entry
    // goes, or a list entry is moved, which replaces it by a copy).
    QPersistentModelIndex m_curNode;
    QPersistentModelIndex m_curItem;
};
