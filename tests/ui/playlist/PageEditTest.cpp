// Deleting and reordering entries on a page and on the temporary list.

#include "PlaylistGuiSupport.h"

#include <QDragEnterEvent>
#include <QMimeData>

namespace {

class PageEdit : public PlaylistTest {
protected:
    // Files a1..aN at levels given by `levels`.
    void Fill(int page, const std::vector<int>& levels)
    {
        int n = 0;
        for (int level : levels)
            m_playlist->AddPageEntry(Tree(page), QStringLiteral("/m/a%1.mp3").arg(++n), false, level);
        m_playlist->RenumberPage(Tree(page));
    }
};

TEST_F(PageEdit, DeletingEntriesTwoAndFourRenumbersTheRest)
{
    Fill(1, {0, 0, 0, 0, 0});
    SelectRows(Tree(1), {1, 3});
    m_playlist->DeleteSelected(Tree(1));
    EXPECT_EQ(Rows(1), (QStringList{"a1.mp3|0|0|1", "a3.mp3|0|0|2", "a5.mp3|0|0|3"}));
}

TEST_F(PageEdit, EntriesDroppedOnTheFifthGoBeforeItWithItsLevel)
{
    Fill(1, {0, 1, 2, 0, 3, 0});
    SelectRows(Tree(1), {5, 0, 2});
    m_playlist->MoveTreeEntries(Tree(1), Tree(1), 4);
    EXPECT_EQ(Rows(1), (QStringList{"a2.mp3|0|1|1", "a4.mp3|0|0|2", "a1.mp3|0|3|3", "a3.mp3|0|3|4",
                                    "a6.mp3|0|3|5", "a5.mp3|0|3|6"}));
    EXPECT_EQ(SelectedRows(Tree(1)), (std::vector<int>{2, 3, 4}));
}

TEST_F(PageEdit, EntriesDroppedBelowTheLastGoToTheEndWithTheirLevels)
{
    Fill(2, {0, 1, 2, 0});
    m_playlist->AddPageEntry(Tree(2), QStringLiteral("/m/H"), true, 4);
    m_playlist->RenumberPage(Tree(2));
    SelectRows(Tree(2), {0, 4, 2});
    m_playlist->MoveTreeEntries(Tree(2), Tree(2), -1);
    EXPECT_EQ(Rows(2), (QStringList{"a2.mp3|0|1|1", "a4.mp3|0|0|2", "a1.mp3|0|0|3", "a3.mp3|0|2|4", "H|1|4|0"}));
}

TEST_F(PageEdit, HeadingDroppedOnAnEntryKeepsItsLevel)
{
    Fill(1, {0, 2});
    m_playlist->AddPageEntry(Tree(1), QStringLiteral("/m/H"), true, 1);
    SelectRows(Tree(1), {2});
    m_playlist->MoveTreeEntries(Tree(1), Tree(1), 1);
    EXPECT_EQ(Rows(1), (QStringList{"a1.mp3|0|0|1", "H|1|1|0", "a2.mp3|0|2|2"}));
}

TEST_F(PageEdit, DragsBetweenPagesAndTheListChangeNothing)
{
    Fill(1, {0, 0});
    Fill(2, {0});
    m_playlist->AddTempItem(QStringLiteral("/t/x.mp3"));
    SelectRows(Tree(1), {0});
    SelectRows(m_list.get(), {0});
    m_playlist->MoveTreeEntries(Tree(2), Tree(1), -1);
    m_playlist->MoveTreeEntries(Tree(2), m_list.get(), -1);
    m_playlist->MoveTempEntries(Tree(1), -1);
    EXPECT_EQ(Rows(1), (QStringList{"a1.mp3|0|0|1", "a2.mp3|0|0|2"}));
    EXPECT_EQ(Rows(2), QStringList{"a1.mp3|0|0|1"});
    EXPECT_EQ(m_list->Captions(), QStringList{"/t/x.mp3"});

    // The views themselves only take drags from their own kind.
    QMimeData entries;
    entries.setData(QStringLiteral("application/x-qabstractitemmodeldatalist"), QByteArray());
    QDragEnterEvent fromNowhere(QPoint(5, 5), Qt::MoveAction, &entries, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Tree(1)->viewport(), &fromNowhere);
    EXPECT_FALSE(fromNowhere.isAccepted());
}

TEST_F(PageEdit, ListEntriesMoveAsCopiesInTheirOrder)
{
    for (const char* name : {"1", "2", "3", "4", "5"})
        m_playlist->AddTempItem(QStringLiteral("/t/%1.mp3").arg(QLatin1String(name)));
    SelectRows(m_list.get(), {4, 1});
    m_playlist->MoveTempEntries(m_list.get(), 0);
    EXPECT_EQ(m_list->Captions(),
              (QStringList{"/t/2.mp3", "/t/5.mp3", "/t/1.mp3", "/t/3.mp3", "/t/4.mp3"}));
    // Deleting or moving never writes the list's file.
    SelectRows(m_list.get(), {0});
    m_playlist->DeleteSelectedTemp();
    EXPECT_EQ(m_list->Captions().size(), 4);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("Temprary.txt"))));
}

} // namespace
