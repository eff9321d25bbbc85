// Songs handed to the program from outside the window: its command line, or a second
// start's. They reach the temporary list by the rules of a drop on it.

#include "Playlist.h"

#include <QTabWidget>

void TFormPlayList::OpenPaths(const QStringList& paths, bool play, bool atStart)
{
    // The paths are walked on the drop walker; the first entry they lead to plays as
    // soon as it is met, and "Temprary.txt" is written once all of them are listed.
    Pages->OpenHandedPaths(paths, play, atStart);
}

void TFormPlayList::ShowHandedEntry(int row)
{
    // The list's tab is shown, so the user sees where the songs went.
    PageControl1->setCurrentIndex(PageControl1->count() - 1);
    ListView1->scrollTo(ListView1->EntryIndex(row));
}
