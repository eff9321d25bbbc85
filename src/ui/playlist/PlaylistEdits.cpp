// The playlist model's edits: entries added (one insertion per call or batch), deleted,
// moved and renumbered, and the page files and "Temprary.txt" read and written.

#include "PlaylistModel.h"

#include "AppFolder.h"
#include "DropQueue.h"
#include "DropWalk.h"
#include "TempList.h"

#include <algorithm>

namespace {

// Numbers the file entries among rows `from` to the end `counter`, `counter` + 1, ...;
// headings keep their numbers.
template <class Records>
void NumberFiles(Records& entries, std::size_t from, std::int32_t counter)
{
    for (std::size_t row = from; row < entries.size(); ++row)
        if (entries[row]->IsFolder == 0)
            entries[row]->No = counter++;
}

// Rows added to an empty index in one go from this many on are indexed at the next look.
constexpr int kIndexLater = 1024;

} // namespace

template <class Remove>
void PlaylistModel::forRunsFromTheEnd(const std::vector<int>& rows, Remove remove)
{
    // `rows` ascending: each run of consecutive rows goes in one step, the last run
    // first, so the rows still to go keep their numbers.
    auto end = rows.size();
    while (end > 0) {
        auto begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1)
            --begin;
        remove(rows[begin], static_cast<int>(end - begin));
        end = begin;
    }
}

// --- adding ---

void PlaylistModel::AppendEntries(int pageNo, std::vector<std::unique_ptr<TMusicFile>> records)
{
    PageRecords taken;
    taken.reserve(records.size());
    for (auto& record : records)
        if (record) {
            taken.push_back(std::make_unique<PageEntry>(*record));
            record.reset();
        }
    appendPage(pageNo, std::move(taken));
}

void PlaylistModel::appendPage(int pageNo, PageRecords records)
{
    if (records.empty())
        return;
    PageRecords& entries = page(pageNo);
    const int first = EntryCount(pageNo);
    // Numbering goes on from the last file before the new entries.
    std::int32_t counter = 1;
    for (auto row = entries.rbegin(); row != entries.rend(); ++row)
        if ((*row)->IsFolder == 0) {
            counter = (*row)->No + 1;
            break;
        }
    beginInsertRows(PageIndex(pageNo), first, first + static_cast<int>(records.size()) - 1);
    entries.insert(entries.end(), std::make_move_iterator(records.begin()), std::make_move_iterator(records.end()));
    NumberFiles(entries, static_cast<std::size_t>(first), counter);
    endInsertRows();
    emit SongsChanged();
}

bool PlaylistModel::AddPageEntry(int pageNo, const QString& path, bool isFolder, int level)
{
    if (!isFolder && !IsMusicFile(path))
        return false;
    auto record = TMusicFile::Create(isFolder, path);
    if (!record)
        return false;
    record->Level = static_cast<std::uint8_t>(std::clamp(level, 0, 255));
    std::vector<std::unique_ptr<TMusicFile>> records;
    records.push_back(std::move(record));
    AppendEntries(pageNo, std::move(records));
    return true;
}

void PlaylistModel::insertTemp(int at, QStringList paths, bool indexed)
{
    if (paths.isEmpty())
        return;
    const int count = static_cast<int>(paths.size());
    beginInsertRows(PageIndex(ListPage), at, at + count - 1);
    // A list read whole (at start-up) is indexed at its first look, not while it is read.
    if (at == TempCount() && !m_tempRowsStale && (indexed || m_tempRows.Size() > 0 || count < kIndexLater)) {
        const auto pathOf = [&](int row) -> const QString& { return row < at ? TempPath(row) : paths[row - at]; };
        for (int i = 0; i < count && !indexed; ++i)
            m_tempRows.FindOrAdd(paths[i], at + i, pathOf);
    } else {
        m_tempRowsStale = true;
    }
    m_temp.insert(m_temp.begin() + at, std::make_move_iterator(paths.begin()), std::make_move_iterator(paths.end()));
    endInsertRows();
    emit SongsChanged();
}

void PlaylistModel::AddTempItem(const QString& path)
{
    insertTemp(TempCount(), {path});
}

void PlaylistModel::AddTempItems(const QStringList& paths)
{
    insertTemp(TempCount(), paths);
}

PlaylistModel::TempAdd PlaylistModel::AddTempFile(const QString& path, int* row)
{
    if (!IsMusicFile(path))
        return TempAdd::NotMusic;
    DropBatch batch;
    batch.Paths = {path};
    QStringList refused;
    int at = -1;
    const int before = TempCount();
    Receive(ListPage, batch, &refused, &at);
    if (row)
        *row = at;
    if (!refused.isEmpty())
        return TempAdd::Refused;
    return TempCount() > before ? TempAdd::Added : TempAdd::Listed;
}

void PlaylistModel::Receive(int pageNo, DropBatch& batch, QStringList* refused, int* firstRow)
{
    if (pageNo != ListPage) {
        AppendEntries(pageNo, std::move(batch.Records));
        batch.Records.clear();
        return;
    }
    if (m_tempRowsStale)
        rebuildTempRows();
    QStringList fresh;
    const int at = TempCount();
    const auto pathOf = [&](int row) -> const QString& { return row < at ? TempPath(row) : fresh[row - at]; };
    for (const QString& path : std::as_const(batch.Paths)) {
        // A line break inside a name would turn one entry into two in "Temprary.txt".
        if (HasLineBreak(path)) {
            if (refused)
                refused->append(path);
            continue;
        }
        // Names are bytes: only the very same path is a duplicate. A new path's row is
        // noted at once (one look into the hash), so the batch itself holds each path once.
        const int row = m_tempRows.FindOrAdd(path, at + static_cast<int>(fresh.size()), pathOf);
        if (row == at + fresh.size())
            fresh.append(path);
        if (firstRow && *firstRow < 0)
            *firstRow = row;
    }
    insertTemp(TempCount(), std::move(fresh), true);
}

// --- deleting ---

void PlaylistModel::takeRows(int pageNo, const std::vector<int>& rows)
{
    if (rows.empty())
        return;
    forRunsFromTheEnd(rows, [&](int first, int count) {
        beginRemoveRows(PageIndex(pageNo), first, first + count - 1);
        if (pageNo == ListPage) {
            m_temp.erase(m_temp.begin() + first, m_temp.begin() + first + count);
            m_tempRowsStale = true;
        } else {
            PageRecords& entries = page(pageNo);
            entries.erase(entries.begin() + first, entries.begin() + first + count);
        }
        endRemoveRows();
    });
    emit SongsChanged();
}

void PlaylistModel::DeleteSelected(int pageNo)
{
    const std::vector<int> rows = SelectedRows(pageNo);
    if (rows.empty())
        return;
    takeRows(pageNo, rows);
    if (pageNo != ListPage)
        Renumber(pageNo);
}

void PlaylistModel::DeleteChosen(int pageNo)
{
    std::vector<int> rows = SelectedRows(pageNo);
    if (rows.empty() && FocusedRow(pageNo) >= 0)
        rows.push_back(FocusedRow(pageNo));
    if (rows.empty())
        return;
    takeRows(pageNo, rows);
    if (pageNo != ListPage)
        Renumber(pageNo);
}

// --- moving ---

void PlaylistModel::MoveSelected(int pageNo, int target)
{
    PageRecords& entries = page(pageNo);
    const int count = EntryCount(pageNo);
    if (target >= count)
        target = -1;
    // An entry dropped on itself stays where it is, and the others go before it.
    std::vector<int> rows = SelectedRows(pageNo);
    rows.erase(std::remove(rows.begin(), rows.end(), target), rows.end());
    if (rows.empty())
        return;
    // The new order, as old rows: the rows that stay, with the moved ones (in their
    // order) before the target or at the end.
    std::vector<char> moving(static_cast<std::size_t>(count), 0);
    for (int row : rows)
        moving[static_cast<std::size_t>(row)] = 1;
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) {
        if (row == target)
            order.insert(order.end(), rows.begin(), rows.end());
        if (!moving[static_cast<std::size_t>(row)])
            order.push_back(row);
    }
    if (target < 0)
        order.insert(order.end(), rows.begin(), rows.end());

    // One change of layout for the whole move: selections, the current entry and the
    // keyboard's row follow their entries.
    const QModelIndex parent = PageIndex(pageNo);
    emit layoutAboutToBeChanged({QPersistentModelIndex(parent)});
    std::vector<int> newRowOf(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row)
        newRowOf[static_cast<std::size_t>(order[static_cast<std::size_t>(row)])] = row;
    QModelIndexList from;
    QModelIndexList to;
    for (const QModelIndex& index : persistentIndexList())
        if (PageOf(index) == pageNo) {
            from.append(index);
            to.append(createIndex(newRowOf[static_cast<std::size_t>(index.row())], 0, quintptr(pageNo)));
        }
    PageRecords reordered(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row)
        reordered[static_cast<std::size_t>(row)] = std::move(entries[static_cast<std::size_t>(order[static_cast<std::size_t>(row)])]);
    entries.swap(reordered);
    changePersistentIndexList(from, to);
    emit layoutChanged({QPersistentModelIndex(parent)});

    // A moved file takes the level of the entry it was dropped on.
    if (target >= 0) {
        const std::uint8_t level = entries[static_cast<std::size_t>(newRowOf[static_cast<std::size_t>(target)])]->Level;
        for (int row : rows) {
            PageEntry& record = *entries[static_cast<std::size_t>(newRowOf[static_cast<std::size_t>(row)])];
            if (record.IsFolder == 0)
                record.Level = level;
        }
    }
    Renumber(pageNo);
    emit SongsChanged();
}

void PlaylistModel::MoveSelectedTemp(int target, bool selectCopies)
{
    const std::vector<int> rows = SelectedRows(ListPage);
    if (rows.empty())
        return;
    const int at = target >= 0 && target < TempCount() ? target : TempCount();
    QStringList copies;
    for (int row : rows)
        copies.append(TempPath(row));
    const auto focused = std::find(rows.begin(), rows.end(), FocusedRow(ListPage));
    // The copies go in before the target (the target among the originals when it was
    // selected), unselected; then the originals go.
    const int moved = static_cast<int>(rows.size());
    insertTemp(at, copies);
    std::vector<int> originals;
    for (int row : rows)
        originals.push_back(row >= at ? row + moved : row);
    takeRows(ListPage, originals);
    if (!selectCopies)
        return;
    const int first = at - static_cast<int>(std::count_if(rows.begin(), rows.end(), [at](int row) { return row < at; }));
    selection(ListPage).select(QItemSelection(EntryIndex(ListPage, first), EntryIndex(ListPage, first + moved - 1)),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (focused != rows.end())
        SetFocused(ListPage, first + static_cast<int>(focused - rows.begin()));
}

void PlaylistModel::MoveChosen(int pageNo, int step)
{
    std::vector<int> rows = SelectedRows(pageNo);
    if (rows.empty()) {
        if (FocusedRow(pageNo) < 0)
            return;
        rows.push_back(FocusedRow(pageNo));
        SetSelected(pageNo, rows.front(), true);
    }
    const int count = this->count(pageNo);
    int target = -1;
    if (step < 0) {
        if (rows.front() == 0)
            return;
        target = rows.front() - 1;
    } else {
        if (rows.back() + 1 >= count)
            return;
        target = rows.back() + 2 < count ? rows.back() + 2 : -1;
    }
    if (pageNo == ListPage)
        MoveSelectedTemp(target, true);
    else
        MoveSelected(pageNo, target);
}

void PlaylistModel::Renumber(int pageNo)
{
    PageRecords& entries = page(pageNo);
    NumberFiles(entries, 0, 1);
    if (!entries.empty())
        emit dataChanged(EntryIndex(pageNo, 0), EntryIndex(pageNo, EntryCount(pageNo) - 1), {RowTextRole});
}

// --- files ---

void PlaylistModel::LoadPages()
{
    for (int n = 1; n <= PageCount; ++n) {
        // Read straight into entries: no page is ever held as whole records.
        PageRecords entries;
        const CMusicFile::RecordSink take = [&entries](const TMusicFile& record) {
            entries.push_back(std::make_unique<PageEntry>(record));
        };
        Page(n).Load(&take);
        appendPage(n, std::move(entries));
    }
}

void PlaylistModel::SavePages(bool all, CMusicFile::Warnings warnings)
{
    for (int n = 1; n <= PageCount; ++n) {
        CMusicFile& file = Page(n);
        const PageRecords& entries = page(n);
        const CMusicFile::RecordSource source{static_cast<int>(entries.size()), [&entries](int i, TMusicFile& record) {
                                                  entries[static_cast<std::size_t>(i)]->ToRecord(record);
                                              }};
        if (all)
            file.Save(warnings, &source);
        else
            file.SaveIfModified(&source);
    }
}

QString PlaylistModel::TempListFileName()
{
    return ProgramFolder() + QStringLiteral("Temprary.txt");
}

void PlaylistModel::LoadTempList()
{
    AddTempItems(m_tempFile.Load(TempListFileName()));
}

bool PlaylistModel::SaveTempList() const
{
    return m_tempFile.SaveNow(TempListFileName(), TempPaths());
}

void PlaylistModel::SaveTempListLater() const
{
    m_tempFile.SaveLater(TempListFileName(), TempPaths());
}
