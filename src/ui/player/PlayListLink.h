#pragma once
// What the player window needs from the playlist window. The program implements it over
// the playlist window (`Program::PlayListLink`); tests use a double. Everything is called
// on the window thread.

#include "Transport.h"

#include <QRect>
#include <QString>

class IMoveSizeHook;
class QWidget;

// The songs (CurrentSong, NextSong) are the transport's song source.
class IPlayListLink : public ISongSource {
public:
    // Bracket around several AddTempPath calls on the temporary list.
    virtual void BeginTempUpdate() = 0;
    virtual void EndTempUpdate() = 0;
    // Adds a file or folder to the temporary list.
    virtual void AddTempPath(const QString& path) = 0;
    // Writes the temporary list file.
    virtual void SaveTempList() = 0;
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
    virtual bool IsWindowVisible() const = 0;
    // Frame geometry of the playlist window in screen coordinates.
    virtual QRect WindowGeometry() const = 0;
    // The playlist window itself, for the docking manager; null when there is none.
    virtual QWidget* Window() { return nullptr; }
    // Routes the playlist window's move and size loops (the docking manager's hook).
    virtual void SetMoveHook(IMoveSizeHook* hook) { (void)hook; }
    // Where the current entry stands: 1-5 a page, 6 the temporary list (0 none), and its
    // row there (-1 none).
    virtual int PlayingPage() const { return 0; }
    virtual int PlayingEntry() const { return -1; }
    // Carrying on: the entry at `row` of `page` becomes current without playing, when it
    // still holds `path`; else the first entry that does, on that page or list. False
    // when none does (the song is then heard, but the list goes on from where it was).
    virtual bool CueEntry(int page, int row, const QString& path)
    {
        (void)page, (void)row, (void)path;
        return false;
    }
};
