#pragma once
// What the desktop's media controls (MPRIS) see of the player and may ask of it. The
// program implements it over the transport, and tells the media controls of every change
// (MprisService::Refresh, TellSeeked); tests use a double. Window thread only.

#include "Transport.h"  // TransportState

#include <QString>
#include <QStringList>

// Text tags of a music file; empty where the file has none.
struct TrackTags {
    QString title;
    QString artist;
    QString album;
};

class IMediaControl {
public:
    virtual ~IMediaControl() = default;

    // --- what the player shows ---
    virtual TransportState Status() const = 0;
    // The song that is playing, paused or was played last; empty before the first one.
    virtual QString TrackPath() const = 0;
    // A new number each time a song starts (the same file again too); 0 before the first.
    virtual quint64 SongNumber() const = 0;
    // Position in the song, and its length; 0 when unknown.
    virtual qint64 PositionMs() const = 0;
    virtual qint64 LengthMs() const = 0;
    // True when a seek would move the song (a stream is open).
    virtual bool CanSeek() const = 0;
    // The volume knob, 0 (left end) to 1 (right end).
    virtual double Volume() const = 0;
    // The tags of a file (read from the file; may take a few milliseconds).
    virtual TrackTags Tags(const QString& path) const = 0;

    // --- what may be asked, each as the transport does it for the strip's own controls ---
    virtual void PlayPause() = 0;   // the play/pause button
    virtual void Play() = 0;        // the play/pause button, unless playing
    virtual void Pause() = 0;       // the play/pause button, only while playing
    virtual void Stop() = 0;        // the stop button
    virtual void Next() = 0;        // the next-song button
    virtual void Previous() = 0;    // back to the song's start, or to the song before
    // Previous would do something.
    virtual bool CanGoPrevious() const = 0;
    virtual void SeekTo(qint64 ms) = 0;      // the seek knob
    virtual void SetVolume(double volume) = 0; // the volume knob, clamped to 0..1
    // Absolute paths for the temporary list; `play` plays the first entry they lead to.
    virtual void OpenPaths(const QStringList& paths, bool play) = 0;
    virtual void Raise() = 0;       // bring the player back from the tray and forward
    virtual void Quit() = 0;        // close as closing the player window does
};
