// The pages and the temporary list as they are drawn, against pictures made once and
// looked at: folder headings at their levels, numbered files, a selection of several
// rows, the row the keyboard is on, the list's header, and the entry that plays.
// Offscreen, at 100 %, in a window of a fixed size.

#include "Cmain.h"
#include "G.h"
#include "PlaylistGuiSupport.h"

#include "Dxbuttons.h"
#include "Playlist.h"
#include "support/MixerDouble.h"
#include "support/PixelReference.h"

#include <QTabWidget>
#include <QTest>

namespace {

const QString kReferences = QStringLiteral(SORVEL_PLAYLIST_REFERENCES);

class PlaylistLook : public ScratchFolderTest {
protected:
    void SetUp() override
    {
        ScratchFolderTest::SetUp();
        EnsureQtApplication();
        m_settings.PlayListW = 360;
        m_settings.PlayListH = 260;
        m_form = std::make_unique<TFormPlayList>(m_model, m_settings, m_app);
        m_form->show();
        m_form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_form.get()));
    }
    void TearDown() override
    {
        m_form.reset();
        ScratchFolderTest::TearDown();
    }

    // Headings at levels 0 and 1, files at levels 0 to 2, a name too long for the page.
    void FillPage(int page)
    {
        const struct {
            const char* path;
            bool folder;
            int level;
        } entries[] = {
            {"/m/앨범 하나", true, 0},
            {"/m/앨범 하나/01 바다.mp3", false, 1},
            {"/m/앨범 하나/CD 2", true, 1},
            {"/m/앨범 하나/CD 2/02 Second song.ogg", false, 2},
            {"/m/앨범 하나/CD 2/03 third.flac", false, 2},
            {"/m/앨범 하나/04 a song whose name is far too long for the page to show it whole.mp3", false, 1},
            {"/m/loose.wav", false, 0},
        };
        for (const auto& entry : entries)
            m_form->Pages->AddPageEntry(m_form->TreeView(page), QString::fromUtf8(entry.path), entry.folder,
                                        entry.level);
        m_form->Pages->RenumberPage(m_form->TreeView(page));
    }
    void FillList()
    {
        for (const char* path : {"/m/앨범 하나/01 바다.mp3", "/m/앨범 하나/CD 2/02 Second song.ogg", "/m/loose.wav",
                                 "/home/user/음악/a folder with a long name/and a song in it.opus", "/m/x.m4a"})
            m_form->Pages->AddTempItem(QString::fromUtf8(path));
    }

    // --- what reaches the widgets ---

    // The entry at `row` plays, as after a double-click on it.
    void Play(TFileDropTree* view, int row)
    {
        view->setCurrentIndex(view->EntryIndex(row));
        m_model.PlayEntry(view->PageNo(), row);
    }
    // The user adds `rows` to the selection (Ctrl+click) and leaves the keyboard on `focus`.
    void Select(TFileDropTree* view, std::initializer_list<int> rows, int focus)
    {
        for (int row : rows)
            view->selectionModel()->select(view->EntryIndex(row), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view->selectionModel()->setCurrentIndex(view->EntryIndex(focus), QItemSelectionModel::NoUpdate);
    }
    QImage Shot(QWidget* view, bool focused)
    {
        if (focused)
            view->setFocus(Qt::TabFocusReason);
        else
            m_form->dxButton2->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        return view->grab().toImage();
    }

    MixerState m_mixer;
    UseMixerDouble m_useMixer{m_mixer};
    G_STRUCT_tag m_settings;
    CMain m_app;
    PlaylistModel m_model{m_app.FileProblems};
    std::unique_ptr<TFormPlayList> m_form;
};

TEST_F(PlaylistLook, EveryPageMatchesItsReference)
{
    for (int page = 1; page <= 5; ++page) {
        FillPage(page);
        m_form->PageControl1->setCurrentIndex(page - 1);
        TDropTreeView* tree = m_form->TreeView(page);
        Play(tree, 3);
        Select(tree, {5, 6}, 5);
        EXPECT_TRUE(MatchesReference(Shot(tree, true), kReferences, QStringLiteral("page%1").arg(page)));
    }
}

TEST_F(PlaylistLook, TheListMatchesItsReferenceWithAndWithoutTheFocus)
{
    FillList();
    m_form->PageControl1->setCurrentIndex(5);
    TDropListView* list = m_form->ListView1;
    Play(list, 1);
    Select(list, {3, 4}, 3);
    EXPECT_TRUE(MatchesReference(Shot(list, true), kReferences, QStringLiteral("list-focused")));
    EXPECT_TRUE(MatchesReference(Shot(list, false), kReferences, QStringLiteral("list")));
}

} // namespace
