// Which entry plays: the current song, the next one, double-clicks, and what deleting
// or reordering entries does to the current one.

#include "PlaylistGuiSupport.h"

#include "SongChoice.h"

namespace {

class SongChoiceTest : public PlaylistTest {
protected:
    void SetUp() override
    {
        PlaylistTest::SetUp();
        std::array<TDropTreeView*, 5> trees{};
        for (int n = 1; n <= 5; ++n)
            trees[n - 1] = Tree(n);
        choice_.Attach(trees, list_.get());
        playlist_->SetSongChoice(&choice_);
    }
    // Entries by name: "H" is a heading, anything with a dot a file under /m.
    void Fill(int page, const QStringList& names)
    {
        for (const QString& name : names) {
            const bool folder = !name.contains(QLatin1Char('.'));
            playlist_->AddPageEntry(Tree(page), QStringLiteral("/m/") + name, folder, folder ? 0 : 1);
        }
        CPlaylist::RenumberPage(Tree(page));
    }
    void FillList(const QStringList& names)
    {
        for (const QString& name : names)
            playlist_->AddTempItem(QStringLiteral("/t/") + name);
    }
    void Select(QTreeWidget* view, int row) { view->setCurrentItem(view->topLevelItem(row)); }
    QStringList Selected(QTreeWidget* view) const
    {
        QStringList names;
        for (int i = 0; i < view->topLevelItemCount(); ++i)
            if (view->topLevelItem(i)->isSelected())
                names.append(view->topLevelItem(i)->text(0).section(QLatin1Char('/'), -1));
        return names;
    }

    SongChoice choice_;
};

TEST_F(SongChoiceTest, TreeStartsAtFirstFileAndWrapsOnlyFromTheLastNode)
{
    Fill(1, {"H", "a.mp3", "b.mp3"});
    EXPECT_EQ(choice_.CurrentSong(), QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(Selected(Tree(1)), QStringList{"a.mp3"});
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/m/b.mp3"));
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(Selected(Tree(1)), QStringList{"a.mp3"});
}

TEST_F(SongChoiceTest, TrailingHeadingEndsThePageForGood)
{
    Fill(1, {"a.mp3", "b.mp3", "H"});
    EXPECT_EQ(choice_.CurrentSong(), QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/m/b.mp3"));
    EXPECT_EQ(choice_.NextSong(), QString());
    EXPECT_EQ(choice_.NextSong(), QString());
}

TEST_F(SongChoiceTest, EmptyPagesAndPagesWithoutFilesGiveNothing)
{
    EXPECT_EQ(choice_.CurrentSong(), QString());
    EXPECT_EQ(choice_.NextSong(), QString());
    Fill(1, {"H", "G"});
    EXPECT_EQ(choice_.CurrentSong(), QString());
    choice_.CurPage = SongChoice::ListPage;
    EXPECT_EQ(choice_.CurrentSong(), QString());
    EXPECT_EQ(choice_.NextSong(), QString());
}

TEST_F(SongChoiceTest, DoubleClickedHeadingPlaysTheFileAfterIt)
{
    Fill(2, {"a.mp3", "H", "c.mp3"});
    Select(Tree(2), 1);
    ASSERT_TRUE(choice_.ChooseFromTree(Tree(2)));
    EXPECT_EQ(choice_.CurPage, 2);
    EXPECT_EQ(choice_.CurTree, Tree(2));
    EXPECT_EQ(choice_.CurrentSong(), QStringLiteral("/m/c.mp3"));
    EXPECT_EQ(Selected(Tree(2)), QStringList{"c.mp3"});

    Tree(3)->clearSelection();
    EXPECT_FALSE(choice_.ChooseFromTree(Tree(3)));
    EXPECT_EQ(choice_.CurPage, 2);
}

TEST_F(SongChoiceTest, ShowingAnotherPageDoesNotChangeWhatPlays)
{
    Fill(1, {"a.mp3"});
    Fill(4, {"d.mp3"});
    Select(Tree(4), 0);
    EXPECT_EQ(choice_.CurrentSong(), QStringLiteral("/m/a.mp3"));
    Select(Tree(4), 0);
    ASSERT_TRUE(choice_.ChooseFromTree(Tree(4)));
    EXPECT_EQ(choice_.CurrentSong(), QStringLiteral("/m/d.mp3"));
}

TEST_F(SongChoiceTest, ListWrapsAndStartsAfterTheSelection)
{
    FillList({"1.mp3", "2.mp3", "3.mp3"});
    choice_.CurPage = SongChoice::ListPage;
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/t/1.mp3"));

    list_->clearSelection();
    choice_.CurItem = nullptr;
    EXPECT_EQ(choice_.CurrentSong(), QStringLiteral("/t/1.mp3"));
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/t/2.mp3"));
    EXPECT_EQ(Selected(list_.get()), QStringList{"2.mp3"});
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/t/3.mp3"));
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/t/1.mp3"));
}

TEST_F(SongChoiceTest, ListDoubleClickTakesTheFirstSelectedItem)
{
    FillList({"1.mp3", "2.mp3", "3.mp3"});
    EXPECT_FALSE(choice_.ChooseFromList());
    list_->topLevelItem(2)->setSelected(true);
    list_->topLevelItem(1)->setSelected(true);
    ASSERT_TRUE(choice_.ChooseFromList());
    EXPECT_EQ(choice_.CurPage, SongChoice::ListPage);
    EXPECT_EQ(choice_.CurrentSong(), QStringLiteral("/t/2.mp3"));
    // The current item is deselected before the next one is chosen.
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/t/3.mp3"));
    EXPECT_EQ(Selected(list_.get()), QStringList{"3.mp3"});
}

TEST_F(SongChoiceTest, DeletingTheCurrentEntryStartsThePageAgain)
{
    Fill(1, {"a.mp3", "b.mp3", "c.mp3"});
    EXPECT_EQ(choice_.CurrentSong(), QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/m/b.mp3"));
    playlist_->DeleteSelected(Tree(1));
    EXPECT_EQ(choice_.CurNode, nullptr);
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/m/a.mp3"));

    FillList({"1.mp3", "2.mp3"});
    choice_.CurPage = SongChoice::ListPage;
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/t/1.mp3"));
    playlist_->DeleteSelectedTemp();
    EXPECT_EQ(choice_.CurItem, nullptr);
    EXPECT_EQ(list_->Captions(), QStringList{"/t/2.mp3"});
}

TEST_F(SongChoiceTest, MovedListEntryIsACopyAndNoLongerCurrent)
{
    FillList({"1.mp3", "2.mp3", "3.mp3"});
    choice_.CurPage = SongChoice::ListPage;
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/t/1.mp3"));
    playlist_->MoveTempEntries(list_.get(), nullptr);
    EXPECT_EQ(choice_.CurItem, nullptr);
    EXPECT_EQ(list_->Captions(), (QStringList{"/t/2.mp3", "/t/3.mp3", "/t/1.mp3"}));

    // A moved tree node is the same node: it stays current.
    Fill(1, {"a.mp3", "b.mp3"});
    choice_.CurPage = 1;
    EXPECT_EQ(choice_.CurrentSong(), QStringLiteral("/m/a.mp3"));
    QTreeWidgetItem* current = choice_.CurNode;
    playlist_->MoveTreeEntries(Tree(1), Tree(1), nullptr);
    EXPECT_EQ(choice_.CurNode, current);
    // a.mp3 is now the page's last node, so the next song wraps to the top.
    EXPECT_EQ(choice_.NextSong(), QStringLiteral("/m/b.mp3"));
}

// A look at the next song, as the player takes while the current one plays out, gives
// what NextSong then gives and moves nothing: not the current entry, not the selection.
TEST_F(SongChoiceTest, PeekingGivesTheNextSongAndMovesNothing)
{
    auto peekThenNext = [this](QTreeWidget* view) {
        const QStringList selectedBefore = Selected(view);
        const QTreeWidgetItem* nodeBefore = choice_.CurNode;
        const QTreeWidgetItem* itemBefore = choice_.CurItem;
        const QString peeked = choice_.PeekNextSong();
        EXPECT_EQ(Selected(view), selectedBefore);
        EXPECT_EQ(choice_.CurNode, nodeBefore);
        EXPECT_EQ(choice_.CurItem, itemBefore);
        EXPECT_EQ(choice_.NextSong(), peeked);
        return peeked;
    };
    Fill(1, {"H", "a.mp3", "b.mp3", "H2"});
    EXPECT_EQ(peekThenNext(Tree(1)), QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(peekThenNext(Tree(1)), QStringLiteral("/m/b.mp3"));
    EXPECT_EQ(peekThenNext(Tree(1)), QString());  // a trailing heading ends the page

    FillList({"1.mp3", "2.mp3", "3.mp3"});
    choice_.CurPage = SongChoice::ListPage;
    list_->topLevelItem(1)->setSelected(true);  // nothing current: after the selection
    EXPECT_EQ(peekThenNext(list_.get()), QStringLiteral("/t/3.mp3"));
    EXPECT_EQ(peekThenNext(list_.get()), QStringLiteral("/t/1.mp3"));  // wraps
    EXPECT_EQ(Selected(list_.get()), (QStringList{"1.mp3", "2.mp3"}));
}

} // namespace
