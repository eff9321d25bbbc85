// Songs handed to the program from outside the window: its command line, or a second
// start's. They reach the temporary list by the rules of a drop on it.

#include "Cmain.h"
#include "Playlist.h"

#include <QFileInfo>
#include <QTabWidget>

namespace {

QTreeWidgetItem* itemWithLoweredCaption(const QTreeWidget* list, const QString& lowered)
{
    const int count = list->topLevelItemCount();
    for (int i = 0; i < count; ++i)
        if (list->topLevelItem(i)->text(0).toLower() == lowered)
            return list->topLevelItem(i);
    return nullptr;
}

} // namespace

QTreeWidgetItem* CPlaylist::ExistingTempEntry(const QString& path)
{
    if (!QFileInfo(path).isDir())
        return IsMusicFile(path) ? itemWithLoweredCaption(list_, path.toLower()) : nullptr;
    SvStringList files;
    CFolderWalk(*lister_).CollectFiles(*files, path);
    for (int i = 0; i < files->Count(); ++i)
        if (IsMusicFile(files->Strings(i)))
            if (QTreeWidgetItem* item = itemWithLoweredCaption(list_, files->Strings(i).toLower()))
                return item;
    return nullptr;
}

QTreeWidgetItem* CPlaylist::AddHandedPaths(const QStringList& paths)
{
    QTreeWidgetItem* first = nullptr;
    {
        UpdateGuard update(list_);
        for (const QString& path : paths) {
            if (path.isEmpty())
                continue;
            const int before = list_->topLevelItemCount();
            AddTempPath(path);
            if (first)
                continue;
            // The first entry the paths lead to: new, or already on the list (a song
            // opened twice plays all the same).
            first = list_->topLevelItemCount() > before ? list_->topLevelItem(before) : ExistingTempEntry(path);
        }
    }
    return first;
}

void TFormPlayList::OpenPaths(const QStringList& paths, bool play)
{
    QTreeWidgetItem* first = Pages->AddHandedPaths(paths);
    if (play && first)
        PlayHandedEntry(first);
    // Written after the song started: the wait for the disk is not heard.
    Pages->SaveTempList();
}

void TFormPlayList::PlayHandedEntry(QTreeWidgetItem* first)
{
    // As a double-click on it: the entry alone selected, the list the current page,
    // and its tab shown so the user sees where the songs went.
    PageControl1->setCurrentIndex(PageControl1->count() - 1);
    ListView1->clearSelection();
    ListView1->setCurrentItem(first);
    first->setSelected(true);
    ListView1->scrollToItem(first);
    if (Choice.ChooseFromList())
        App.PlaySong(Choice.CurItem->text(0));
}
