#include "PlaylistPages.h"

#include "AppFolder.h"
#include "G.h"

#include <QItemSelectionModel>

#include <algorithm>
#include <utility>

PlaylistPages::PlaylistPages(const std::array<TDropTreeView*, 5>& trees, TDropListView* list, TM_PlayList& store)
    : m_trees(trees), m_list(list), m_store(store), m_model(store)
{
    for (int n = 1; n <= 5; ++n) {
        TDropTreeView* tree = TreeView(n);
        Page(n).Tree = tree;
        m_connections.push_back(QObject::connect(tree, &TDropTreeView::FilesDropped, tree,
                                                [this, tree](const QStringList& paths) { WMDropFiles(tree, paths); }));
        m_connections.push_back(QObject::connect(
            tree, &TDropTreeView::EntriesDropped, tree,
            [this, tree](QWidget* source, QTreeWidgetItem* target) { MoveTreeEntries(tree, source, target); }));
        watchSelection(tree, n);
    }
    m_connections.push_back(QObject::connect(m_list, &TDropListView::FilesDropped, m_list,
                                            [this](const QStringList& paths) { WMDropFiles(m_list, paths); }));
    m_connections.push_back(QObject::connect(m_list, &TDropListView::EntriesDropped, m_list,
                                            [this](QWidget* source, QTreeWidgetItem* target) {
                                                MoveTempEntries(source, target);
                                            }));
    watchSelection(m_list, PlaylistModel::ListPage);
    m_model.SetView(this);
    m_playTimer.setSingleShot(true);
    m_connections.push_back(QObject::connect(&m_playTimer, &QTimer::timeout, m_list, [this] { playHanded(); }));
}

PlaylistPages::~PlaylistPages()
{
    m_model.SetView(nullptr);
    for (const auto& connection : m_connections)
        QObject::disconnect(connection);
    // The nodes point into the model's records, which go with it.
    for (int n = 1; n <= 5; ++n) {
        TreeView(n)->clear();
        if (Page(n).Tree == TreeView(n))
            Page(n).Tree = nullptr;
    }
    m_list->clear();
}

QTreeWidget* PlaylistPages::viewOf(int pageNo) const
{
    if (pageNo == PlaylistModel::ListPage)
        return m_list;
    return TreeView(pageNo);
}

void PlaylistPages::watchSelection(QTreeWidget* view, int pageNo)
{
    QItemSelectionModel* selection = view->selectionModel();
    m_connections.push_back(QObject::connect(
        selection, &QItemSelectionModel::selectionChanged, view,
        [this, pageNo](const QItemSelection& selected, const QItemSelection& deselected) {
            if (m_following)
                return;
            const auto mark = [this, pageNo](const QItemSelection& ranges, bool on) {
                for (const QItemSelectionRange& range : ranges) {
                    if (range.parent().isValid())
                        continue;
                    for (int row = range.top(); row <= range.bottom(); ++row) {
                        if (pageNo == PlaylistModel::ListPage) {
                            if (row < m_model.TempCount())
                                m_model.SetTempSelected(row, on);
                        } else if (row < m_model.EntryCount(pageNo)) {
                            m_model.SetSelected(pageNo, row, on);
                        }
                    }
                }
            };
            mark(deselected, false);
            mark(selected, true);
        }));
    if (pageNo == PlaylistModel::ListPage)
        return;
    m_connections.push_back(QObject::connect(selection, &QItemSelectionModel::currentChanged, view,
                                            [this, pageNo](const QModelIndex& current) {
                                                if (m_following)
                                                    return;
                                                const bool row = current.isValid() && !current.parent().isValid() &&
                                                                 current.row() < m_model.EntryCount(pageNo);
                                                m_model.SetFocused(pageNo, row ? current.row() : -1);
                                            }));
}

// --- the views follow the model ---

void PlaylistPages::EntriesInserted(int pageNo, int first, int count)
{
    QTreeWidget* view = viewOf(pageNo);
    const bool following = std::exchange(m_following, true);
    UpdateGuard update(view);
    QList<QTreeWidgetItem*> items;
    items.reserve(count);
    for (int row = first; row < first + count; ++row) {
        if (pageNo == PlaylistModel::ListPage)
            items.append(TDropListView::NewItem(m_model.TempPath(row)));
        else
            items.append(new TMusicNode(m_model.Record(pageNo, row)));
    }
    if (first >= view->topLevelItemCount())
        view->addTopLevelItems(items);
    else
        view->insertTopLevelItems(first, items);
    m_following = following;
}

void PlaylistPages::EntriesRemoving(int pageNo, int first, int count)
{
    QTreeWidget* view = viewOf(pageNo);
    const bool following = std::exchange(m_following, true);
    UpdateGuard update(view);
    for (int row = first + count - 1; row >= first; --row)
        delete view->takeTopLevelItem(row);
    m_following = following;
}

void PlaylistPages::EntriesChanged(int pageNo)
{
    viewOf(pageNo)->viewport()->update();
}

void PlaylistPages::SelectionChanged(int pageNo)
{
    QTreeWidget* view = viewOf(pageNo);
    QItemSelectionModel* selectionModel = view->selectionModel();
    const bool list = pageNo == PlaylistModel::ListPage;
    const int count = list ? m_model.TempCount() : m_model.EntryCount(pageNo);
    const auto selected = [&](int row) { return list ? m_model.IsTempSelected(row) : m_model.IsSelected(pageNo, row); };
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
    const bool following = std::exchange(m_following, true);
    if (!list) {
        // The focused entry is the tree's current one, as a click makes it.
        const int focused = m_model.FocusedRow(pageNo);
        if (focused >= 0)
            selectionModel->setCurrentIndex(view->model()->index(focused, 0), QItemSelectionModel::NoUpdate);
    }
    selectionModel->select(selection, QItemSelectionModel::ClearAndSelect);
    m_following = following;
}

// --- pages ---

bool PlaylistPages::LoadPages()
{
    m_model.LoadPages();
    return true;
}

QString PlaylistPages::PageReadProblems() const
{
    QStringList problems;
    for (int n = 1; n <= 5; ++n)
        if (Page(n).ReadInPart())
            problems.append(QStringLiteral("  ") + Page(n).ReadProblem());
    if (problems.isEmpty())
        return {};
    return QStringLiteral("다 읽지 못한 페이지 파일이 있습니다. \"Save To File\"은 이 파일을 덮어쓰기 전에 묻습니다.\n")
        + problems.join(QLatin1Char('\n'));
}

bool PlaylistPages::SavePages(bool all)
{
    m_model.SavePages(all);
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

void PlaylistPages::SaveToFile()
{
    // Records a read did not take are not destroyed unasked.
    QStringList unread;
    for (int n = 1; n <= 5; ++n)
        if (Page(n).ReadInPart())
            unread.append(QStringLiteral("  ") + Page(n).ReadProblem());
    if (!unread.isEmpty() && ProgramFolderWritable()) {
        const int answer = ShowMessageBox(QStringLiteral("확인"),
                                          QStringLiteral("다음 페이지 파일에는 읽지 못한 기록이 있습니다.\n%1\n\n"
                                                         "지금 보이는 목록으로 덮어쓸까요?")
                                              .arg(unread.join(QLatin1Char('\n'))),
                                          MB_YESNO | MB_ICONQUESTION);
        if (answer == IDYES)
            for (int n = 1; n <= 5; ++n)
                Page(n).AllowReplacingUnread();
    }
    // One answer for the five writes: the notice only when every page was saved.
    m_model.SavePages(true, CMusicFile::Warnings::Quiet);
    std::array<QString, 5> problems;
    for (int n = 1; n <= 5; ++n)
        problems[static_cast<std::size_t>(n - 1)] = Page(n).WriteProblem();
    const QString report = SaveToFileReport(problems);
    if (report.isEmpty())
        ShowNotice(QStringLiteral("MusicFile1~5.dat 로 각 페이지별로 저장 되었습니다."), MB_ICONEXCLAMATION);
    else
        ShowWarning(report, MB_ICONEXCLAMATION);
}

void PlaylistPages::RenumberPage(const TDropTreeView* tree)
{
    if (tree)
        m_model.Renumber(tree->Tag);
}

void PlaylistPages::DeleteSelected(const QTreeWidget* tree)
{
    const auto page = std::find(m_trees.begin(), m_trees.end(), tree);
    if (page != m_trees.end())
        m_model.DeleteSelected((*page)->Tag);
}

void PlaylistPages::DeleteSelectedTemp()
{
    m_model.DeleteSelectedTemp();
}

void PlaylistPages::MoveTreeEntries(TDropTreeView* tree, QWidget* source, QTreeWidgetItem* target)
{
    if (!tree || source != tree)
        return;
    m_model.MoveSelected(tree->Tag, target ? tree->indexOfTopLevelItem(target) : -1);
}

void PlaylistPages::MoveTempEntries(QWidget* source, QTreeWidgetItem* target)
{
    if (source != m_list)
        return;
    m_model.MoveSelectedTemp(target ? m_list->indexOfTopLevelItem(target) : -1);
}

void PlaylistPages::LoadTempList()
{
    m_model.LoadTempList();
}

bool PlaylistPages::SaveTempList()
{
    return m_model.SaveTempList();
}
