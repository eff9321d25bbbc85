// Songs handed to the program (its command line, a second start): they join the
// temporary list as a drop on it would add them, and the first of them plays.

#include "PlaylistGuiSupport.h"

#include "Cmain.h"
#include "Playlist.h"
#include "support/MixerDouble.h"

#include <QDir>
#include <QTabWidget>

namespace {

class OpenPaths : public ScratchFolderTest {
protected:
    void SetUp() override
    {
        ScratchFolderTest::SetUp();
        EnsureQtApplication();
        Settings = G_STRUCT_tag{};
        App.SetPlayRequest([this] { played_.append(form_->CurrentSong()); });
    }
    void TearDown() override
    {
        form_.reset();
        App.SetPlayRequest({});
        ScratchFolderTest::TearDown();
    }
    TFormPlayList& Open()
    {
        form_ = std::make_unique<TFormPlayList>(store_);
        return *form_;
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

    MixerState mixer_;
    UseMixerDouble useMixer_{mixer_};
    TM_PlayList store_;
    std::unique_ptr<TFormPlayList> form_;
    QStringList played_;
};

TEST_F(OpenPaths, FilesAndFoldersJoinTheListAsADropWouldAndTheFirstPlays)
{
    const QString a = Make("music/a.mp3");
    const QString b = Make("music/sub/b.ogg");
    Make("music/notes.txt");
    const QString c = Make("c.wav");
    const QString text = Make("readme.txt");
    TFormPlayList& form = Open();
    form.ListView1->AppendCaption(QStringLiteral("/old/z.mp3"));
    form.ListView1->topLevelItem(0)->setSelected(true);

    form.OpenPaths({text, Path("music"), c, a}, true);

    EXPECT_EQ(form.ListView1->Captions(), (QStringList{"/old/z.mp3", a, b, c}));
    EXPECT_EQ(played_, QStringList{a});  // the first entry the paths led to, from its start
    EXPECT_EQ(form.Choice.CurPage, SongChoice::ListPage);
    EXPECT_EQ(form.ListView1->selectedItems(), QList<QTreeWidgetItem*>{form.ListView1->topLevelItem(1)});
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.PageControl1->currentIndex(), 5);
    EXPECT_TRUE(form.ListView1->isVisible());
    EXPECT_TRUE(ReadBytes("Temprary.txt").contains("c.wav"));
}

TEST_F(OpenPaths, ASongAlreadyListedPlaysWithoutASecondEntry)
{
    const QString a = Make("music/a.mp3");
    const QString b = Make("music/b.mp3");
    TFormPlayList& form = Open();
    form.OpenPaths({a, b}, false);
    ASSERT_TRUE(played_.isEmpty());

    form.OpenPaths({b.toUpper().replace(Path("").toUpper(), Path(""))}, true);  // another letter case
    form.OpenPaths({Path("music")}, true);  // a folder whose songs are all listed
    EXPECT_EQ(form.ListView1->Captions(), (QStringList{a, b}));
    EXPECT_EQ(played_, (QStringList{b, a}));
}

TEST_F(OpenPaths, WithoutMusicNothingIsAddedAndNothingPlays)
{
    const QString text = Make("notes.txt");
    TFormPlayList& form = Open();
    form.OpenPaths({text, Path("empty-folder-that-is-not-there"), QString()}, true);
    EXPECT_EQ(form.ListView1->topLevelItemCount(), 0);
    EXPECT_TRUE(played_.isEmpty());
    EXPECT_EQ(form.PageControl1->currentIndex(), 0);
}

TEST_F(OpenPaths, LaterBlocksOfASecondStartAreOnlyAdded)
{
    const QString a = Make("a.mp3");
    const QString b = Make("b.mp3");
    TFormPlayList& form = Open();
    form.OpenPaths({a}, true);
    form.OpenPaths({b}, false);
    EXPECT_EQ(played_, QStringList{a});
    EXPECT_EQ(form.ListView1->Captions(), (QStringList{a, b}));
    EXPECT_EQ(form.ListView1->selectedItems(), QList<QTreeWidgetItem*>{form.ListView1->topLevelItem(0)});
}

} // namespace
