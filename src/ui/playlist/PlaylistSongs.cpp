// Which entry of the playlist model plays: the current page and its current entry, the
// song after it, and the entries a user or a hand-over chooses.

#include "PlaylistModel.h"

#include <algorithm>

namespace {

// The row a page's search for the next song starts at: the row after the current
// entry (`current`, -1 for none), or the top when there is none or it is the last row.
int NextPageStart(int current, int count)
{
    const int from = current + 1;
    return current < 0 || from >= count ? 0 : from;
}

// The list's next row: the one after the current entry, else after the first selected
// row (-1 for none); the list wraps from its last row to its first. -1 when empty.
int NextListRow(int current, int firstSelected, int count)
{
    if (count <= 0)
        return -1;
    const int row = current >= 0 ? current : firstSelected;
    return row < count - 1 ? row + 1 : 0;
}

// The list's previous row: the one before the current entry, else before the first
// selected row; from the first row, or with neither, it goes to the last. -1 when empty.
int PreviousListRow(int current, int firstSelected, int count)
{
    if (count <= 0)
        return -1;
    const int row = current >= 0 ? current : firstSelected;
    return row > 0 ? row - 1 : count - 1;
}

} // namespace

int PlaylistModel::rowIn(const QPersistentModelIndex& index, int pageNo)
{
    return index.isValid() && PageOf(index) == pageNo ? index.row() : -1;
}

int PlaylistModel::firstFileRow(int pageNo, int from) const
{
    const PageRecords& entries = page(pageNo);
    for (auto row = static_cast<std::size_t>(std::max(from, 0)); row < entries.size(); ++row)
        if (entries[row]->IsFolder == 0)
            return static_cast<int>(row);
    return -1;
}

int PlaylistModel::lastFileRow(int pageNo, int before) const
{
    const PageRecords& entries = page(pageNo);
    for (int row = std::min(before, static_cast<int>(entries.size())) - 1; row >= 0; --row)
        if (entries[static_cast<std::size_t>(row)]->IsFolder == 0)
            return row;
    return -1;
}

int PlaylistModel::CurNodeRow() const
{
    return m_curPage == ListPage ? -1 : rowIn(m_curNode, m_curPage);
}

int PlaylistModel::CurItemRow() const
{
    return rowIn(m_curItem, ListPage);
}

int PlaylistModel::CurrentRow() const
{
    return m_curPage == ListPage ? CurItemRow() : CurNodeRow();
}

QString PlaylistModel::pathAt(int pageNo, int row) const
{
    if (row < 0)
        return {};
    return pageNo == ListPage ? TempPath(row) : EntryPath(Entry(pageNo, row));
}

void PlaylistModel::currentShown(const QModelIndex& entry)
{
    if (entry.isValid())
        emit dataChanged(entry, entry, {CurrentRole});
}

void PlaylistModel::SetCurPage(std::uint8_t pageNo)
{
    if (pageNo == m_curPage)
        return;
    m_curPage = pageNo;
    // The page and the list each keep their current entry; which of them plays changed.
    currentShown(m_curNode);
    currentShown(m_curItem);
}

void PlaylistModel::setCurrent(QPersistentModelIndex& field, const QModelIndex& entry)
{
    const QModelIndex before = field;
    field = entry;
    if (before != entry)
        currentShown(before);
    currentShown(entry);
}

void PlaylistModel::makeCurrent(int pageNo, int row, bool alone)
{
    const bool list = pageNo == ListPage;
    QPersistentModelIndex& field = list ? m_curItem : m_curNode;
    const int before = rowIn(field, pageNo);
    setCurrent(field, EntryIndex(pageNo, row));
    // The design shows the current entry by selecting it; a user whose keyboard cursor is
    // on the page keeps the selection and the row made there, and sees the entry that
    // plays drawn as a selected one (CurrentRole).
    if (CursorHeld(pageNo))
        return;
    if (!list || alone) {
        SelectOnly(pageNo, row);
        return;
    }
    // On the list the entry that played is no longer highlighted; others selected stay so.
    if (before >= 0 && before != row)
        SetSelected(ListPage, before, false);
    SetSelected(ListPage, row, true);
}

QString PlaylistModel::CurrentSong()
{
    if (m_curPage == ListPage) {
        if (m_temp.empty())
            return {};
        const int row = std::max(FirstSelectedTempRow(), 0);
        setCurrent(m_curItem, EntryIndex(ListPage, row));
        if (!CursorHeld(ListPage))
            SetSelected(ListPage, row, true);
        return TempPath(row);
    }
    return becomeCurrent(firstFileRow(m_curPage, std::max(SelectedRow(m_curPage), 0)));
}

QString PlaylistModel::becomeCurrent(int row)
{
    if (row < 0)
        return {};
    makeCurrent(m_curPage, row);
    return pathAt(m_curPage, row);
}

int PlaylistModel::nextRow() const
{
    if (m_curPage == ListPage)
        return NextListRow(CurItemRow(), FirstSelectedTempRow(), TempCount());
    return firstFileRow(m_curPage, NextPageStart(CurNodeRow(), EntryCount(m_curPage)));
}

int PlaylistModel::rowAfter(int row) const
{
    if (row < 0)
        return -1;
    if (m_curPage == ListPage)
        return NextListRow(row, -1, TempCount());
    return firstFileRow(m_curPage, NextPageStart(row, EntryCount(m_curPage)));
}

QString PlaylistModel::PeekNextSong() const
{
    return pathAt(m_curPage, nextRow());
}

QString PlaylistModel::PeekSongAfterNext() const
{
    return pathAt(m_curPage, rowAfter(nextRow()));
}

QString PlaylistModel::NextSong()
{
    return becomeCurrent(nextRow());
}

int PlaylistModel::previousRow() const
{
    if (m_curPage == ListPage)
        return PreviousListRow(CurItemRow(), FirstSelectedTempRow(), TempCount());
    const int current = CurNodeRow();
    const int row = current > 0 ? lastFileRow(m_curPage, current) : -1;
    return row >= 0 ? row : lastFileRow(m_curPage, EntryCount(m_curPage));
}

QString PlaylistModel::PeekPreviousSong() const
{
    return pathAt(m_curPage, previousRow());
}

QString PlaylistModel::PreviousSong()
{
    return becomeCurrent(previousRow());
}

int PlaylistModel::SongCount() const
{
    if (m_curPage == ListPage)
        return TempCount();
    const PageRecords& entries = page(m_curPage);
    return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                          [](const auto& entry) { return entry->IsFolder == 0; }));
}

bool PlaylistModel::PlayEntry(int pageNo, int row)
{
    if (pageNo < 1 || pageNo > ListPage || row < 0 || row >= count(pageNo))
        return false;
    SetCurPage(static_cast<std::uint8_t>(pageNo));
    if (pageNo == ListPage) {
        makeCurrent(ListPage, row);
        emit PlayRequested(TempPath(row));
        return true;
    }
    // A heading plays the first file at or after it; with none, the heading is current
    // and there is nothing to play.
    const int file = firstFileRow(pageNo, row);
    if (file < 0) {
        setCurrent(m_curNode, EntryIndex(pageNo, row));
        emit PlayRequested(QString());
        return true;
    }
    makeCurrent(pageNo, file);
    emit PlayRequested(pathAt(pageNo, file));
    return true;
}

bool PlaylistModel::CueEntry(int pageNo, int row, const QString& path)
{
    if (pageNo < 1 || pageNo > ListPage || path.isEmpty())
        return false;
    const int rows = count(pageNo);
    if (row < 0 || row >= rows || pathAt(pageNo, row) != path) {
        row = 0;
        while (row < rows && pathAt(pageNo, row) != path)
            ++row;
        if (row == rows)
            return false;
    }
    SetCurPage(static_cast<std::uint8_t>(pageNo));
    makeCurrent(pageNo, row, true);
    return true;
}

void PlaylistModel::PlayHandedEntry(int row)
{
    if (row < 0 || row >= TempCount())
        return;
    SetCurPage(ListPage);
    makeCurrent(ListPage, row, true);
    emit EntryHanded(row);
    emit PlayRequested(TempPath(row));
}
