// The playlist without a widget: pages edited, drops added and songs chosen on the
// model alone, as the window's trees and list do it.

#include "PlaylistTestSupport.h"
#include "support/QtApplication.h"

#include "DropQueue.h"
#include "PlaylistModel.h"
#include "SaveProblems.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QAbstractItemModelTester>
#include <QHash>
#include <QSignalSpy>

namespace {

class PlaylistModelTest : public ScratchFolderTest {
protected:
    // Entries of page 1: 'H' a heading, any other letter a music file named after it.
    void Fill(const QString& kinds, int pageNo = 1)
    {
        for (const QChar kind : kinds) {
            const bool heading = kind == QLatin1Char('H');
            ASSERT_TRUE(m_model.AddPageEntry(pageNo, QStringLiteral("/m/%1%2").arg(kind).arg(heading ? "" : ".mp3"), heading, 0));
        }
    }
    static QString Song(char name) { return QStringLiteral("/m/%1.mp3").arg(QLatin1Char(name)); }
    QStringList Names(int pageNo = 1) const
    {
        QStringList names;
        for (int row = 0; row < m_model.EntryCount(pageNo); ++row)
            names.append(EntryDisplayName(m_model.Entry(pageNo, row)));
        return names;
    }
    std::vector<int> Numbers(int pageNo = 1) const
    {
        std::vector<int> numbers;
        for (int row = 0; row < m_model.EntryCount(pageNo); ++row)
            numbers.push_back(m_model.Entry(pageNo, row).No);
        return numbers;
    }
    void FillList(int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(m_model.AddTempFile(QStringLiteral("/t/%1.ogg").arg(i)), PlaylistModel::TempAdd::Added);
    }

    SaveProblems m_problems;
    PlaylistModel m_model{m_problems};
};

TEST_F(PlaylistModelTest, PageSongsFollowInOrderAndWrapOnlyFromTheLastEntry)
{
    Fill(QStringLiteral("HAB"));
    EXPECT_EQ(m_model.CurrentSong(), Song('A'));
    EXPECT_TRUE(m_model.IsSelected(1, 1));
    EXPECT_EQ(m_model.PeekNextSong(), Song('B'));
    EXPECT_EQ(m_model.CurrentRow(), 1) << "peeking moves nothing";
    EXPECT_EQ(m_model.NextSong(), Song('B'));
    EXPECT_FALSE(m_model.IsSelected(1, 1));
    EXPECT_TRUE(m_model.IsSelected(1, 2));
    EXPECT_EQ(m_model.NextSong(), Song('A')) << "B was the last entry";

    PlaylistModel trailing(m_problems);
    for (const char* path : {"/m/A.mp3", "/m/B.mp3"})
        ASSERT_TRUE(trailing.AddPageEntry(1, QString::fromLatin1(path), false, 0));
    ASSERT_TRUE(trailing.AddPageEntry(1, QStringLiteral("/m/H"), true, 0));
    EXPECT_EQ(trailing.CurrentSong(), Song('A'));
    EXPECT_EQ(trailing.NextSong(), Song('B'));
    EXPECT_EQ(trailing.PeekNextSong(), QString());
    EXPECT_EQ(trailing.NextSong(), QString());
    EXPECT_EQ(trailing.NextSong(), QString()) << "a trailing heading never wraps";
}

TEST_F(PlaylistModelTest, PreviousSongsGoBackOverHeadingsFromTheFirstFileToTheLast)
{
    Fill(QStringLiteral("AHBCH"));
    FillList(4);
    EXPECT_EQ(m_model.SongCount(), 3) << "the files of the page that plays";
    EXPECT_EQ(m_model.PeekPreviousSong(), Song('C')) << "with none current: the last file";
    EXPECT_EQ(m_model.CurrentRow(), -1) << "peeking moves nothing";
    EXPECT_EQ(m_model.CurrentSong(), Song('A'));
    EXPECT_EQ(m_model.PreviousSong(), Song('C')) << "the first file goes to the last";
    EXPECT_TRUE(m_model.IsSelected(1, 3));
    EXPECT_FALSE(m_model.IsSelected(1, 0));
    EXPECT_EQ(m_model.PreviousSong(), Song('B'));
    EXPECT_EQ(m_model.PreviousSong(), Song('A')) << "the heading between is passed over";

    m_model.SetCurPage(PlaylistModel::ListPage);
    EXPECT_EQ(m_model.SongCount(), 4);
    m_model.SetTempSelected(1, true);
    EXPECT_EQ(m_model.PreviousSong(), m_model.TempPath(0)) << "before the first selected";
    EXPECT_EQ(m_model.PeekPreviousSong(), m_model.TempPath(3));
    EXPECT_EQ(m_model.PreviousSong(), m_model.TempPath(3)) << "the first wraps to the last";
    EXPECT_FALSE(m_model.IsTempSelected(0));
    EXPECT_EQ(m_model.NextSong(), m_model.TempPath(0)) << "and forward again";

    PlaylistModel headings(m_problems);
    ASSERT_TRUE(headings.AddPageEntry(1, QStringLiteral("/m/H"), true, 0));
    EXPECT_EQ(headings.PreviousSong(), QString());
    EXPECT_EQ(headings.SongCount(), 0);
}

// Carrying on after a restart: the stored place when it still holds the song, else where
// the song now stands on that page or list; nothing is asked to play.
TEST_F(PlaylistModelTest, ACuedEntryBecomesCurrentWhereTheSongStandsNow)
{
    Fill(QStringLiteral("AHBC"), 3);
    FillList(3);
    QSignalSpy requests(&m_model, &PlaylistModel::PlayRequested);
    EXPECT_TRUE(m_model.CueEntry(3, 2, Song('B')));
    EXPECT_EQ(m_model.CurPage(), 3);
    EXPECT_EQ(m_model.CurrentRow(), 2);
    EXPECT_EQ(m_model.NextSong(), Song('C')) << "the list goes on from there";
    EXPECT_TRUE(m_model.CueEntry(3, 0, Song('C'))) << "a moved song is found on its page";
    EXPECT_EQ(m_model.CurrentRow(), 3);
    EXPECT_TRUE(m_model.CueEntry(PlaylistModel::ListPage, 7, m_model.TempPath(1)));
    EXPECT_EQ(m_model.CurrentRow(), 1);
    EXPECT_FALSE(m_model.CueEntry(2, 0, Song('A'))) << "not on that page";
    EXPECT_FALSE(m_model.CueEntry(9, 0, Song('A')));
    EXPECT_EQ(m_model.CurPage(), PlaylistModel::ListPage) << "a failed cue changes nothing";
    EXPECT_EQ(requests.count(), 0);
}

TEST_F(PlaylistModelTest, ChosenHeadingPlaysTheFileAfterItAndOnlyAChoiceChangesThePage)
{
    Fill(QStringLiteral("AB"));
    Fill(QStringLiteral("HC"), 2);
    QSignalSpy requests(&m_model, &PlaylistModel::PlayRequested);
    EXPECT_FALSE(m_model.PlayChosen(2)) << "nothing selected there";
    m_model.SetSelected(2, 0, true);
    ASSERT_TRUE(m_model.PlayChosen(2));
    ASSERT_EQ(requests.count(), 1);
    EXPECT_EQ(requests.at(0).at(0).toString(), Song('C')) << "the request carries the entry it plays";
    EXPECT_EQ(m_model.CurPage(), 2);
    EXPECT_EQ(m_model.CurrentSong(), Song('C'));
    EXPECT_TRUE(m_model.IsSelected(2, 1));
    EXPECT_FALSE(m_model.IsSelected(2, 0)) << "the current entry is selected alone";

    PlaylistModel fresh(m_problems);
    for (const char* path : {"/m/A.mp3", "/m/B.mp3"})
        ASSERT_TRUE(fresh.AddPageEntry(1, QString::fromLatin1(path), false, 0));
    EXPECT_EQ(fresh.CurPage(), 1);
    EXPECT_EQ(fresh.CurrentSong(), Song('A'));
}

TEST_F(PlaylistModelTest, ListSongsWrapAndStartAfterTheSelection)
{
    FillList(3);
    m_model.SetTempSelected(2, true);
    ASSERT_TRUE(m_model.PlayChosen(PlaylistModel::ListPage));
    EXPECT_EQ(m_model.CurPage(), PlaylistModel::ListPage);
    EXPECT_EQ(m_model.NextSong(), m_model.TempPath(0)) << "the third wraps to the first";
    EXPECT_FALSE(m_model.IsTempSelected(2));
    EXPECT_TRUE(m_model.IsTempSelected(0));

    PlaylistModel other(m_problems);
    for (int i = 0; i < 3; ++i)
        other.AddTempItem(QStringLiteral("/t/%1.ogg").arg(i));
    other.SetTempSelected(0, true);
    ASSERT_TRUE(other.PlayChosen(PlaylistModel::ListPage));
    other.SetTempSelected(0, false);
    other.DeleteSelectedTemp();  // nothing selected: nothing goes
    ASSERT_EQ(other.TempCount(), 3);
    EXPECT_EQ(other.CurrentSong(), other.TempPath(0));
    EXPECT_EQ(other.NextSong(), other.TempPath(1));
}

TEST_F(PlaylistModelTest, DeletedOrMovedCurrentEntryIsForgottenWithoutBeingTold)
{
    Fill(QStringLiteral("HABC"));
    m_model.SetSelected(1, 2, true);
    ASSERT_TRUE(m_model.PlayChosen(1));
    m_model.DeleteSelected(1);
    EXPECT_EQ(m_model.CurrentRow(), -1);
    EXPECT_EQ(m_model.NextSong(), Song('A')) << "the first file of the page";

    FillList(3);
    m_model.SetTempSelected(1, true);
    ASSERT_TRUE(m_model.PlayChosen(PlaylistModel::ListPage));
    m_model.MoveSelectedTemp(0);  // replaced by a copy
    EXPECT_EQ(m_model.CurrentRow(), -1);
    EXPECT_EQ(m_model.TempPaths(), QStringList({"/t/1.ogg", "/t/0.ogg", "/t/2.ogg"}));
    EXPECT_EQ(m_model.FirstSelectedTempRow(), -1) << "the copies come unselected";
    m_model.SetTempSelected(2, true);
    ASSERT_TRUE(m_model.PlayChosen(PlaylistModel::ListPage));
    m_model.DeleteSelectedTemp();
    EXPECT_EQ(m_model.CurrentRow(), -1);
    EXPECT_EQ(m_model.TempCount(), 2);
    EXPECT_EQ(m_model.NextSong(), QStringLiteral("/t/1.ogg"));
}

TEST_F(PlaylistModelTest, DeletingAndMovingKeepOrderAndRenumber)
{
    Fill(QStringLiteral("ABCDE"));
    m_model.SetSelected(1, 1, true);
    m_model.SetSelected(1, 3, true);
    m_model.DeleteSelected(1);
    EXPECT_EQ(Names(), QStringList({"A.mp3", "C.mp3", "E.mp3"}));
    EXPECT_EQ(Numbers(), std::vector<int>({1, 2, 3}));

    PlaylistModel moving(m_problems);
    for (const char* name : {"A", "B", "C", "D", "E", "F"})
        ASSERT_TRUE(moving.AddPageEntry(1, QStringLiteral("/m/%1.mp3").arg(QLatin1String(name)), false, name[0] == 'E' ? 3 : 1));
    for (int row : {0, 2, 5})
        moving.SetSelected(1, row, true);
    moving.MoveSelected(1, 4);
    QStringList names;
    std::vector<int> levels;
    for (int row = 0; row < moving.EntryCount(1); ++row) {
        names.append(EntryDisplayName(moving.Entry(1, row)));
        levels.push_back(moving.Entry(1, row).Level);
    }
    EXPECT_EQ(names, QStringList({"B.mp3", "D.mp3", "A.mp3", "C.mp3", "F.mp3", "E.mp3"}));
    EXPECT_EQ(levels, std::vector<int>({1, 1, 3, 3, 3, 3}));
    EXPECT_EQ(moving.Entry(1, 2).No, 3);
    EXPECT_TRUE(moving.IsSelected(1, 2) && moving.IsSelected(1, 3) && moving.IsSelected(1, 4));

    moving.MoveSelected(1, -1);
    names.clear();
    for (int row = 0; row < moving.EntryCount(1); ++row)
        names.append(EntryDisplayName(moving.Entry(1, row)));
    EXPECT_EQ(names, QStringList({"B.mp3", "D.mp3", "E.mp3", "A.mp3", "C.mp3", "F.mp3"}));
    EXPECT_EQ(moving.Entry(1, 5).Level, 3) << "moved to the end, levels unchanged";
    EXPECT_EQ(moving.Entry(1, 5).No, 6);
}

TEST_F(PlaylistModelTest, ListTakesEachMusicPathOnceAndRefusesLineBreaks)
{
    using Add = PlaylistModel::TempAdd;
    EXPECT_EQ(m_model.AddTempFile(QStringLiteral("/m/SONG.MP3")), Add::Added);
    int row = -1;
    EXPECT_EQ(m_model.AddTempFile(QStringLiteral("/m/SONG.MP3"), &row), Add::Listed);
    EXPECT_EQ(row, 0) << "the entry already listed";
    EXPECT_EQ(m_model.AddTempFile(QStringLiteral("/m/song.mp3"), &row), Add::Added) << "names are bytes: case counts";
    EXPECT_EQ(row, 1);
    EXPECT_EQ(m_model.AddTempFile(QStringLiteral("/m/song.flac.txt")), Add::NotMusic);
    EXPECT_EQ(m_model.AddTempFile(QStringLiteral("/m/two\nlines.mp3")), Add::Refused);
    EXPECT_EQ(m_model.TempCount(), 2);
    EXPECT_TRUE(m_model.AddPageEntry(1, QStringLiteral("/m/SONG.MP3"), false, 0));
    EXPECT_TRUE(m_model.AddPageEntry(1, QStringLiteral("/m/SONG.MP3"), false, 0)) << "pages have no duplicate test";
    EXPECT_FALSE(m_model.AddPageEntry(1, QStringLiteral("/m/notes.txt"), false, 0));
    EXPECT_FALSE(m_model.AddPageEntry(1, QStringLiteral("/m/") + QString(600, QLatin1Char('x')) + ".mp3", false, 0))
        << "a path too long for a record is refused, not cut";
}

TEST_F(PlaylistModelTest, PagesAndListSurviveTheirFiles)
{
    Fill(QStringLiteral("HAB"));
    Fill(QStringLiteral("C"), 5);
    FillList(2);
    m_model.SavePages(true);
    ASSERT_TRUE(m_model.SaveTempList());
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList1.dat")).size(), 500 * 4);
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList2.dat")).size(), 500);
    EXPECT_EQ(ReadBytes(QStringLiteral("Temprary.txt")), QByteArray("/t/0.ogg\r\n/t/1.ogg\r\n"));

    PlaylistModel loaded(m_problems);
    loaded.LoadPages();
    loaded.LoadTempList();
    ASSERT_EQ(loaded.EntryCount(1), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(RecordBytes(loaded.Entry(1, row)), RecordBytes(m_model.Entry(1, row)));
    EXPECT_EQ(loaded.EntryCount(5), 1);
    EXPECT_EQ(loaded.TempPaths(), m_model.TempPaths());
    EXPECT_EQ(loaded.Page(1).Entries->Count(), 0) << "the records belong to the model";

    loaded.LoadPages();  // appended after what the page shows, as "Reload" does
    EXPECT_EQ(loaded.EntryCount(1), 6);
    EXPECT_EQ(loaded.Entry(1, 5).No, 4);
}

TEST_F(PlaylistModelTest, DroppedFolderBecomesHeadingsAndFilesByTheDropRules)
{
    EnsureQtApplication();
    QDir root(Path(QString()));
    ASSERT_TRUE(root.mkpath(QStringLiteral("D/sub")));
    WriteBytes(QStringLiteral("D/a.mp3"), QByteArray(300, 'a'));
    WriteBytes(QStringLiteral("D/notes.txt"), QByteArray(300, 'n'));
    WriteBytes(QStringLiteral("D/sub/b.ogg"), QByteArray(300, 'b'));
    WriteBytes(QStringLiteral("D/tiny.mp3"), QByteArray(100, 't'));

    bool done = false;
    int target = 1;
    DropQueue queue([&](DropBatch& batch) {
        m_model.Receive(target, batch);
        done = batch.Last;
    }, &DefaultFolderLister());
    const auto drop = [&](DropJob::Target kind, int to) {
        done = false;
        target = to;
        queue.Add(DropJob{kind, {Path(QStringLiteral("D"))}});
        QDeadlineTimer deadline(30000);
        while (!done && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        ASSERT_TRUE(done);
    };
    drop(DropJob::Target::Page, 1);
    ASSERT_EQ(Names(), QStringList({"D", "a.mp3", "sub", "b.ogg"}));
    std::vector<int> levels;
    for (int row = 0; row < m_model.EntryCount(1); ++row)
        levels.push_back(m_model.Entry(1, row).Level);
    EXPECT_EQ(levels, std::vector<int>({0, 1, 1, 2}));
    EXPECT_EQ(Numbers(), std::vector<int>({0, 1, 0, 2}));

    drop(DropJob::Target::List, PlaylistModel::ListPage);
    drop(DropJob::Target::List, PlaylistModel::ListPage);
    EXPECT_EQ(m_model.TempCount(), 3) << "every music file once, the small one too";
}

// The fault a keyboard user met: with the cursor moved from the first song to the fourth
// while the first played, the next song took the selection and the cursor, and Delete
// removed a row the user had not chosen. Held, the cursor stays; the song that plays is
// data the views draw. Let go, the selection follows the song again.
TEST_F(PlaylistModelTest, ASongChangeLeavesAHeldCursorWhereTheUserPutIt)
{
    Fill(QStringLiteral("ABCDE"));
    ASSERT_TRUE(m_model.PlayEntry(1, 0));
    m_model.SetCursorHeld(1, true);
    m_model.SelectOnly(1, 3);  // Down, Down, Down
    EXPECT_EQ(m_model.NextSong(), Song('B'));
    EXPECT_EQ(m_model.SelectedRows(1), std::vector<int>{3});
    EXPECT_EQ(m_model.FocusedRow(1), 3);
    EXPECT_TRUE(m_model.EntryIndex(1, 1).data(PlaylistModel::CurrentRole).toBool());
    EXPECT_FALSE(m_model.EntryIndex(1, 0).data(PlaylistModel::CurrentRole).toBool());
    EXPECT_EQ(m_model.PeekNextSong(), Song('C')) << "what plays next follows the song, not the cursor";
    m_model.DeleteChosen(1);
    EXPECT_EQ(Names(), QStringList({"A.mp3", "B.mp3", "C.mp3", "E.mp3"}));
    EXPECT_EQ(m_model.CurrentRow(), 1);
    // Nothing selected: Delete takes the row the keyboard is on.
    m_model.SetSelected(1, m_model.SelectedRow(1), false);
    m_model.SetFocused(1, 0);
    m_model.DeleteChosen(1);
    EXPECT_EQ(Names(), QStringList({"B.mp3", "C.mp3", "E.mp3"}));

    m_model.SetCursorHeld(1, false);
    EXPECT_EQ(m_model.NextSong(), Song('C'));
    EXPECT_EQ(m_model.SelectedRows(1), std::vector<int>{1}) << "the design's highlight again";

    FillList(3);
    ASSERT_TRUE(m_model.PlayEntry(PlaylistModel::ListPage, 0));
    m_model.SetCursorHeld(PlaylistModel::ListPage, true);
    m_model.SelectOnly(PlaylistModel::ListPage, 2);
    EXPECT_EQ(m_model.NextSong(), m_model.TempPath(1));
    EXPECT_EQ(m_model.SelectedRows(PlaylistModel::ListPage), std::vector<int>{2});
}

// Alt+Up and Alt+Down move the chosen rows as a drag inside the page would, and they stay
// chosen, so the keys can be pressed again; on the list the moved rows are copies.
TEST_F(PlaylistModelTest, MoveKeysMoveTheChosenRowsAndKeepThemChosen)
{
    Fill(QStringLiteral("ABCDE"));
    m_model.SetFocused(1, 1);  // nothing selected: the keyboard's row
    m_model.MoveChosen(1, 1);
    EXPECT_EQ(Names(), QStringList({"A.mp3", "C.mp3", "B.mp3", "D.mp3", "E.mp3"}));
    EXPECT_EQ(m_model.SelectedRows(1), std::vector<int>{2});
    m_model.MoveChosen(1, -1);
    m_model.MoveChosen(1, -1);
    EXPECT_EQ(Names(), QStringList({"B.mp3", "A.mp3", "C.mp3", "D.mp3", "E.mp3"}));
    m_model.MoveChosen(1, -1);  // at the top already
    EXPECT_EQ(Names().front(), QStringLiteral("B.mp3"));
    EXPECT_EQ(Numbers(), std::vector<int>({1, 2, 3, 4, 5}));

    FillList(4);
    m_model.SelectOnly(PlaylistModel::ListPage, 1);
    m_model.MoveChosen(PlaylistModel::ListPage, 1);
    m_model.MoveChosen(PlaylistModel::ListPage, 1);
    EXPECT_EQ(m_model.TempPaths(), QStringList({"/t/0.ogg", "/t/2.ogg", "/t/3.ogg", "/t/1.ogg"}));
    EXPECT_EQ(m_model.SelectedRows(PlaylistModel::ListPage), std::vector<int>{3});
    EXPECT_EQ(m_model.FocusedRow(PlaylistModel::ListPage), 3);
}

// Qt's own checker watches the model through every kind of edit (it stops the test at
// the first inconsistency), and what the signals said went in or out is what the model
// holds: a view built from them shows no stale row, nor one whose record is gone.
TEST_F(PlaylistModelTest, EveryEditIsToldAsAnItemModelTellsIt)
{
    QAbstractItemModelTester tester(&m_model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QHash<int, QStringList> seen;  // page number -> paths, as the signals told them
    const auto pathsOf = [this](int pageNo, int first, int last) {
        QStringList paths;
        for (int row = first; row <= last; ++row)
            paths.append(m_model.EntryIndex(pageNo, row).data(PlaylistModel::PathRole).toString());
        return paths;
    };
    int insertions = 0;
    QObject::connect(&m_model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex& parent, int first, int last) {
        ++insertions;
        QStringList& rows = seen[parent.row() + 1];
        const QStringList paths = pathsOf(parent.row() + 1, first, last);
        for (int i = 0; i < paths.size(); ++i)
            rows.insert(first + i, paths[i]);
    });
    QObject::connect(&m_model, &QAbstractItemModel::rowsAboutToBeRemoved,
                     [&](const QModelIndex& parent, int first, int last) {
                         QStringList& rows = seen[parent.row() + 1];
                         EXPECT_EQ(rows.mid(first, last - first + 1), pathsOf(parent.row() + 1, first, last));
                         rows.remove(first, last - first + 1);
                     });
    QObject::connect(&m_model, &QAbstractItemModel::layoutChanged, [&](const QList<QPersistentModelIndex>& parents) {
        for (const QPersistentModelIndex& parent : parents)
            seen[parent.row() + 1] = pathsOf(parent.row() + 1, 0, m_model.rowCount(parent) - 1);
    });
    const auto same = [&] {
        for (int pageNo : {1, int(PlaylistModel::ListPage)})
            EXPECT_EQ(seen.value(pageNo), pathsOf(pageNo, 0, m_model.rowCount(m_model.PageIndex(pageNo)) - 1));
    };

    DropBatch batch;
    for (const char* name : {"H", "A", "B", "C", "D", "E", "F", "G"})
        batch.Records.push_back(TMusicFile::Create(name[0] == 'H', QStringLiteral("/m/%1.mp3").arg(QLatin1String(name))));
    for (int i = 0; i < 6; ++i)
        batch.Paths.append(QStringLiteral("/t/%1.ogg").arg(i));
    batch.Paths.append(QStringLiteral("/t/0.ogg"));  // once only
    m_model.Receive(1, batch);
    m_model.Receive(PlaylistModel::ListPage, batch);
    EXPECT_EQ(insertions, 2) << "one insertion a batch";
    EXPECT_EQ(m_model.TempCount(), 6);
    same();

    for (int row : {1, 2, 4, 7})
        m_model.SetSelected(1, row, true);
    m_model.SetFocused(1, 4);
    const PageEntry* focused = m_model.Record(1, 4);
    m_model.MoveSelected(1, 3);  // runs before and after the target
    same();
    EXPECT_EQ(m_model.Record(1, m_model.FocusedRow(1)), focused) << "the keyboard's row goes with its entry";
    m_model.MoveSelected(1, -1);
    same();
    m_model.DeleteSelected(1);
    same();
    EXPECT_EQ(m_model.EntryCount(1), 4);

    for (int row : {0, 1, 3, 5})
        m_model.SetTempSelected(row, true);
    m_model.MoveSelectedTemp(2);  // the target among the moved
    same();
    for (int row : {0, 4})
        m_model.SetTempSelected(row, true);
    m_model.DeleteSelectedTemp();
    same();
    EXPECT_EQ(m_model.TempRowOf(m_model.TempPath(2)), 2) << "rows of paths are found again after edits";
}

} // namespace
