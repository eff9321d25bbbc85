// The playlist without a widget: pages edited, drops added and songs chosen on the
// model alone, as the window's trees and list do it.

#include "PlaylistTestSupport.h"
#include "support/QtApplication.h"

#include "DropQueue.h"
#include "PlaylistModel.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHash>

namespace {

class PlaylistModelTest : public ScratchFolderTest {
protected:
    // Entries of page 1: 'H' a heading, any other letter a music file named after it.
    void Fill(const QString& kinds, int pageNo = 1)
    {
        for (const QChar kind : kinds) {
            const bool heading = kind == QLatin1Char('H');
            ASSERT_TRUE(model_.AddPageEntry(pageNo, QStringLiteral("/m/%1%2").arg(kind).arg(heading ? "" : ".mp3"), heading, 0));
        }
    }
    static QString Song(char name) { return QStringLiteral("/m/%1.mp3").arg(QLatin1Char(name)); }
    QStringList Names(int pageNo = 1) const
    {
        QStringList names;
        for (int row = 0; row < model_.EntryCount(pageNo); ++row)
            names.append(EntryDisplayName(model_.Entry(pageNo, row)));
        return names;
    }
    std::vector<int> Numbers(int pageNo = 1) const
    {
        std::vector<int> numbers;
        for (int row = 0; row < model_.EntryCount(pageNo); ++row)
            numbers.push_back(model_.Entry(pageNo, row).No);
        return numbers;
    }
    void FillList(int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(model_.AddTempFile(QStringLiteral("/t/%1.ogg").arg(i)), PlaylistModel::TempAdd::Added);
    }

    TM_PlayList store_;
    PlaylistModel model_{store_};
};

TEST_F(PlaylistModelTest, PageSongsFollowInOrderAndWrapOnlyFromTheLastEntry)
{
    Fill(QStringLiteral("HAB"));
    EXPECT_EQ(model_.CurrentSong(), Song('A'));
    EXPECT_TRUE(model_.IsSelected(1, 1));
    EXPECT_EQ(model_.PeekNextSong(), Song('B'));
    EXPECT_EQ(model_.CurrentRow(), 1) << "peeking moves nothing";
    EXPECT_EQ(model_.NextSong(), Song('B'));
    EXPECT_FALSE(model_.IsSelected(1, 1));
    EXPECT_TRUE(model_.IsSelected(1, 2));
    EXPECT_EQ(model_.NextSong(), Song('A')) << "B was the last entry";

    PlaylistModel trailing(store_);
    for (const char* path : {"/m/A.mp3", "/m/B.mp3"})
        ASSERT_TRUE(trailing.AddPageEntry(1, QString::fromLatin1(path), false, 0));
    ASSERT_TRUE(trailing.AddPageEntry(1, QStringLiteral("/m/H"), true, 0));
    EXPECT_EQ(trailing.CurrentSong(), Song('A'));
    EXPECT_EQ(trailing.NextSong(), Song('B'));
    EXPECT_EQ(trailing.PeekNextSong(), QString());
    EXPECT_EQ(trailing.NextSong(), QString());
    EXPECT_EQ(trailing.NextSong(), QString()) << "a trailing heading never wraps";
}

TEST_F(PlaylistModelTest, ChosenHeadingPlaysTheFileAfterItAndOnlyADoubleClickChangesThePage)
{
    Fill(QStringLiteral("AB"));
    Fill(QStringLiteral("HC"), 2);
    EXPECT_FALSE(model_.ChooseFromPage(2)) << "nothing selected there";
    model_.SetSelected(2, 0, true);
    ASSERT_TRUE(model_.ChooseFromPage(2));
    EXPECT_EQ(model_.CurPage(), 2);
    EXPECT_EQ(model_.CurrentSong(), Song('C'));
    EXPECT_TRUE(model_.IsSelected(2, 1));
    EXPECT_FALSE(model_.IsSelected(2, 0)) << "the current entry is selected alone";

    PlaylistModel fresh(store_);
    for (const char* path : {"/m/A.mp3", "/m/B.mp3"})
        ASSERT_TRUE(fresh.AddPageEntry(1, QString::fromLatin1(path), false, 0));
    EXPECT_EQ(fresh.CurPage(), 1);
    EXPECT_EQ(fresh.CurrentSong(), Song('A'));
}

TEST_F(PlaylistModelTest, ListSongsWrapAndStartAfterTheSelection)
{
    FillList(3);
    model_.SetTempSelected(2, true);
    ASSERT_TRUE(model_.ChooseFromList());
    EXPECT_EQ(model_.CurPage(), PlaylistModel::ListPage);
    EXPECT_EQ(model_.NextSong(), model_.TempPath(0)) << "the third wraps to the first";
    EXPECT_FALSE(model_.IsTempSelected(2));
    EXPECT_TRUE(model_.IsTempSelected(0));

    PlaylistModel other(store_);
    for (int i = 0; i < 3; ++i)
        other.AddTempItem(QStringLiteral("/t/%1.ogg").arg(i));
    other.SetTempSelected(0, true);
    ASSERT_TRUE(other.ChooseFromList());
    other.SetTempSelected(0, false);
    other.DeleteSelectedTemp();  // nothing selected: nothing goes
    ASSERT_EQ(other.TempCount(), 3);
    EXPECT_EQ(other.CurrentSong(), other.TempPath(0));
    EXPECT_EQ(other.NextSong(), other.TempPath(1));
}

TEST_F(PlaylistModelTest, DeletedOrMovedCurrentEntryIsForgottenWithoutBeingTold)
{
    Fill(QStringLiteral("HABC"));
    model_.SetSelected(1, 2, true);
    ASSERT_TRUE(model_.ChooseFromPage(1));
    model_.DeleteSelected(1);
    EXPECT_EQ(model_.CurrentRow(), -1);
    EXPECT_EQ(model_.NextSong(), Song('A')) << "the first file of the page";

    FillList(3);
    model_.SetTempSelected(1, true);
    ASSERT_TRUE(model_.ChooseFromList());
    model_.MoveSelectedTemp(0);  // replaced by a copy
    EXPECT_EQ(model_.CurrentRow(), -1);
    EXPECT_EQ(model_.TempPaths(), QStringList({"/t/1.ogg", "/t/0.ogg", "/t/2.ogg"}));
    EXPECT_EQ(model_.FirstSelectedTempRow(), -1) << "the copies come unselected";
    model_.SetTempSelected(2, true);
    ASSERT_TRUE(model_.ChooseFromList());
    model_.DeleteSelectedTemp();
    EXPECT_EQ(model_.CurrentRow(), -1);
    EXPECT_EQ(model_.TempCount(), 2);
    EXPECT_EQ(model_.NextSong(), QStringLiteral("/t/1.ogg"));
}

TEST_F(PlaylistModelTest, DeletingAndMovingKeepOrderAndRenumber)
{
    Fill(QStringLiteral("ABCDE"));
    model_.SetSelected(1, 1, true);
    model_.SetSelected(1, 3, true);
    model_.DeleteSelected(1);
    EXPECT_EQ(Names(), QStringList({"A.mp3", "C.mp3", "E.mp3"}));
    EXPECT_EQ(Numbers(), std::vector<int>({1, 2, 3}));

    PlaylistModel moving(store_);
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
    EXPECT_EQ(model_.AddTempFile(QStringLiteral("/m/SONG.MP3")), Add::Added);
    int row = -1;
    EXPECT_EQ(model_.AddTempFile(QStringLiteral("/m/SONG.MP3"), &row), Add::Listed);
    EXPECT_EQ(row, 0) << "the entry already listed";
    EXPECT_EQ(model_.AddTempFile(QStringLiteral("/m/song.mp3"), &row), Add::Added) << "names are bytes: case counts";
    EXPECT_EQ(row, 1);
    EXPECT_EQ(model_.AddTempFile(QStringLiteral("/m/song.flac.txt")), Add::NotMusic);
    EXPECT_EQ(model_.AddTempFile(QStringLiteral("/m/two\nlines.mp3")), Add::Refused);
    EXPECT_EQ(model_.TempCount(), 2);
    EXPECT_TRUE(model_.AddPageEntry(1, QStringLiteral("/m/SONG.MP3"), false, 0));
    EXPECT_TRUE(model_.AddPageEntry(1, QStringLiteral("/m/SONG.MP3"), false, 0)) << "pages have no duplicate test";
    EXPECT_FALSE(model_.AddPageEntry(1, QStringLiteral("/m/notes.txt"), false, 0));
    EXPECT_FALSE(model_.AddPageEntry(1, QStringLiteral("/m/") + QString(600, QLatin1Char('x')) + ".mp3", false, 0))
        << "a path too long for a record is refused, not cut";
}

TEST_F(PlaylistModelTest, PagesAndListSurviveTheirFiles)
{
    Fill(QStringLiteral("HAB"));
    Fill(QStringLiteral("C"), 5);
    FillList(2);
    model_.SavePages(true);
    ASSERT_TRUE(model_.SaveTempList());
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList1.dat")).size(), 500 * 4);
    EXPECT_EQ(ReadBytes(QStringLiteral("MusicList2.dat")).size(), 500);
    EXPECT_EQ(ReadBytes(QStringLiteral("Temprary.txt")), QByteArray("/t/0.ogg\r\n/t/1.ogg\r\n"));

    TM_PlayList otherStore;
    PlaylistModel loaded(otherStore);
    loaded.LoadPages();
    loaded.LoadTempList();
    ASSERT_EQ(loaded.EntryCount(1), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(RecordBytes(loaded.Entry(1, row)), RecordBytes(model_.Entry(1, row)));
    EXPECT_EQ(loaded.EntryCount(5), 1);
    EXPECT_EQ(loaded.TempPaths(), model_.TempPaths());
    EXPECT_EQ(otherStore.Pages[0].Entries->Count(), 0) << "the records belong to the model";

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
        model_.Receive(target, batch);
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
    for (int row = 0; row < model_.EntryCount(1); ++row)
        levels.push_back(model_.Entry(1, row).Level);
    EXPECT_EQ(levels, std::vector<int>({0, 1, 1, 2}));
    EXPECT_EQ(Numbers(), std::vector<int>({0, 1, 0, 2}));

    drop(DropJob::Target::List, PlaylistModel::ListPage);
    drop(DropJob::Target::List, PlaylistModel::ListPage);
    EXPECT_EQ(model_.TempCount(), 3) << "every music file once, the small one too";
}

// A view that keeps its own copy of the rows from what it is told alone: after any
// edit it must hold what the model holds, or the window's trees would show stale rows
// (or rows whose records are gone).
class MirrorView : public IPlaylistView {
public:
    explicit MirrorView(const PlaylistModel& model) : model_(model) {}
    void EntriesInserted(int pageNo, int first, int count) override
    {
        QStringList& rows = rows_[pageNo];
        ASSERT_LE(first, rows.size());
        for (int row = first; row < first + count; ++row)
            rows.insert(row, textOf(pageNo, row));
    }
    void EntriesRemoving(int pageNo, int first, int count) override
    {
        QStringList& rows = rows_[pageNo];
        ASSERT_LE(first + count, rows.size());
        for (int row = first; row < first + count; ++row)
            EXPECT_EQ(rows[row], textOf(pageNo, row)) << "the rows going are still the model's";
        rows.remove(first, count);
    }
    void EntriesChanged(int) override { ++changes; }
    void SelectionChanged(int) override { ++selections; }

    QStringList Rows(int pageNo) const { return rows_.value(pageNo); }
    QStringList ModelRows(int pageNo) const
    {
        QStringList rows;
        const int count = pageNo == PlaylistModel::ListPage ? model_.TempCount() : model_.EntryCount(pageNo);
        for (int row = 0; row < count; ++row)
            rows.append(textOf(pageNo, row));
        return rows;
    }
    int changes = 0;
    int selections = 0;

private:
    QString textOf(int pageNo, int row) const
    {
        return pageNo == PlaylistModel::ListPage ? model_.TempPath(row) : EntryPath(model_.Entry(pageNo, row));
    }
    const PlaylistModel& model_;
    QHash<int, QStringList> rows_;
};

TEST_F(PlaylistModelTest, AViewToldOfEachChangeShowsWhatTheModelHolds)
{
    MirrorView view(model_);
    model_.SetView(&view);
    Fill(QStringLiteral("HABCDEFG"));
    FillList(6);
    const auto same = [&] {
        EXPECT_EQ(view.Rows(1), view.ModelRows(1));
        EXPECT_EQ(view.Rows(PlaylistModel::ListPage), view.ModelRows(PlaylistModel::ListPage));
    };
    same();

    for (int row : {1, 2, 4, 7})
        model_.SetSelected(1, row, true);
    model_.MoveSelected(1, 3);  // runs before and after the target
    same();
    model_.MoveSelected(1, -1);
    same();
    const int selections = view.selections;
    model_.DeleteSelected(1);
    same();
    EXPECT_EQ(model_.EntryCount(1), 4);

    for (int row : {0, 1, 3, 5})
        model_.SetTempSelected(row, true);
    model_.MoveSelectedTemp(2);  // the target among the moved
    same();
    for (int row : {0, 4})
        model_.SetTempSelected(row, true);
    model_.DeleteSelectedTemp();
    same();

    EXPECT_FALSE(model_.CurrentSong().isEmpty());
    EXPECT_GT(view.selections, selections) << "a song chosen is shown as the selection";
    EXPECT_GT(view.changes, 0) << "renumbered rows are repainted";
    model_.SetView(nullptr);
}

} // namespace
