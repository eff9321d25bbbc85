#include "PlaylistPages.h"

#include "G.h"

#include <QItemSelectionModel>

#include <algorithm>
#include <utility>

CPlaylist::CPlaylist(const std::array<TDropTreeView*, 5>& trees, TDropListView* list, TM_PlayList& store)
    : trees_(trees), list_(list), store_(store), model_(store)
{
    for (int n = 1; n <= 5; ++n) {
        TDropTreeView* tree = TreeView(n);
        Page(n).Tree = tree;
        connections_.push_back(QObject::connect(tree, &TDropTreeView::FilesDropped, tree,
                                                [this, tree](const QStringList& paths) { WMDropFiles(tree, paths); }));
        connections_.push_back(QObject::connect(
            tree, &TDropTreeView::EntriesDropped, tree,
            [this, tree](QWidget* source, QTreeWidgetItem* target) { MoveTreeEntries(tree, source, target); }));
        watchSelection(tree, n);
    }
    connections_.push_back(QObject::connect(list_, &TDropListView::FilesDropped, list_,
                                            [this](const QStringList& paths) { WMDropFiles(list_, paths); }));
    connections_.push_back(QObject::connect(list_, &TDropListView::EntriesDropped, list_,
                                            [this](QWidget* source, QTreeWidgetItem* target) {
                                                MoveTempEntries(source, target);
                                            }));
    watchSelection(list_, PlaylistModel::ListPage);
    model_.SetView(this);
}

CPlaylist::~CPlaylist()
{
    model_.SetView(nullptr);
    for (const auto& connection : connections_)
        QObject::disconnect(connection);
    // The nodes point into the model's records, which go with it.
    for (int n = 1; n <= 5; ++n) {
        TreeView(n)->clear();
        if (Page(n).Tree == TreeView(n))
            Page(n).Tree = nullptr;
    }
    list_->clear();
}

QTreeWidget* CPlaylist::viewOf(int pageNo) const
{
    if (pageNo == PlaylistModel::ListPage)
        return list_;
    return TreeView(pageNo);
}

void CPlaylist::watchSelection(QTreeWidget* view, int pageNo)
{
    QItemSelectionModel* selection = view->selectionModel();
    connections_.push_back(QObject::connect(
        selection, &QItemSelectionModel::selectionChanged, view,
        [this, pageNo](const QItemSelection& selected, const QItemSelection& deselected) {
            if (following_)
                return;
            const auto mark = [this, pageNo](const QItemSelection& ranges, bool on) {
                for (const QItemSelectionRange& range : ranges) {
                    if (range.parent().isValid())
                        continue;
                    for (int row = range.top(); row <= range.bottom(); ++row) {
                        if (pageNo == PlaylistModel::ListPage) {
                            if (row < model_.TempCount())
                                model_.SetTempSelected(row, on);
                        } else if (row < model_.EntryCount(pageNo)) {
                            model_.SetSelected(pageNo, row, on);
                        }
                    }
                }
            };
            mark(deselected, false);
            mark(selected, true);
        }));
    if (pageNo == PlaylistModel::ListPage)
        return;
    connections_.push_back(QObject::connect(selection, &QItemSelectionModel::currentChanged, view,
                                            [this, pageNo](const QModelIndex& current) {
                                                if (following_)
                                                    return;
                                                const bool row = current.isValid() && !current.parent().isValid() &&
                                                                 current.row() < model_.EntryCount(pageNo);
                                                model_.SetFocused(pageNo, row ? current.row() : -1);
                                            }));
}

// --- the views follow the model ---

void CPlaylist::EntriesInserted(int pageNo, int first, int count)
{
    QTreeWidget* view = viewOf(pageNo);
    const bool following = std::exchange(following_, true);
    UpdateGuard update(view);
    QList<QTreeWidgetItem*> items;
    items.reserve(count);
    for (int row = first; row < first + count; ++row) {
        if (pageNo == PlaylistModel::ListPage)
            items.append(TDropListView::NewItem(model_.TempPath(row)));
        else
            items.append(new TMusicNode(model_.Record(pageNo, row)));
    }
    if (first >= view->topLevelItemCount())
        view->addTopLevelItems(items);
    else
        view->insertTopLevelItems(first, items);
    following_ = following;
}

void CPlaylist::EntriesRemoving(int pageNo, int first, int count)
{
    QTreeWidget* view = viewOf(pageNo);
    const bool following = std::exchange(following_, true);
    UpdateGuard update(view);
    for (int row = first + count - 1; row >= first; --row)
        delete view->takeTopLevelItem(row);
    following_ = following;
}

void CPlaylist::EntriesChanged(int pageNo)
{
    viewOf(pageNo)->viewport()->update();
}

void CPlaylist::SelectionChanged(int pageNo)
{
    QTreeWidget* view = viewOf(pageNo);
    QItemSelectionModel* selectionModel = view->selectionModel();
    const bool list = pageNo == PlaylistModel::ListPage;
    const int count = list ? model_.TempCount() : model_.EntryCount(pageNo);
    const auto selected = [&](int row) { return list ? model_.IsTempSelected(row) : model_.IsSelected(pageNo, row); };
    QItemSelection selection;
    for (int row = 0; row < count;) {
        if (!selected(row)) {
            ++row;
            continue;
        }
        int last = row;
        while (last + 1 < count && selected(last + 1))
            ++last;
        selection.select(view->model()->index(row, 0), view->model()->index(last, view->columnCount() - 1));
        row = last + 1;
    }
    const bool following = std::exchange(following_, true);
    if (!list) {
        // The focused entry is the tree's current one, as a click makes it.
        const int focused = model_.FocusedRow(pageNo);
        if (focused >= 0)
            selectionModel->setCurrentIndex(view->model()->index(focused, 0), QItemSelectionModel::NoUpdate);
    }
    selectionModel->select(selection, QItemSelectionModel::ClearAndSelect);
    following_ = following;
}

// --- pages ---

bool CPlaylist::LoadPages()
{
    model_.LoadPages();
    return true;
}

bool CPlaylist::SavePages(bool all)
{
    model_.SavePages(all);
    return true;
}

QString SaveToFileReport(const std::array<QString, 5>& problems)
{
    QStringList saved;
    QStringList failed;
    for (int n = 1; n <= 5; ++n) {
        const QString page = QStringLiteral("%1 (MusicList%2.dat)").arg(PageCaption(n).trimmed()).arg(n);
        const QString& problem = problems[static_cast<std::size_t>(n - 1)];
        if (problem.isEmpty())
            saved.append(page);
        else
            failed.append(QStringLiteral("  %1: %2").arg(page, problem));
    }
    if (failed.isEmpty())
        return {};
    QString text = QStringLiteral("저장하지 못한 페이지가 있습니다.\n") + failed.join(QLatin1Char('\n'));
    text += saved.isEmpty() ? QStringLiteral("\n\n저장된 페이지가 없습니다.")
                            : QStringLiteral("\n\n저장된 페이지: ") + saved.join(QStringLiteral(", "));
    return text;
}

void CPlaylist::SaveToFile()
{
    // One answer for the five writes: the notice only when every page was saved.
    model_.SavePages(true, CMusicFile::Warnings::Quiet);
    std::array<QString, 5> problems;
    for (int n = 1; n <= 5; ++n)
        problems[static_cast<std::size_t>(n - 1)] = Page(n).WriteProblem();
    const QString report = SaveToFileReport(problems);
    if (report.isEmpty())
        ShowNotice(QStringLiteral("MusicFile1~5.dat 로 각 페이지별로 저장 되었습니다."), MB_ICONEXCLAMATION);
    else
        ShowWarning(report, MB_ICONEXCLAMATION);
}

void CPlaylist::RenumberPage(const TDropTreeView* tree)
{
    if (tree)
        model_.Renumber(tree->Tag);
}

void CPlaylist::DeleteSelected(const QTreeWidget* tree)
{
    const auto page = std::find(trees_.begin(), trees_.end(), tree);
    if (page != trees_.end())
        model_.DeleteSelected((*page)->Tag);
}

void CPlaylist::DeleteSelectedTemp()
{
    model_.DeleteSelectedTemp();
}

void CPlaylist::MoveTreeEntries(TDropTreeView* tree, QWidget* source, QTreeWidgetItem* target)
{
    if (!tree || source != tree)
        return;
    model_.MoveSelected(tree->Tag, target ? tree->indexOfTopLevelItem(target) : -1);
}

void CPlaylist::MoveTempEntries(QWidget* source, QTreeWidgetItem* target)
{
    if (source != list_)
        return;
    model_.MoveSelectedTemp(target ? list_->indexOfTopLevelItem(target) : -1);
}

void CPlaylist::LoadTempList()
{
    model_.LoadTempList();
}

bool CPlaylist::SaveTempList()
{
    return model_.SaveTempList();
}
