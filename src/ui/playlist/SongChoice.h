#pragma once
// Which entry plays: the current page, and on it the current entry, which is shown by
// selecting it. The player asks for paths through `CurrentSong` and `NextSong`; a
// double-click makes an entry current. Window thread only.

#include <QString>

#include <array>
#include <cstdint>

class QTreeWidget;
class QTreeWidgetItem;
class TDropListView;
class TDropTreeView;

class SongChoice {
public:
    static constexpr std::uint8_t ListPage = 6;

    SongChoice() = default;
    // The widgets must outlive this object.
    SongChoice(const std::array<TDropTreeView*, 5>& trees, TDropListView* list) { Attach(trees, list); }
    // Page 1 becomes current, with nothing chosen on it yet.
    void Attach(const std::array<TDropTreeView*, 5>& trees, TDropListView* list);

    // 1-5: the page tree with that `Tag`; 6: the temporary list.
    std::uint8_t CurPage = 1;
    TDropTreeView* CurTree = nullptr;
    // The current entry of `CurTree` and of the list; null when there is none.
    QTreeWidgetItem* CurNode = nullptr;
    QTreeWidgetItem* CurItem = nullptr;

    // Full path of the current entry (the first file at or after the tree's selected
    // node; the list's first selected item), which becomes current and selected; empty
    // when there is none.
    QString CurrentSong();
    // The entry after the current one. A tree wraps to its top only from its very last
    // node; the list always wraps.
    QString NextSong();
    // What NextSong would give now, with nothing moved or selected.
    QString PeekNextSong() const;

    // A double-click on a page tree: its selected node and page become current. False
    // when the tree has no selected node.
    bool ChooseFromTree(TDropTreeView* tree);
    // A double-click on the list: its first selected item becomes current.
    bool ChooseFromList();

    // An entry is about to be deleted (or replaced by a copy): it can no longer be
    // current.
    void Forget(const QTreeWidgetItem* item);

    // The node a tree reports as selected: its current node when that is selected, else
    // the first selected node in tree order; null when nothing is selected.
    static QTreeWidgetItem* SelectedNode(const QTreeWidget* tree);
    // Index of the first selected item in order, or -1.
    static int FirstSelectedIndex(const QTreeWidget* view);

private:
    // The entry NextSong moves to; null when there is none.
    QTreeWidgetItem* NextEntry() const;
    QString PathOf(const QTreeWidgetItem* entry) const;
    // The first file entry of the tree at or after `from`; null when there is none.
    QTreeWidgetItem* FirstFileFrom(int from) const;
    void SelectNode(QTreeWidgetItem* node);

    TDropListView* m_list = nullptr;
};
