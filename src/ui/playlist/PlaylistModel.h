#pragma once
// The playlist as data: the five pages and the temporary list, their entries and
// headings, which entries are selected, each page's focused entry, the current page
// and its current entry, and every edit of them. Nothing here is a widget: the
// window's trees and list are views that are told of each change (`IPlaylistView`),
// and a test edits pages and chooses songs on the model alone. Window thread only.

#include "DropQueue.h"
#include "MusicFile.h"
#include "TempListFile.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// What a view of the model is told. `pageNo` is 1-5 for a page, `ListPage` for the
// temporary list; rows are counted from the top.
class IPlaylistView {
public:
    virtual ~IPlaylistView() = default;
    // Rows `first` to `first + count - 1` are new.
    virtual void EntriesInserted(int pageNo, int first, int count) = 0;
    // Rows `first` to `first + count - 1` are about to go; their records still live.
    virtual void EntriesRemoving(int pageNo, int first, int count) = 0;
    // Numbers or levels of a page's entries changed; the rows stand.
    virtual void EntriesChanged(int pageNo) = 0;
    // Which entries are selected, or which one is focused, changed by the model.
    virtual void SelectionChanged(int pageNo) = 0;
};

class PlaylistModel {
public:
    static constexpr int PageCount = 5;
    static constexpr std::uint8_t ListPage = 6;

    // Page files are read into and written from the pages of `store`.
    explicit PlaylistModel(TM_PlayList& store = PlayLists);
    ~PlaylistModel();
    PlaylistModel(const PlaylistModel&) = delete;
    PlaylistModel& operator=(const PlaylistModel&) = delete;

    // The one view told of changes; null for none. Not owned.
    void SetView(IPlaylistView* view) { m_view = view; }

    // One page's entries, in order. The page owns the records.
    int EntryCount(int pageNo) const;
    const TMusicFile& Entry(int pageNo, int row) const;
    TMusicFile* Record(int pageNo, int row) const;

    // Selection, as the user makes it. Setting it here tells the view nothing: it is
    // how a view reports what the user did.
    bool IsSelected(int pageNo, int row) const;
    void SetSelected(int pageNo, int row, bool selected);
    // The page's focused entry (the one a click or the cursor keys last went to); -1
    // for none.
    void SetFocused(int pageNo, int row);
    int FocusedRow(int pageNo) const;
    // Only `row` is selected (none when -1), and it is focused; the view is told.
    void SelectOnly(int pageNo, int row);
    // The page's selected entry: the focused one when it is selected, else the first
    // selected; -1 when nothing is selected.
    int SelectedRow(int pageNo) const;

    // The temporary list's entries: full paths, in order.
    int TempCount() const { return static_cast<int>(m_temp.size()); }
    QString TempPath(int row) const;
    QStringList TempPaths() const;
    bool IsTempSelected(int row) const;
    void SetTempSelected(int row, bool selected);
    int FirstSelectedTempRow() const;
    // The first entry whose path is exactly `path` (names are bytes: case counts); -1
    // when none.
    int TempRowOf(const QString& path) const;

    // Adding, as a drop adds. Records appended to a page are numbered after the files
    // before them; headings keep their numbers.
    void AppendEntries(int pageNo, std::vector<std::unique_ptr<TMusicFile>> records);
    // One entry; false when the path cannot be stored in a record (it is refused,
    // never cut) or when it is a file that is not music.
    bool AddPageEntry(int pageNo, const QString& path, bool isFolder, int level);
    // A music file for the list unless the very same path is there (`row`, when given,
    // is then its row, else the new one's). Refused: a name with a line break, which
    // would become two lines of "Temprary.txt".
    enum class TempAdd { Added, Listed, NotMusic, Refused };
    TempAdd AddTempFile(const QString& path, int* row = nullptr);
    // Appends without any test.
    void AddTempItem(const QString& path);
    void AddTempItems(const QStringList& paths);
    // A batch of a drop (DropQueue.h): its records appended to page `pageNo`, or its
    // paths added to the list when `pageNo` is ListPage. Paths the list refuses go to
    // `refused`; `firstRow`, when given and still -1, becomes the row of the batch's
    // first music path, new or listed.
    void Receive(int pageNo, DropBatch& batch, QStringList* refused = nullptr, int* firstRow = nullptr);

    // "선택 목록 삭제": the selected entries go (page records freed); a page is
    // renumbered. A deleted current entry is current no more.
    void DeleteSelected(int pageNo);
    void DeleteSelectedTemp();
    // Dragging inside a page: the selected entries move, in order, before row `target`
    // (a moved file takes that entry's `Level`), or to the end when `target` is -1;
    // they stay selected and the page is renumbered.
    void MoveSelected(int pageNo, int target);
    // The same inside the list, where the moved entries are copies: a moved current
    // entry is current no more.
    void MoveSelectedTemp(int target);
    // Numbers the file entries 1, 2, 3, ... in order; headings keep theirs.
    void Renumber(int pageNo);

    // Page files: every page's file appended to its entries; the pages written (all,
    // or only those marked modified). With Quiet a failed write is only kept in the
    // page's `WriteProblem`.
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

    // Which entry plays. `CurPage` 1-5 is a page, 6 the list; at first page 1 with
    // nothing chosen on it. The current entry is selected, alone on a page.
    std::uint8_t CurPage() const { return m_curPage; }
    // Tests and the window's menu may put the list or a page in play directly.
    void SetCurPage(std::uint8_t pageNo) { m_curPage = pageNo; }
    // The current entry's row on its page (`CurNode`) and on the list (`CurItem`); -1
    // when there is none.
    int CurNodeRow() const;
    int CurItemRow() const;
    // The row of the current entry on the current page or list.
    int CurrentRow() const;
    // Full path of the current entry: the first file at or after the page's selected
    // entry, or the list's first selected entry; it becomes current and selected.
    // Empty when there is none.
    QString CurrentSong();
    // The entry after the current one, which becomes current. A page wraps to its top
    // only from its very last entry; the list always wraps.
    QString NextSong();
    // What NextSong would give now, with nothing moved or selected.
    QString PeekNextSong() const;
    // A double-click: the page's selected entry, or the list's first selected one,
    // becomes current. False when nothing is selected there.
    bool ChooseFromPage(int pageNo);
    bool ChooseFromList();

private:
    struct PageEntry {
        std::unique_ptr<TMusicFile> Record;
        bool Selected = false;
    };
    struct TempEntry {
        QString Path;
        bool Selected = false;
    };
    using Page = std::vector<PageEntry>;

    Page& page(int pageNo);
    const Page& page(int pageNo) const;
    int rowOf(const Page& entries, const TMusicFile* record) const;
    int tempRowOf(const TempEntry* entry) const;
    int nextRow() const;
    QString pathAt(int row) const;
    void insertTemp(int at, std::vector<std::unique_ptr<TempEntry>> entries);
    void removeTempRows(const std::vector<int>& rows);
    // Runs of consecutive rows, last run first, as a view takes them out.
    template <class Remove>
    static void forRunsFromTheEnd(const std::vector<int>& rows, Remove remove);
    void changed(int pageNo) const;
    void selectionChanged(int pageNo) const;

    TM_PlayList& m_store;
    IPlaylistView* m_view = nullptr;
    mutable TempListFile m_tempFile;
    std::array<Page, PageCount> m_pages;
    std::array<const TMusicFile*, PageCount> m_focus{};
    std::vector<std::unique_ptr<TempEntry>> m_temp;
    // How many entries of the list have each path, so a drop of thousands of files
    // does not compare each one with every entry.
    QHash<QString, int> m_tempPaths;

    std::uint8_t m_curPage = 1;
    // Entries are told apart by their address, which a move keeps: rows change, these
    // do not. Each is null when the entry is gone.
    const TMusicFile* m_curNode = nullptr;
    const TempEntry* m_curItem = nullptr;
};
