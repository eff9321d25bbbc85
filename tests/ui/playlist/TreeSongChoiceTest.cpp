// Which entry plays, as the window's trees and list show it: the current song, the
// next one, double-clicks, and what deleting or reordering entries does to the current
// one. The trees must show the model's choice as their selection.

#include "PlaylistGuiSupport.h"


namespace {

class TreeSongChoiceTest : public PlaylistTest {
protected:
    PlaylistModel& choice() { return m_playlist->Model(); }
    const PageEntry* CurNode() { return choice().CurNodeRow() < 0 ? nullptr : Record(1, choice().CurNodeRow()); }
    // Entries by name: "H" is a heading, anything with a dot a file under /m.
    void Fill(int page, const QStringList& names)
    {
        for (const QString& name : names) {
            const bool folder = !name.contains(QLatin1Char('.'));
            m_playlist->AddPageEntry(Tree(page), QStringLiteral("/m/") + name, folder, folder ? 0 : 1);
        }
        m_playlist->RenumberPage(Tree(page));
    }
    void FillList(const QStringList& names)
    {
        for (const QString& name : names)
            m_playlist->AddTempItem(QStringLiteral("/t/") + name);
    }
    // A click on the row: it alone is selected, and the keyboard is on it.
    void Select(TFileDropTree* view, int row)
    {
        view->selectionModel()->setCurrentIndex(view->EntryIndex(row),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    QStringList Selected(TFileDropTree* view) const
    {
        QStringList names;
        for (int row : SelectedRows(view))
            names.append(view->EntryIndex(row).data().toString().section(QLatin1Char('/'), -1));
        return names;
    }
};

TEST_F(TreeSongChoiceTest, TreeStartsAtFirstFileAndWrapsOnlyFromTheLastNode)
{
    Fill(1, {"H", "a.mp3", "b.mp3"});
    EXPECT_EQ(choice().CurrentSong(), QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(Selected(Tree(1)), QStringList{"a.mp3"});
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/m/b.mp3"));
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(Selected(Tree(1)), QStringList{"a.mp3"});
}

TEST_F(TreeSongChoiceTest, TrailingHeadingEndsThePageForGood)
{
    Fill(1, {"a.mp3", "b.mp3", "H"});
    EXPECT_EQ(choice().CurrentSong(), QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/m/b.mp3"));
    EXPECT_EQ(choice().NextSong(), QString());
    EXPECT_EQ(choice().NextSong(), QString());
}

TEST_F(TreeSongChoiceTest, EmptyPagesAndPagesWithoutFilesGiveNothing)
{
    EXPECT_EQ(choice().CurrentSong(), QString());
    EXPECT_EQ(choice().NextSong(), QString());
    Fill(1, {"H", "G"});
    EXPECT_EQ(choice().CurrentSong(), QString());
    choice().SetCurPage(PlaylistModel::ListPage);
    EXPECT_EQ(choice().CurrentSong(), QString());
    EXPECT_EQ(choice().NextSong(), QString());
}

TEST_F(TreeSongChoiceTest, DoubleClickedHeadingPlaysTheFileAfterIt)
{
    Fill(2, {"a.mp3", "H", "c.mp3"});
    Select(Tree(2), 1);
    ASSERT_TRUE(choice().PlayChosen(2));
    EXPECT_EQ(choice().CurPage(), 2);
    EXPECT_EQ(choice().CurrentSong(), QStringLiteral("/m/c.mp3"));
    EXPECT_EQ(Selected(Tree(2)), QStringList{"c.mp3"});

    Tree(3)->clearSelection();
    EXPECT_FALSE(choice().PlayChosen(3));
    EXPECT_EQ(choice().CurPage(), 2);
}

TEST_F(TreeSongChoiceTest, ShowingAnotherPageDoesNotChangeWhatPlays)
{
    Fill(1, {"a.mp3"});
    Fill(4, {"d.mp3"});
    Select(Tree(4), 0);
    EXPECT_EQ(choice().CurrentSong(), QStringLiteral("/m/a.mp3"));
    Select(Tree(4), 0);
    ASSERT_TRUE(choice().PlayChosen(4));
    EXPECT_EQ(choice().CurrentSong(), QStringLiteral("/m/d.mp3"));
}

TEST_F(TreeSongChoiceTest, ListWrapsAndStartsAfterTheSelection)
{
    FillList({"1.mp3", "2.mp3", "3.mp3"});
    choice().SetCurPage(PlaylistModel::ListPage);
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/t/1.mp3"));

    m_list->clearSelection();
    EXPECT_EQ(choice().CurrentSong(), QStringLiteral("/t/1.mp3"));
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/t/2.mp3"));
    EXPECT_EQ(Selected(m_list.get()), QStringList{"2.mp3"});
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/t/3.mp3"));
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/t/1.mp3"));
}

TEST_F(TreeSongChoiceTest, ListDoubleClickTakesTheFirstSelectedItem)
{
    FillList({"1.mp3", "2.mp3", "3.mp3"});
    EXPECT_FALSE(choice().PlayChosen(PlaylistModel::ListPage));
    SelectRows(m_list.get(), {2, 1});
    ASSERT_TRUE(choice().PlayChosen(PlaylistModel::ListPage));
    EXPECT_EQ(choice().CurPage(), PlaylistModel::ListPage);
    EXPECT_EQ(choice().CurrentSong(), QStringLiteral("/t/2.mp3"));
    // The current item is deselected before the next one is chosen.
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/t/3.mp3"));
    EXPECT_EQ(Selected(m_list.get()), QStringList{"3.mp3"});
}

TEST_F(TreeSongChoiceTest, DeletingTheCurrentEntryStartsThePageAgain)
{
    Fill(1, {"a.mp3", "b.mp3", "c.mp3"});
    EXPECT_EQ(choice().CurrentSong(), QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/m/b.mp3"));
    m_playlist->DeleteSelected(Tree(1));
    EXPECT_EQ(choice().CurNodeRow(), -1);
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/m/a.mp3"));

    FillList({"1.mp3", "2.mp3"});
    choice().SetCurPage(PlaylistModel::ListPage);
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/t/1.mp3"));
    m_playlist->DeleteSelectedTemp();
    EXPECT_EQ(choice().CurItemRow(), -1);
    EXPECT_EQ(m_list->Captions(), QStringList{"/t/2.mp3"});
}

TEST_F(TreeSongChoiceTest, MovedListEntryIsACopyAndNoLongerCurrent)
{
    FillList({"1.mp3", "2.mp3", "3.mp3"});
    choice().SetCurPage(PlaylistModel::ListPage);
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/t/1.mp3"));
    m_playlist->MoveTempEntries(m_list.get(), -1);
    EXPECT_EQ(choice().CurItemRow(), -1);
    EXPECT_EQ(m_list->Captions(), (QStringList{"/t/2.mp3", "/t/3.mp3", "/t/1.mp3"}));

    // A moved tree node is the same node: it stays current.
    Fill(1, {"a.mp3", "b.mp3"});
    choice().SetCurPage(1);
    EXPECT_EQ(choice().CurrentSong(), QStringLiteral("/m/a.mp3"));
    const PageEntry* current = CurNode();
    m_playlist->MoveTreeEntries(Tree(1), Tree(1), -1);
    EXPECT_EQ(CurNode(), current);
    // a.mp3 is now the page's last node, so the next song wraps to the top.
    EXPECT_EQ(choice().NextSong(), QStringLiteral("/m/b.mp3"));
}

// A look at the next song, as the player takes while the current one plays out, gives
// what NextSong then gives and moves nothing: not the current entry, not the selection.
TEST_F(TreeSongChoiceTest, PeekingGivesTheNextSongAndMovesNothing)
{
    auto peekThenNext = [this](TFileDropTree* view) {
        const QStringList selectedBefore = Selected(view);
        const int nodeBefore = choice().CurNodeRow();
        const int itemBefore = choice().CurItemRow();
        const QString peeked = choice().PeekNextSong();
        EXPECT_EQ(Selected(view), selectedBefore);
        EXPECT_EQ(choice().CurNodeRow(), nodeBefore);
        EXPECT_EQ(choice().CurItemRow(), itemBefore);
        EXPECT_EQ(choice().NextSong(), peeked);
        return peeked;
    };
    Fill(1, {"H", "a.mp3", "b.mp3", "H2"});
    EXPECT_EQ(peekThenNext(Tree(1)), QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(peekThenNext(Tree(1)), QStringLiteral("/m/b.mp3"));
    EXPECT_EQ(peekThenNext(Tree(1)), QString());  // a trailing heading ends the page

    FillList({"1.mp3", "2.mp3", "3.mp3"});
    choice().SetCurPage(PlaylistModel::ListPage);
    SelectRows(m_list.get(), {1});  // nothing current: after the selection
    EXPECT_EQ(peekThenNext(m_list.get()), QStringLiteral("/t/3.mp3"));
    EXPECT_EQ(peekThenNext(m_list.get()), QStringLiteral("/t/1.mp3"));  // wraps
    EXPECT_EQ(Selected(m_list.get()), (QStringList{"1.mp3", "2.mp3"}));
}

} // namespace
