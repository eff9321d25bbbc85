#include "PlaylistModel.h"

#include "FileName.h"

#include <QMimeData>

#include <algorithm>

namespace {

// What an entry dragged inside a view carries: nothing but its kind.
const QString kEntriesMime = QStringLiteral("application/x-sorvel-entries");

} // namespace

QString EntryRowText(const PageEntry& record, const QString& nodeText)
{
    const QString number = record.IsFolder == 1 ? QStringLiteral("     ")
                                                : QStringLiteral("%1").arg(record.No, 5);
    return number + QString(2 * record.Level, QLatin1Char(' ')) + QLatin1Char(' ') + nodeText;
}

PlaylistModel::PlaylistModel(SaveProblems& problems, QObject* parent)
    : QAbstractItemModel(parent), m_tempFile(problems)
{
    for (auto& selection : m_selections)
        selection = std::make_unique<QItemSelectionModel>(this);
}

PlaylistModel::~PlaylistModel()
{
    // The carriers never own records (and the model leaves them empty).
    for (CMusicFile& file : m_store.Pages)
        file.Entries->Clear();
}

// --- the item model ---

QModelIndex PlaylistModel::PageIndex(int pageNo) const
{
    if (pageNo < 1 || pageNo > ListPage)
        return {};
    return createIndex(pageNo - 1, 0, quintptr(0));
}

QModelIndex PlaylistModel::EntryIndex(int pageNo, int row) const
{
    if (pageNo < 1 || pageNo > ListPage || row < 0 || row >= count(pageNo))
        return {};
    return createIndex(row, 0, quintptr(pageNo));
}

int PlaylistModel::PageOf(const QModelIndex& index)
{
    return index.isValid() ? static_cast<int>(index.internalId()) : 0;
}

int PlaylistModel::count(int pageNo) const
{
    return pageNo == ListPage ? TempCount() : static_cast<int>(page(pageNo).size());
}

QModelIndex PlaylistModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < ListPage ? createIndex(row, 0, quintptr(0)) : QModelIndex();
    if (parent.internalId() != 0)
        return {};
    return EntryIndex(parent.row() + 1, row);
}

QModelIndex PlaylistModel::parent(const QModelIndex& child) const
{
    const int pageNo = PageOf(child);
    return pageNo == 0 ? QModelIndex() : PageIndex(pageNo);
}

int PlaylistModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return ListPage;
    return parent.internalId() == 0 ? count(parent.row() + 1) : 0;
}

int PlaylistModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool PlaylistModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant PlaylistModel::data(const QModelIndex& index, int role) const
{
    const int pageNo = PageOf(index);
    if (pageNo == 0) {
        if (index.isValid() && role == Qt::DisplayRole)
            return index.row() + 1 == ListPage ? QStringLiteral("Temprary") : PageCaption(index.row() + 1);
        return {};
    }
    const int row = index.row();
    if (row >= count(pageNo))
        return {};
    if (role == CurrentRole) {
        const QPersistentModelIndex& current = pageNo == ListPage ? m_curItem : m_curNode;
        return pageNo == m_curPage && current == index;
    }
    if (pageNo == ListPage) {
        switch (role) {
        case Qt::DisplayRole:
            return ReadableFileName(TempPath(row));
        case PathRole:
            return TempPath(row);
        default:
            return {};
        }
    }
    const PageEntry& record = Entry(pageNo, row);
    switch (role) {
    case Qt::DisplayRole:
        // Read from the record when a row is shown: a page of tens of thousands of
        // entries opens without decoding every path.
        return ReadableFileName(EntryDisplayName(record));
    case PathRole:
        return EntryPath(record);
    case RowTextRole:
        return EntryRowText(record, ReadableFileName(EntryDisplayName(record)));
    case IsFolderRole:
        return record.IsFolder == 1;
    default:
        return {};
    }
}

Qt::ItemFlags PlaylistModel::flags(const QModelIndex& index) const
{
    if (PageOf(index) == 0)
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsDropEnabled : Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QVariant PlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QStringLiteral("음악 파일명");
    return {};
}

QStringList PlaylistModel::mimeTypes() const
{
    return {kEntriesMime};
}

QMimeData* PlaylistModel::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty())
        return nullptr;
    auto* mime = new QMimeData;
    mime->setData(kEntriesMime, QByteArray::number(PageOf(indexes.first())));
    return mime;
}

Qt::DropActions PlaylistModel::supportedDragActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

Qt::DropActions PlaylistModel::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

// --- selection ---

QItemSelectionModel& PlaylistModel::selection(int pageNo) const
{
    return *m_selections.at(static_cast<std::size_t>(pageNo - 1));
}

QItemSelectionModel* PlaylistModel::SelectionModel(int pageNo) const
{
    return &selection(pageNo);
}

bool PlaylistModel::IsSelected(int pageNo, int row) const
{
    return selection(pageNo).isRowSelected(row, PageIndex(pageNo));
}

void PlaylistModel::SetSelected(int pageNo, int row, bool selected)
{
    const QModelIndex entry = EntryIndex(pageNo, row);
    if (entry.isValid())
        selection(pageNo).select(entry, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect)
                                            | QItemSelectionModel::Rows);
}

void PlaylistModel::SetFocused(int pageNo, int row)
{
    selection(pageNo).setCurrentIndex(EntryIndex(pageNo, row), QItemSelectionModel::NoUpdate);
}

int PlaylistModel::FocusedRow(int pageNo) const
{
    const QModelIndex current = selection(pageNo).currentIndex();
    return PageOf(current) == pageNo ? current.row() : -1;
}

void PlaylistModel::SelectOnly(int pageNo, int row)
{
    const QModelIndex entry = EntryIndex(pageNo, row);
    if (entry.isValid())
        selection(pageNo).setCurrentIndex(entry, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else
        selection(pageNo).clearSelection();
}

std::vector<int> PlaylistModel::SelectedRows(int pageNo) const
{
    std::vector<int> rows;
    const QModelIndex parent = PageIndex(pageNo);
    for (const QItemSelectionRange& range : selection(pageNo).selection())
        if (range.parent() == parent)
            for (int row = range.top(); row <= range.bottom(); ++row)
                rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int PlaylistModel::SelectedRow(int pageNo) const
{
    if (pageNo != ListPage) {
        const int focused = FocusedRow(pageNo);
        if (focused >= 0 && IsSelected(pageNo, focused))
            return focused;
    }
    int first = -1;
    const QModelIndex parent = PageIndex(pageNo);
    for (const QItemSelectionRange& range : selection(pageNo).selection())
        if (range.parent() == parent && (first < 0 || range.top() < first))
            first = range.top();
    return first;
}

int PlaylistModel::ChosenRow(int pageNo) const
{
    const int selected = SelectedRow(pageNo);
    return selected >= 0 ? selected : FocusedRow(pageNo);
}

void PlaylistModel::SetCursorHeld(int pageNo, bool held)
{
    m_held.at(static_cast<std::size_t>(pageNo - 1)) = held;
}

bool PlaylistModel::CursorHeld(int pageNo) const
{
    return m_held.at(static_cast<std::size_t>(pageNo - 1));
}

// --- pages ---

int PlaylistModel::EntryCount(int pageNo) const
{
    return static_cast<int>(page(pageNo).size());
}

const PageEntry& PlaylistModel::Entry(int pageNo, int row) const
{
    return *Record(pageNo, row);
}

PageEntry* PlaylistModel::Record(int pageNo, int row) const
{
    return page(pageNo).at(static_cast<std::size_t>(row)).get();
}

// --- the temporary list ---

const QString& PlaylistModel::TempPath(int row) const
{
    return m_temp.at(static_cast<std::size_t>(row));
}

QStringList PlaylistModel::TempPaths() const
{
    return QStringList(m_temp.begin(), m_temp.end());
}

void PlaylistModel::rebuildTempRows() const
{
    m_tempRows.Clear();
    m_tempRows.Reserve(m_temp.size());
    const auto pathOf = [this](int row) -> const QString& { return TempPath(row); };
    for (int row = 0; row < TempCount(); ++row)
        m_tempRows.FindOrAdd(TempPath(row), row, pathOf);
    m_tempRowsStale = false;
}

int PlaylistModel::TempRowOf(const QString& path) const
{
    if (m_tempRowsStale)
        rebuildTempRows();
    return m_tempRows.Find(path, [this](int row) -> const QString& { return TempPath(row); });
}
