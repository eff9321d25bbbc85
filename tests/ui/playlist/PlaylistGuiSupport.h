#pragma once
// A playlist model with its five trees and list, in a scratch program folder. The
// widgets are never shown.

#include "PlaylistTestSupport.h"

#include "PlaylistPages.h"
#include "support/QtApplication.h"
#include "SaveProblems.h"

#include <QApplication>

#include <memory>


class PlaylistTest : public ScratchFolderTest {
protected:
    void SetUp() override
    {
        ScratchFolderTest::SetUp();
        EnsureQtApplication();
        Rebuild();
    }
    void TearDown() override
    {
        Destroy();
        ScratchFolderTest::TearDown();
    }
    // A fresh model and window's worth of widgets, as after a restart.
    void Rebuild()
    {
        Destroy();
        m_model = std::make_unique<PlaylistModel>(m_problems);
        std::array<TDropTreeView*, 5> trees {};
        for (int n = 1; n <= 5; ++n) {
            m_trees[n - 1] = std::make_unique<TDropTreeView>(n);
            trees[n - 1] = m_trees[n - 1].get();
        }
        m_list = std::make_unique<TDropListView>();
        m_playlist = std::make_unique<PlaylistPages>(trees, m_list.get(), *m_model);
    }
    void Destroy()
    {
        m_playlist.reset();
        for (auto& tree : m_trees)
            tree.reset();
        m_list.reset();
        m_model.reset();
    }

    TDropTreeView* Tree(int n) const { return m_trees[n - 1].get(); }
    PageEntry* Record(int page, int index) const { return m_playlist->Model().Record(page, index); }
    // "text|IsFolder|Level|No" for every row a page tree shows, for compact comparisons.
    QStringList Rows(int page) const
    {
        QStringList rows;
        for (int i = 0; i < Tree(page)->EntryCount(); ++i) {
            const PageEntry* r = Record(page, i);
            rows.append(QStringLiteral("%1|%2|%3|%4")
                            .arg(Tree(page)->EntryIndex(i).data().toString())
                            .arg(r->IsFolder)
                            .arg(r->Level)
                            .arg(r->No));
        }
        return rows;
    }

    SaveProblems m_problems;
    std::unique_ptr<PlaylistModel> m_model;
    std::unique_ptr<TDropTreeView> m_trees[5];
    std::unique_ptr<TDropListView> m_list;
    std::unique_ptr<PlaylistPages> m_playlist;
};

// Selects `rows` of a view as Ctrl+clicks do, after clearing its selection.
inline void SelectRows(TFileDropTree* view, std::initializer_list<int> rows)
{
    view->clearSelection();
    for (int row : rows)
        view->selectionModel()->select(view->EntryIndex(row), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// The rows of a view that are selected, ascending.
inline std::vector<int> SelectedRows(const TFileDropTree* view)
{
    std::vector<int> rows;
    for (int row = 0; row < view->EntryCount(); ++row)
        if (view->selectionModel()->isSelected(view->EntryIndex(row)))
            rows.push_back(row);
    return rows;
}
