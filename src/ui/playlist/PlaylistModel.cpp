#include "PlaylistModel.h"

#include "AppFolder.h"
#include "Cmain.h"
#include "DropWalk.h"
#include "StringList.h"
#include "TempList.h"

#include <algorithm>
#include <iterator>

namespace {

// The rules that pick the entry after the current one, over row numbers only.

// The row a page's search for the next song starts at: the row after the current
// entry (`current`, -1 for none), or the top when there is none or it is the last row.
int NextPageStart(int current, int count)
{
    const int from = current + 1;
    return current < 0 || from >= count ? 0 : from;
}

// The first row at or after `from` for which `isFile(row)` holds; -1 when none does.
template <class IsFile>
int FirstFileRow(int from, int count, IsFile isFile)
{
    for (int row = std::max(from, 0); row < count; ++row)
        if (isFile(row))
            return row;
    return -1;
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

// Numbers the file entries among rows `from` to `count` - 1 (`recordAt(row)` gives a
// row's record) `counter`, `counter` + 1, ...; headings keep their numbers.
template <class RecordAt>
void NumberFiles(int from, int count, std::int32_t counter, RecordAt recordAt)
{
    for (int row = from; row < count; ++row) {
        TMusicFile* record = recordAt(row);
        if (record->IsFolder == 0)
            record->No = counter++;
    }
}

} // namespace

PlaylistModel::PlaylistModel(TM_PlayList& store) : m_store(store), m_tempFile(App.FileProblems) {}

PlaylistModel::~PlaylistModel()
{
    // The carriers never own records; ours die with the pages.
    for (CMusicFile& file : m_store.Pages)
        file.Entries->Clear();
}

PlaylistModel::Page& PlaylistModel::page(int pageNo)
{
    return m_pages.at(static_cast<std::size_t>(pageNo - 1));
}

const PlaylistModel::Page& PlaylistModel::page(int pageNo) const
{
    return m_pages.at(static_cast<std::size_t>(pageNo - 1));
}

void PlaylistModel::changed(int pageNo) const
{
    if (m_view)
        m_view->EntriesChanged(pageNo);
}

void PlaylistModel::selectionChanged(int pageNo) const
{
    if (m_view)
        m_view->SelectionChanged(pageNo);
}

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

// --- pages ---

int PlaylistModel::EntryCount(int pageNo) const
{
    return static_cast<int>(page(pageNo).size());
}

const TMusicFile& PlaylistModel::Entry(int pageNo, int row) const
{
    return *Record(pageNo, row);
}

TMusicFile* PlaylistModel::Record(int pageNo, int row) const
{
    return page(pageNo).at(static_cast<std::size_t>(row)).Record.get();
}

bool PlaylistModel::IsSelected(int pageNo, int row) const
{
    return page(pageNo).at(static_cast<std::size_t>(row)).Selected;
}

void PlaylistModel::SetSelected(int pageNo, int row, bool selected)
{
    page(pageNo).at(static_cast<std::size_t>(row)).Selected = selected;
}

void PlaylistModel::SetFocused(int pageNo, int row)
{
    m_focus[static_cast<std::size_t>(pageNo - 1)] = row >= 0 ? Record(pageNo, row) : nullptr;
}

int PlaylistModel::FocusedRow(int pageNo) const
{
    return rowOf(page(pageNo), m_focus[static_cast<std::size_t>(pageNo - 1)]);
}

void PlaylistModel::SelectOnly(int pageNo, int row)
{
    for (PageEntry& entry : page(pageNo))
        entry.Selected = false;
    if (row >= 0) {
        SetSelected(pageNo, row, true);
        SetFocused(pageNo, row);
    }
    selectionChanged(pageNo);
}

int PlaylistModel::rowOf(const Page& entries, const TMusicFile* record) const
{
    if (!record)
        return -1;
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [record](const PageEntry& entry) { return entry.Record.get() == record; });
    return found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
}

int PlaylistModel::SelectedRow(int pageNo) const
{
    const Page& entries = page(pageNo);
    const int focused = FocusedRow(pageNo);
    if (focused >= 0 && entries[static_cast<std::size_t>(focused)].Selected)
        return focused;
    const auto first = std::find_if(entries.begin(), entries.end(), [](const PageEntry& entry) { return entry.Selected; });
    return first == entries.end() ? -1 : static_cast<int>(first - entries.begin());
}

void PlaylistModel::AppendEntries(int pageNo, std::vector<std::unique_ptr<TMusicFile>> records)
{
    Page& entries = page(pageNo);
    const int first = static_cast<int>(entries.size());
    // Numbering goes on from the last file before the new entries.
    std::int32_t counter = 1;
    for (int row = first - 1; row >= 0; --row) {
        const TMusicFile& record = *entries[static_cast<std::size_t>(row)].Record;
        if (record.IsFolder == 0) {
            counter = record.No + 1;
            break;
        }
    }
    for (auto& record : records)
        if (record)
            entries.push_back(PageEntry{std::move(record)});
    const int count = static_cast<int>(entries.size());
    NumberFiles(first, count, counter, [&entries](int row) { return entries[static_cast<std::size_t>(row)].Record.get(); });
    if (m_view && count > first)
        m_view->EntriesInserted(pageNo, first, count - first);
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

void PlaylistModel::DeleteSelected(int pageNo)
{
    Page& entries = page(pageNo);
    std::vector<int> rows;
    for (int row = 0; row < EntryCount(pageNo); ++row)
        if (entries[static_cast<std::size_t>(row)].Selected)
            rows.push_back(row);
    if (rows.empty())
        return;
    const auto goes = [&entries, this](const TMusicFile* record) {
        const int row = rowOf(entries, record);
        return row >= 0 && entries[static_cast<std::size_t>(row)].Selected;
    };
    if (goes(m_curNode))
        m_curNode = nullptr;
    const TMusicFile*& focused = m_focus[static_cast<std::size_t>(pageNo - 1)];
    if (goes(focused))
        focused = nullptr;
    forRunsFromTheEnd(rows, [&](int first, int count) {
        if (m_view)
            m_view->EntriesRemoving(pageNo, first, count);
        entries.erase(entries.begin() + first, entries.begin() + first + count);
    });
    Renumber(pageNo);
}

void PlaylistModel::MoveSelected(int pageNo, int target)
{
    Page& entries = page(pageNo);
    const TMusicFile* before = target >= 0 ? entries.at(static_cast<std::size_t>(target)).Record.get() : nullptr;
    // An entry dropped on itself stays where it is, and the others go before it.
    std::vector<int> rows;
    for (int row = 0; row < EntryCount(pageNo); ++row) {
        const PageEntry& entry = entries[static_cast<std::size_t>(row)];
        if (entry.Selected && entry.Record.get() != before)
            rows.push_back(row);
    }
    if (rows.empty())
        return;
    std::vector<Page> runs;
    forRunsFromTheEnd(rows, [&](int first, int count) {
        if (m_view)
            m_view->EntriesRemoving(pageNo, first, count);
        Page run(std::make_move_iterator(entries.begin() + first), std::make_move_iterator(entries.begin() + first + count));
        entries.erase(entries.begin() + first, entries.begin() + first + count);
        runs.push_back(std::move(run));
    });
    Page moving;
    for (auto run = runs.rbegin(); run != runs.rend(); ++run)
        std::move(run->begin(), run->end(), std::back_inserter(moving));
    if (before)
        for (PageEntry& entry : moving)
            if (entry.Record->IsFolder == 0)
                entry.Record->Level = before->Level;
    const int at = before ? rowOf(entries, before) : EntryCount(pageNo);
    const int count = static_cast<int>(moving.size());
    entries.insert(entries.begin() + at, std::make_move_iterator(moving.begin()), std::make_move_iterator(moving.end()));
    if (m_view)
        m_view->EntriesInserted(pageNo, at, count);
    Renumber(pageNo);
    selectionChanged(pageNo);
}

void PlaylistModel::Renumber(int pageNo)
{
    Page& entries = page(pageNo);
    NumberFiles(0, EntryCount(pageNo), 1, [&entries](int row) { return entries[static_cast<std::size_t>(row)].Record.get(); });
    changed(pageNo);
}

// --- the temporary list ---

QString PlaylistModel::TempPath(int row) const
{
    return m_temp.at(static_cast<std::size_t>(row))->Path;
}

QStringList PlaylistModel::TempPaths() const
{
    QStringList paths;
    paths.reserve(TempCount());
    for (const auto& entry : m_temp)
        paths.append(entry->Path);
    return paths;
}

bool PlaylistModel::IsTempSelected(int row) const
{
    return m_temp.at(static_cast<std::size_t>(row))->Selected;
}

void PlaylistModel::SetTempSelected(int row, bool selected)
{
    m_temp.at(static_cast<std::size_t>(row))->Selected = selected;
}

int PlaylistModel::FirstSelectedTempRow() const
{
    const auto first = std::find_if(m_temp.begin(), m_temp.end(), [](const auto& entry) { return entry->Selected; });
    return first == m_temp.end() ? -1 : static_cast<int>(first - m_temp.begin());
}

int PlaylistModel::tempRowOf(const TempEntry* entry) const
{
    if (!entry)
        return -1;
    const auto found = std::find_if(m_temp.begin(), m_temp.end(), [entry](const auto& held) { return held.get() == entry; });
    return found == m_temp.end() ? -1 : static_cast<int>(found - m_temp.begin());
}

int PlaylistModel::TempRowOf(const QString& path) const
{
    if (!m_tempPaths.contains(path))
        return -1;
    const auto found = std::find_if(m_temp.begin(), m_temp.end(), [&path](const auto& entry) { return entry->Path == path; });
    return found == m_temp.end() ? -1 : static_cast<int>(found - m_temp.begin());
}

void PlaylistModel::insertTemp(int at, std::vector<std::unique_ptr<TempEntry>> entries)
{
    if (entries.empty())
        return;
    for (const auto& entry : entries)
        ++m_tempPaths[entry->Path];
    const int count = static_cast<int>(entries.size());
    m_temp.insert(m_temp.begin() + at, std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
    if (m_view)
        m_view->EntriesInserted(ListPage, at, count);
}

void PlaylistModel::removeTempRows(const std::vector<int>& rows)
{
    forRunsFromTheEnd(rows, [&](int first, int count) {
        if (m_view)
            m_view->EntriesRemoving(ListPage, first, count);
        for (int row = first; row < first + count; ++row) {
            const TempEntry* entry = m_temp[static_cast<std::size_t>(row)].get();
            if (entry == m_curItem)
                m_curItem = nullptr;
            const auto listed = m_tempPaths.find(entry->Path);
            if (listed != m_tempPaths.end() && --listed.value() <= 0)
                m_tempPaths.erase(listed);
        }
        m_temp.erase(m_temp.begin() + first, m_temp.begin() + first + count);
    });
}

PlaylistModel::TempAdd PlaylistModel::AddTempFile(const QString& path, int* row)
{
    if (!IsMusicFile(path))
        return TempAdd::NotMusic;
    // A line break inside a name would turn one entry into two in "Temprary.txt".
    if (HasLineBreak(path))
        return TempAdd::Refused;
    // Names are bytes: only the very same path is a duplicate.
    if (m_tempPaths.contains(path)) {
        if (row)
            *row = TempRowOf(path);
        return TempAdd::Listed;
    }
    AddTempItem(path);
    if (row)
        *row = TempCount() - 1;
    return TempAdd::Added;
}

void PlaylistModel::AddTempItem(const QString& path)
{
    AddTempItems({path});
}

void PlaylistModel::AddTempItems(const QStringList& paths)
{
    std::vector<std::unique_ptr<TempEntry>> entries;
    entries.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& path : paths)
        entries.push_back(std::make_unique<TempEntry>(TempEntry{path}));
    insertTemp(TempCount(), std::move(entries));
}

void PlaylistModel::Receive(int pageNo, DropBatch& batch, QStringList* refused, int* firstRow)
{
    if (pageNo != ListPage) {
        AppendEntries(pageNo, std::move(batch.Records));
        batch.Records.clear();
        return;
    }
    for (const QString& path : batch.Paths) {
        int row = -1;
        const TempAdd added = AddTempFile(path, &row);
        if (added == TempAdd::Refused && refused)
            refused->append(path);
        if (firstRow && *firstRow < 0 && row >= 0)
            *firstRow = row;
    }
}

void PlaylistModel::DeleteSelectedTemp()
{
    std::vector<int> rows;
    for (int row = 0; row < TempCount(); ++row)
        if (m_temp[static_cast<std::size_t>(row)]->Selected)
            rows.push_back(row);
    removeTempRows(rows);
}

void PlaylistModel::MoveSelectedTemp(int target)
{
    std::vector<std::unique_ptr<TempEntry>> copies;
    std::vector<const TempEntry*> originals;
    for (const auto& entry : m_temp)
        if (entry->Selected) {
            copies.push_back(std::make_unique<TempEntry>(TempEntry{entry->Path}));
            originals.push_back(entry.get());
        }
    if (copies.empty())
        return;
    // The copies go in before the target (the target among the originals when it was
    // selected), unselected; then the originals go.
    insertTemp(target >= 0 ? target : TempCount(), std::move(copies));
    std::vector<int> rows;
    for (int row = 0; row < TempCount(); ++row)
        if (std::find(originals.begin(), originals.end(), m_temp[static_cast<std::size_t>(row)].get()) != originals.end())
            rows.push_back(row);
    removeTempRows(rows);
}

// --- files ---

void PlaylistModel::LoadPages()
{
    for (int n = 1; n <= PageCount; ++n) {
        CMusicFile& file = m_store.Pages[n - 1];
        file.Load();
        std::vector<std::unique_ptr<TMusicFile>> records;
        records.reserve(static_cast<std::size_t>(file.Entries->Count()));
        for (int i = 0; i < file.Entries->Count(); ++i)
            records.emplace_back(file.Entries->Get(i));
        file.Entries->Clear();
        AppendEntries(n, std::move(records));
    }
}

void PlaylistModel::SavePages(bool all, CMusicFile::Warnings warnings)
{
    for (int n = 1; n <= PageCount; ++n) {
        CMusicFile& file = m_store.Pages[n - 1];
        file.Entries->Clear();
        for (const PageEntry& entry : page(n))
            file.Entries->Add(entry.Record.get());
        if (all)
            file.Save(warnings);
        else
            file.SaveIfModified();
        // The records stay ours: a later read must not find them on the carrier.
        file.Entries->Clear();
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

// --- which entry plays ---

int PlaylistModel::CurNodeRow() const
{
    return m_curPage == ListPage ? -1 : rowOf(page(m_curPage), m_curNode);
}

int PlaylistModel::CurItemRow() const
{
    return tempRowOf(m_curItem);
}

int PlaylistModel::CurrentRow() const
{
    return m_curPage == ListPage ? CurItemRow() : CurNodeRow();
}

QString PlaylistModel::pathAt(int row) const
{
    if (row < 0)
        return {};
    if (m_curPage == ListPage)
        return TempPath(row);
    return EntryPath(Entry(m_curPage, row));
}

QString PlaylistModel::CurrentSong()
{
    if (m_curPage == ListPage) {
        if (m_temp.empty())
            return {};
        const int row = std::max(FirstSelectedTempRow(), 0);
        m_curItem = m_temp[static_cast<std::size_t>(row)].get();
        SetTempSelected(row, true);
        selectionChanged(ListPage);
        return TempPath(row);
    }
    const Page& entries = page(m_curPage);
    if (entries.empty())
        return {};
    const int row = FirstFileRow(std::max(SelectedRow(m_curPage), 0), EntryCount(m_curPage),
                                 [&entries](int at) { return entries[static_cast<std::size_t>(at)].Record->IsFolder == 0; });
    if (row < 0)
        return {};
    m_curNode = entries[static_cast<std::size_t>(row)].Record.get();
    SelectOnly(m_curPage, row);
    return pathAt(row);
}

int PlaylistModel::nextRow() const
{
    if (m_curPage == ListPage)
        return NextListRow(CurItemRow(), FirstSelectedTempRow(), TempCount());
    const Page& entries = page(m_curPage);
    const int count = EntryCount(m_curPage);
    return FirstFileRow(NextPageStart(rowOf(entries, m_curNode), count), count,
                        [&entries](int at) { return entries[static_cast<std::size_t>(at)].Record->IsFolder == 0; });
}

QString PlaylistModel::PeekNextSong() const
{
    return pathAt(nextRow());
}

QString PlaylistModel::NextSong()
{
    const int row = nextRow();
    if (row < 0)
        return {};
    if (m_curPage == ListPage) {
        // The entry that played is no longer highlighted; others selected stay so.
        if (const int current = CurItemRow(); current >= 0)
            SetTempSelected(current, false);
        m_curItem = m_temp[static_cast<std::size_t>(row)].get();
        SetTempSelected(row, true);
        selectionChanged(ListPage);
    } else {
        m_curNode = page(m_curPage)[static_cast<std::size_t>(row)].Record.get();
        SelectOnly(m_curPage, row);
    }
    return pathAt(row);
}

bool PlaylistModel::ChooseFromPage(int pageNo)
{
    const int row = SelectedRow(pageNo);
    if (row < 0)
        return false;
    m_curPage = static_cast<std::uint8_t>(pageNo);
    m_curNode = page(pageNo)[static_cast<std::size_t>(row)].Record.get();
    return true;
}

bool PlaylistModel::ChooseFromList()
{
    const int row = FirstSelectedTempRow();
    if (row < 0)
        return false;
    m_curItem = m_temp[static_cast<std::size_t>(row)].get();
    m_curPage = ListPage;
    return true;
}
