// Songs handed to the program (its command line, a second start): they join the
// temporary list as a drop on it would add them, and the first of them plays.

#include "Cmain.h"
#include "G.h"
#include "PlaylistGuiSupport.h"

#include "Playlist.h"
#include "support/MixerDouble.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTabWidget>

namespace {

class OpenPaths : public ScratchFolderTest {
protected:
    void SetUp() override
    {
        ScratchFolderTest::SetUp();
        EnsureQtApplication();
        QObject::connect(&m_model, &PlaylistModel::PlayRequested, [this](const QString& path) { m_played << path; });
    }
    void TearDown() override
    {
        m_form.reset();
        ScratchFolderTest::TearDown();
    }
    TFormPlayList& Open()
    {
        m_form = std::make_unique<TFormPlayList>(m_model, m_settings, m_app);
        return *m_form;
    }
    // Handed paths are walked on the drop walker; the test waits until they are listed.
    void Hand(const QStringList& paths, bool play)
    {
        m_form->OpenPaths(paths, play);
        ASSERT_TRUE(m_form->Pages->FinishDrops());
    }
    QString Make(const QString& name)
    {
        const QString path = Path(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        return path;
    }

    MixerState m_mixer;
    UseMixerDouble m_useMixer{m_mixer};
    G_STRUCT_tag m_settings;
    CMain m_app;
    PlaylistModel m_model{m_app.FileProblems};
    std::unique_ptr<TFormPlayList> m_form;
    QStringList m_played;
};

TEST_F(OpenPaths, FilesAndFoldersJoinTheListAsADropWouldAndTheFirstPlays)
{
    const QString a = Make("music/a.mp3");
    const QString b = Make("music/sub/b.ogg");
    Make("music/notes.txt");
    const QString c = Make("c.wav");
    const QString text = Make("readme.txt");
    TFormPlayList& form = Open();
    form.Pages->AddTempItem(QStringLiteral("/old/z.mp3"));
    SelectRows(form.ListView1, {0});

    Hand({text, Path("music"), c, a}, true);

    EXPECT_EQ(form.ListView1->Captions(), (QStringList{"/old/z.mp3", a, b, c}));
    EXPECT_EQ(m_played, QStringList{a});  // the first entry the paths led to, from its start
    EXPECT_EQ(form.Model().CurPage(), PlaylistModel::ListPage);
    EXPECT_EQ(SelectedRows(form.ListView1), std::vector<int>{1});
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.PageControl1->currentIndex(), 5);
    EXPECT_TRUE(form.ListView1->isVisible());
    EXPECT_TRUE(ReadBytes("Temprary.txt").contains("c.wav"));
}

// Second starts coming all at once: every song is added once, in the order they came,
// and only the last one's plays.
TEST_F(OpenPaths, OfManyHandOversAtOnceOnlyTheLastOnesSongPlays)
{
    const QString a = Make("a.mp3");
    const QString b = Make("b.mp3");
    const QString c = Make("c.mp3");
    TFormPlayList& form = Open();
    form.OpenPaths({a}, true);
    form.OpenPaths({b, a}, true);
    form.OpenPaths({c}, true);
    ASSERT_TRUE(form.Pages->FinishDrops());
    EXPECT_EQ(form.ListView1->Captions(), (QStringList{a, b, c}));
    EXPECT_EQ(m_played, QStringList{c});
}

// The program's own command line plays its song as soon as the walk meets it; a second
// start's song waits a moment for others coming at once.
TEST_F(OpenPaths, TheProgramsOwnSongPlaysAsSoonAsListedAHandedOneAfterAMoment)
{
    const QString a = Make("a.mp3");
    const QString b = Make("b.mp3");
    TFormPlayList& form = Open();
    QElapsedTimer sinceListed;
    QObject::connect(&m_model, &QAbstractItemModel::rowsInserted, [&] { sinceListed.start(); });
    qint64 waited = -1;
    QObject::connect(&m_model, &PlaylistModel::PlayRequested, [&] { waited = sinceListed.elapsed(); });

    form.OpenPaths({a}, true, true);
    ASSERT_TRUE(form.Pages->FinishDrops());
    EXPECT_EQ(m_played, QStringList{a});
    EXPECT_LT(waited, PlaylistPages::kPlayDelayMs / 2);

    form.OpenPaths({b}, true);
    ASSERT_TRUE(form.Pages->FinishDrops());
    EXPECT_EQ(m_played, (QStringList{a, b}));
    EXPECT_GE(waited, PlaylistPages::kPlayDelayMs * 9 / 10);  // a coarse timer may fire 5 % early
}

// A list that could not be written last time is offered back once the windows show.
TEST_F(OpenPaths, AListKeptLastTimeIsOfferedBackAndAddedOnYes)
{
    const QByteArray savedState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", QFile::encodeName(Path("state")));
    QDir().mkpath(Path("state/sorvel"));
    WriteBytes("state/sorvel/Temprary.txt", "/k/a.mp3\r\n/k/b.mp3\r\n");
    WriteBytes("Temprary.txt", "/k/b.mp3\r\n");
    QStringList questions;
    SetMessageBoxHandler([&](const QString&, const QString& text, int flags) {
        questions << text;
        return (flags & 0x0F) == MB_YESNO ? IDYES : IDOK;
    });
    TFormPlayList& form = Open();
    form.OfferKeptList();
    EXPECT_EQ(questions, QStringList{QStringLiteral("지난번에 저장하지 못한 임시 목록이 있습니다. 다시 넣을까요?")});
    EXPECT_EQ(form.ListView1->Captions(), (QStringList{"/k/b.mp3", "/k/a.mp3"}));
    EXPECT_FALSE(QFile::exists(Path("state/sorvel/Temprary.txt")));
    EXPECT_EQ(ReadBytes("Temprary.txt"), "/k/b.mp3\r\n/k/a.mp3\r\n");
    form.OfferKeptList();
    EXPECT_EQ(questions.size(), 1);
    qputenv("XDG_STATE_HOME", savedState);
}

TEST_F(OpenPaths, ASongAlreadyListedPlaysWithoutASecondEntry)
{
    const QString a = Make("music/a.mp3");
    const QString b = Make("music/b.mp3");
    TFormPlayList& form = Open();
    Hand({a, b}, false);
    ASSERT_TRUE(m_played.isEmpty());

    Hand({b}, true);
    Hand({Path("music")}, true);  // a folder whose songs are all listed
    EXPECT_EQ(form.ListView1->Captions(), (QStringList{a, b}));
    EXPECT_EQ(m_played, (QStringList{b, a}));
}

TEST_F(OpenPaths, WithoutMusicNothingIsAddedAndNothingPlays)
{
    const QString text = Make("notes.txt");
    TFormPlayList& form = Open();
    Hand({text, Path("empty-folder-that-is-not-there"), QString()}, true);
    EXPECT_EQ(form.ListView1->EntryCount(), 0);
    EXPECT_TRUE(m_played.isEmpty());
    EXPECT_EQ(form.PageControl1->currentIndex(), 0);
}

TEST_F(OpenPaths, LaterBlocksOfASecondStartAreOnlyAdded)
{
    const QString a = Make("a.mp3");
    const QString b = Make("b.mp3");
    TFormPlayList& form = Open();
    Hand({a}, true);
    Hand({b}, false);
    EXPECT_EQ(m_played, QStringList{a});
    EXPECT_EQ(form.ListView1->Captions(), (QStringList{a, b}));
    EXPECT_EQ(SelectedRows(form.ListView1), std::vector<int>{0});
}

// A name with a line break has no place in "Temprary.txt": it is refused with a message
// naming it, not dropped without a word; the other paths of the hand-over go on.
TEST_F(OpenPaths, ANameWithALineBreakIsRefusedWithAMessage)
{
    const QString broken = Make(QStringLiteral("two\nlines.mp3"));
    const QString fine = Make(QStringLiteral("fine.mp3"));
    TFormPlayList& form = Open();
    Hand({broken, fine}, true);
    EXPECT_EQ(form.ListView1->Captions(), QStringList{fine});
    EXPECT_EQ(m_played, QStringList{fine});
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].Caption, QStringLiteral("경고"));
    EXPECT_TRUE(m_boxes[0].Text.contains(QStringLiteral("two\u240Alines.mp3"))) << m_boxes[0].Text.toStdString();
}

} // namespace
