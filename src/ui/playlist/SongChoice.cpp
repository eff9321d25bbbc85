#include "SongChoice.h"

#include "MusicFile.h"
#include "PlaylistViews.h"

#include <QItemSelectionModel>

#include <algorithm>

void SongChoice::Attach(const std::array<TDropTreeView*, 5>& trees, TDropListView* list)
{
    CurPage = 1;
    CurTree = trees[0];
    CurNode = nullptr;
    CurItem = nullptr;
    m_list = list;
}

QTreeWidgetItem* SongChoice::SelectedNode(const QTreeWidget* tree)
{
    if (!tree)
        return nullptr;
    QTreeWidgetItem* current = tree->currentItem();
    if (current && current->isSelected())
        return current;
    const int index = FirstSelectedIndex(tree);
    return index < 0 ? nullptr : tree->topLevelItem(index);
}

int SongChoice::FirstSelectedIndex(const QTreeWidget* view)
{
    if (!view)
        return -1;
    // Scanning the selection, not every row: a page may hold tens of thousands.
    int first = -1;
    if (const QItemSelectionModel* selection = view->selectionModel())
        for (const QModelIndex& index : selection->selectedRows())
            if (!index.parent().isValid() && (first < 0 || index.row() < first))
                first = index.row();
    return first;
}

QTreeWidgetItem* SongChoice::FirstFileFrom(int from) const
{
    const int count = CurTree->topLevelItemCount();
    for (int i = std::max(from, 0); i < count; ++i) {
        QTreeWidgetItem* node = CurTree->topLevelItem(i);
        const TMusicFile* record = TMusicNode::DataOf(node);
        if (record && record->IsFolder == 0)
            return node;
    }
    return nullptr;
}

void SongChoice::SelectNode(QTreeWidgetItem* node)
{
    // The current entry is the one selected row of its page.
    CurTree->setCurrentItem(node, 0, QItemSelectionModel::ClearAndSelect);
}

QString SongChoice::CurrentSong()
{
    if (CurPage == ListPage) {
        if (!m_list || m_list->topLevelItemCount() == 0)
            return {};
        const int index = std::max(FirstSelectedIndex(m_list), 0);
        CurItem = m_list->topLevelItem(index);
        CurItem->setSelected(true);
        return TDropListView::PathOf(CurItem);
    }
    if (!CurTree || CurTree->topLevelItemCount() == 0)
        return {};
    const QTreeWidgetItem* selected = SelectedNode(CurTree);
    QTreeWidgetItem* node = FirstFileFrom(selected ? CurTree->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(selected)) : 0);
    if (!node)
        return {};
    CurNode = node;
    SelectNode(node);
    return EntryPath(*TMusicNode::DataOf(node));
}

QTreeWidgetItem* SongChoice::NextEntry() const
{
    if (CurPage == ListPage) {
        const int count = m_list ? m_list->topLevelItemCount() : 0;
        if (count == 0)
            return nullptr;
        int i = CurItem ? m_list->indexOfTopLevelItem(CurItem) : FirstSelectedIndex(m_list);
        i = i < count - 1 ? i + 1 : 0;
        return m_list->topLevelItem(i);
    }
    if (!CurTree || CurTree->topLevelItemCount() == 0)
        return nullptr;
    int from = 0;
    if (CurNode) {
        from = CurTree->indexOfTopLevelItem(CurNode) + 1;
        if (from <= 0 || from >= CurTree->topLevelItemCount())
            from = 0;
    }
    return FirstFileFrom(from);
}

QString SongChoice::PathOf(const QTreeWidgetItem* entry) const
{
    if (!entry)
        return {};
    if (CurPage == ListPage)
        return TDropListView::PathOf(entry);
    return EntryPath(*TMusicNode::DataOf(entry));
}

QString SongChoice::PeekNextSong() const
{
    return PathOf(NextEntry());
}

QString SongChoice::NextSong()
{
    QTreeWidgetItem* entry = NextEntry();
    if (!entry)
        return {};
    if (CurPage == ListPage) {
        // The entry that played is no longer highlighted; others selected stay so.
        if (CurItem)
            CurItem->setSelected(false);
        CurItem = entry;
        CurItem->setSelected(true);
    } else {
        CurNode = entry;
        SelectNode(entry);
    }
    return PathOf(entry);
}

bool SongChoice::ChooseFromTree(TDropTreeView* tree)
{
    QTreeWidgetItem* node = SelectedNode(tree);
    if (!node)
        return false;
    CurTree = tree;
    CurNode = node;
    CurPage = static_cast<std::uint8_t>(tree->Tag);
    return true;
}

bool SongChoice::ChooseFromList()
{
    const int index = FirstSelectedIndex(m_list);
    if (index < 0)
        return false;
    CurItem = m_list->topLevelItem(index);
    CurPage = ListPage;
    return true;
}

void SongChoice::Forget(const QTreeWidgetItem* item)
{
    if (item && item == CurNode)
        CurNode = nullptr;
    if (item && item == CurItem)
        CurItem = nullptr;
}
