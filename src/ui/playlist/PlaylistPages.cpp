#include "PlaylistPages.h"

#include "AppFolder.h"
#include "G.h"

#include <QItemSelectionModel>

#include <algorithm>

CPlaylist::CPlaylist(const std::array<TDropTreeView*, 5>& trees, TDropListView* list, TM_PlayList& store)
    : trees_(trees), list_(list), store_(store)
{
    for (int n = 1; n <= 5; ++n) {
        TDropTreeView* tree = TreeView(n);
        Page(n).Tree = tree;
        connections_.push_back(QObject::connect(tree, &TDropTreeView::FilesDropped, tree,
                                                [this, tree](const QStringList& paths) { WMDropFiles(tree, paths); }));
        connections_.push_back(QObject::connect(
            tree, &TDropTreeView::EntriesDropped, tree,
            [this, tree](QWidget* source, QTreeWidgetItem* target) { MoveTreeEntries(tree, source, target); }));
    }
    connections_.push_back(QObject::connect(list_, &TDropListView::FilesDropped, list_,
                                            [this](const QStringList& paths) { WMDropFiles(list_, paths); }));
    connections_.push_back(QObject::connect(list_, &TDropListView::EntriesDropped, list_,
                                            [this](QWidget* source, QTreeWidgetItem* target) {
                                                MoveTempEntries(source, target);
                                            }));
}

CPlaylist::~CPlaylist()
{
    for (const auto& connection : connections_)
        QObject::disconnect(connection);
    for (int n = 1; n <= 5; ++n) {
        CMusicFile& page = Page(n);
        // The records on the carrier belong to nodes that die with the window.
        page.Entries->Clear();
        if (page.Tree == TreeView(n))
            page.Tree = nullptr;
    }
}

void CPlaylist::GatherPage(CMusicFile& page)
{
    page.Entries->Clear();
    if (!page.Tree)
        return;
    const int count = page.Tree->topLevelItemCount();
    for (int i = 0; i < count; ++i)
        if (TMusicFile* record = TMusicNode::DataOf(page.Tree->topLevelItem(i)))
            page.Entries->Add(record);
}

void CPlaylist::FillTree(CMusicFile& page)
{
    if (!page.Tree) {
        // Only a read fills the carrier without a tree, so no node owns these.
        for (int i = 0; i < page.Entries->Count(); ++i)
            delete page.Entries->Get(i);
        page.Entries->Clear();
        return;
    }
    {
        UpdateGuard update(page.Tree);
        QList<QTreeWidgetItem*> nodes;
        nodes.reserve(page.Entries->Count());
        for (int i = 0; i < page.Entries->Count(); ++i)
            nodes.append(new TMusicNode(std::unique_ptr<TMusicFile>(page.Entries->Get(i))));
        page.Tree->addTopLevelItems(nodes);
        RenumberPage(page.Tree);
    }
    page.Entries->Clear();
}

bool CPlaylist::LoadPages()
{
    for (int n = 1; n <= 5; ++n) {
        Page(n).Load();
        FillTree(Page(n));
    }
    return true;
}

bool CPlaylist::SavePages(bool all)
{
    return savePages(all, CMusicFile::Warnings::Show);
}

bool CPlaylist::savePages(bool all, CMusicFile::Warnings warnings)
{
    for (int n = 1; n <= 5; ++n)
        GatherPage(Page(n));
    for (int n = 1; n <= 5; ++n) {
        if (all)
            Page(n).Save(warnings);
        else
            Page(n).SaveIfModified();
    }
    // The gathered records belong to the nodes; leaving them on the carriers would
    // let a later fill attach them a second time.
    for (int n = 1; n <= 5; ++n)
        Page(n).Entries->Clear();
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
    savePages(true, CMusicFile::Warnings::Quiet);
    std::array<QString, 5> problems;
    for (int n = 1; n <= 5; ++n)
        problems[static_cast<std::size_t>(n - 1)] = Page(n).WriteProblem();
    const QString report = SaveToFileReport(problems);
    if (report.isEmpty())
        ShowNotice(QStringLiteral("MusicFile1~5.dat 로 각 페이지별로 저장 되었습니다."), MB_ICONEXCLAMATION);
    else
        ShowWarning(report, MB_ICONEXCLAMATION);
}

void CPlaylist::RenumberPage(QTreeWidget* tree)
{
    if (!tree)
        return;
    std::int32_t counter = 1;
    const int count = tree->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        TMusicFile* record = TMusicNode::DataOf(tree->topLevelItem(i));
        if (record && record->IsFolder == 0)
            record->No = counter++;
    }
    if (auto* page = qobject_cast<TDropTreeView*>(tree))
        page->Numbering = {count, counter};
    tree->viewport()->update();
}

void CPlaylist::RenumberAppended(TDropTreeView* tree, int first)
{
    if (!tree)
        return;
    // The nodes before `first` are numbered already: go on from the last file among
    // them, known from the last numbering while the tree has not changed since.
    std::int32_t counter = 1;
    if (tree->Numbering.Rows == first) {
        counter = tree->Numbering.Next;
    } else {
        for (int i = first - 1; i >= 0; --i) {
            const TMusicFile* record = TMusicNode::DataOf(tree->topLevelItem(i));
            if (record && record->IsFolder == 0) {
                counter = record->No + 1;
                break;
            }
        }
    }
    const int count = tree->topLevelItemCount();
    for (int i = first; i < count; ++i) {
        TMusicFile* record = TMusicNode::DataOf(tree->topLevelItem(i));
        if (record && record->IsFolder == 0)
            record->No = counter++;
    }
    tree->Numbering = {count, counter};
    tree->viewport()->update();
}

namespace {

// Rows of the selected top-level items, in order.
std::vector<int> selectedRows(const QTreeWidget* view)
{
    std::vector<int> rows;
    if (const QItemSelectionModel* selection = view->selectionModel())
        for (const QModelIndex& index : selection->selectedRows())
            if (!index.parent().isValid())
                rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace

void CPlaylist::DeleteSelected(QTreeWidget* tree)
{
    if (!tree)
        return;
    {
        UpdateGuard update(tree);
        std::vector<int> rows = selectedRows(tree);
        // From the last to the first, so the rows still to go keep their numbers.
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
            QTreeWidgetItem* node = tree->takeTopLevelItem(*row);
            if (choice_)
                choice_->Forget(node);
            delete node;  // frees its record
        }
    }
    RenumberPage(tree);
}

void CPlaylist::DeleteSelectedTemp()
{
    UpdateGuard update(list_);
    std::vector<int> rows = selectedRows(list_);
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        QTreeWidgetItem* item = list_->takeTopLevelItem(*row);
        if (choice_)
            choice_->Forget(item);
        delete item;
    }
}

void CPlaylist::MoveTreeEntries(TDropTreeView* tree, QWidget* source, QTreeWidgetItem* target)
{
    if (!tree || source != tree)
        return;
    std::vector<int> rows = selectedRows(tree);
    if (rows.empty())
        return;
    {
        UpdateGuard update(tree);
        QList<QTreeWidgetItem*> moving;
        for (int row : rows)
            moving.append(tree->topLevelItem(row));
        const TMusicFile* targetRecord = TMusicNode::DataOf(target);
        for (QTreeWidgetItem* node : moving) {
            if (node == target)
                continue;  // an entry dropped on itself stays where it is
            tree->takeTopLevelItem(tree->indexOfTopLevelItem(node));
            if (target) {
                tree->insertTopLevelItem(tree->indexOfTopLevelItem(target), node);
                TMusicFile* record = TMusicNode::DataOf(node);
                if (record && targetRecord && record->IsFolder == 0)
                    record->Level = targetRecord->Level;
            } else {
                tree->addTopLevelItem(node);
            }
        }
        // Taking a node out drops its selection; the moved entries stay selected.
        for (QTreeWidgetItem* node : moving)
            node->setSelected(true);
    }
    RenumberPage(tree);
}

void CPlaylist::MoveTempEntries(QWidget* source, QTreeWidgetItem* target)
{
    if (source != list_)
        return;
    std::vector<int> rows = selectedRows(list_);
    if (rows.empty())
        return;
    UpdateGuard update(list_);
    QList<QTreeWidgetItem*> originals;
    for (int row : rows)
        originals.append(list_->topLevelItem(row));
    if (target) {
        // Each copy goes in at the target's place, the last first: they end up in order.
        const int at = list_->indexOfTopLevelItem(target);
        for (auto it = originals.crbegin(); it != originals.crend(); ++it)
            list_->insertTopLevelItem(at, (*it)->clone());
    } else {
        for (QTreeWidgetItem* item : originals)
            list_->addTopLevelItem(item->clone());
    }
    for (QTreeWidgetItem* item : originals) {
        if (choice_)
            choice_->Forget(item);
        delete list_->takeTopLevelItem(list_->indexOfTopLevelItem(item));
    }
}

QString CPlaylist::TempListFileName()
{
    return ProgramFolder() + QStringLiteral("Temprary.txt");
}

void CPlaylist::LoadTempList()
{
    SvStringList lines;
    if (!lines->LoadFromFile(TempListFileName()))
        return;
    UpdateGuard update(list_);
    // Every line becomes an item as AddTempItem makes it, all in one insertion.
    list_->AppendCaptions(lines->ToStringList());
}

bool CPlaylist::SaveTempList()
{
    SvStringList lines;
    for (const QString& caption : list_->Captions())
        lines->Add(caption);
    return lines->SaveToFile(TempListFileName());
}
