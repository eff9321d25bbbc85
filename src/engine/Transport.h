#pragma once
// The one transport of the program: what plays, in which state, and where it is as it
// is heard. The strip's buttons and knobs, the playlist's play requests and the desktop's
// media controls all call it; the windows and the media controls draw what it reports and
// are told of every change through its signals, so nothing needs to ask it on a timer.
// It owns the state and the song; the stream player it is given does the work, and
// nothing here runs while nothing plays or while a song is paused. Window thread only.

#include "Ogg.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QSocketNotifier;

// What the player is doing. Stopped: nothing open and nothing to resume. Playing: a
// stream is open and heard (also once it has played out, until the next song starts).
// Paused: the stream is open and held where it was heard last, to go on from there.
enum class TransportState { Stopped, Playing, Paused };

// Where the songs come from: the playlist. CurrentSong and NextSong may move its current
// entry; PeekNextSong never does.
class ISongSource {
public:
    virtual ~ISongSource() = default;
    // Full path of the current entry, which becomes current and highlighted; empty when
    // there is none.
    virtual QString CurrentSong() = 0;
    // Full path of the entry after the current one, which becomes current; empty when
    // there is none.
    virtual QString NextSong() = 0;
    // The path NextSong would give now, with nothing moved or highlighted; empty when
    // there is none. A source that cannot tell gives empty: its songs then follow each
    // other with a short gap.
    virtual QString PeekNextSong() { return {}; }
    // Full path of the file entry before the current one (headings passed over; from the
    // first it goes to the last), which becomes current; empty when there is none.
    virtual QString PreviousSong() { return {}; }
    // What PreviousSong would give now, with nothing moved.
    virtual QString PeekPreviousSong() { return {}; }
    // The path NextSong would give after the one it gives now, with nothing moved; empty
    // when there is none or the source cannot tell.
    virtual QString PeekSongAfterNext() { return {}; }
    // How many entries NextSong (or PreviousSong) can go through before it comes round
    // to where it began: a bound for passing over songs that cannot play. 0 when the
    // source cannot tell: a song that cannot play is then not passed over.
    virtual int SongCount() const { return 0; }
};

class Transport : public QObject {
    Q_OBJECT
public:
    // `player` does the work; it must outlive the transport.
    explicit Transport(COgg& player, QObject* parent = nullptr);
    ~Transport() override;

    // The playlist; may be null (then nothing can be played but a file by its path).
    void SetSongSource(ISongSource* songs) { m_songs = songs; }

    // --- what may be asked ---

    // The play/pause button: pauses a song that is heard, resumes a paused one, and
    // otherwise plays the current song (from where the seek knob was put while stopped).
    // With no current song the notice says how to add one.
    void PlayPause();
    // As PlayPause, but never pauses.
    void Play();
    // Pauses a song that is heard; nothing otherwise.
    void Pause();
    // The playlist's play request, which carries the entry the playlist made current:
    // `path` from its beginning as the current song, whatever the state. Empty (the
    // playlist had no song there): the same notice as PlayPause with nothing to play.
    void PlayPath(const QString& path);
    // Opens a file and plays it from `startMs`. False when it cannot be opened; what
    // played before has stopped then, as the stream player closes it first.
    bool PlayFile(const QString& path, qint64 startMs = 0);
    // As PlayFile, but a song that cannot be opened is passed over: SongSkipped tells of
    // it, and the song source's next entry (the previous one, `backwards`) is tried, each
    // from its start, until one plays or every entry has been tried once; then the
    // player stops and one box says that nothing could be played.
    void PlayOrPassOver(const QString& path, qint64 startMs = 0, bool backwards = false);
    // Carries on where the listener left off: `path` is opened and held paused at `ms`
    // (the song, its length and the position are reported as for a paused song), with no
    // sound stream open until play goes on from there. False, with the player stopped,
    // when the file cannot be opened.
    bool Cue(const QString& path, qint64 ms);
    void Stop();
    // The next song of the playlist; nothing changes when it has none.
    void Next();
    // Back: the song goes to its start when more than RestartAfterMs of it have been
    // heard; otherwise the playlist's previous song plays from its start.
    void Previous();
    static constexpr qint64 RestartAfterMs = 3000;
    // Playing: the song goes there. Paused or stopped: the place the song goes on from
    // (or starts from) moves there, and the position reports it.
    void SeekTo(qint64 ms);
    // The player's own volume, 0 to 1 (the volume knob's travel).
    void SetVolume(double volume);
    // ReplayGain on or off (on at first): the song heard changes from the next buffer.
    // Album gain is used for a song when the song before or after it in the song
    // source's order is of the same album.
    void SetReplayGain(bool on);
    bool ReplayGain() const { return m_ogg.m_ReplayGain(); }
    // The song source's list changed: the song queued to follow is chosen again.
    void SongListChanged();

    // --- what it reports ---

    TransportState State() const { return m_state; }
    // The song that plays, is paused, or played last; empty before the first one. The
    // stream player keeps it, as it reopens that file to go on after a pause.
    // While a slow file is still being opened, the song before it (its texts stay).
    QString SongPath() const { return m_opening ? m_shownPath : m_ogg.m_strFileName; }
    // Counts the songs started: a new number at every SongChanged, 0 before the first.
    quint64 SongNumber() const { return m_songNumber; }
    // Where the song is as it is heard: playing, the sound server's delay taken into
    // account; paused, where it was held; stopped, where the next play would start.
    qint64 PositionMs() const;
    // The song's length (the last song's after a stop); corrected once all of it has
    // been decoded, when the file said otherwise.
    qint64 LengthMs() const { return m_lengthMs; }
    bool CanSeek() const { return m_state != TransportState::Stopped && m_lengthMs > 0; }
    // Previous would do something: a song is playing or paused, or the playlist has a
    // song before its current one.
    bool CanGoPrevious() const;
    double Volume() const { return m_volume; }
    // The volume as the stream player takes it, 0 to 255.
    int VolumeLevel() const;
    // The song's tag record as the stream player keeps it.
    strOggTagInfo TagInfo() const { return m_ogg.m_GetTagInfo(); }
    // Bit rate and sample rate of the song as the strip shows them, read when it started.
    int Kbps() const { return m_kbps; }
    int Khz() const { return m_khz; }
    // "mm:ss-mm:ss": the position and the length.
    QString TimeText() const;
    // False while the sound server is gone; the song waits where it was heard last and
    // goes on by itself when a server answers again.
    bool OutputConnected() const { return m_outputConnected; }

signals:
    // State() changed.
    void StateChanged();
    // A song started (or started again): path, length, rates and position are new.
    void SongChanged();
    // The position jumped to `ms` without the song changing: a seek.
    void Seeked(qint64 ms);
    // LengthMs() changed while the song played.
    void LengthChanged();
    // A song that cannot be played was passed over (stderr has said why).
    void SongSkipped(const QString& path);
    void VolumeChanged();
    // The sound server said one of its sinks changed (its volume set elsewhere, say):
    // the system's master volume may be another now.
    void SinkChanged();
    // Kbps() and Khz() changed: a song held by Cue began to be heard.
    void StreamInfoChanged();

private:
    // The strip's notice for a press of play with nothing to play.
    static void ShowNoSongNotice();
    void SetState(TransportState state);
    // The engine has news: a song decoded to its end, or the output lost or back.
    void TakeEngineNews();
    // Schedules the moment the song's last sample is heard; then the next one plays.
    void WatchForEnd();
    void SongEnded();
    // While the song plays out, the next one is opened and queued behind it, so that it
    // follows without a gap; the song source's choice moves only when it is heard.
    void QueueNext();
    void DropQueue(bool keepHeard);
    void Resume();
    void UpdateLength();
    // The song's file is open: its length and rates are read and it is told.
    void SongOpened();
    // The file a cue holds is open: it stands at `seekMs` (when not negative), paused.
    void CueOpened(qint64 seekMs);
    // The engine finished opening a file that took long: the song is told, or, when it
    // could not be opened after all, handled as a file that does not open.
    void TakeSlowOpen();
    // The songs before and after the song source's current entry.
    SongNeighbours Neighbours() const;
    // The song's stream is one whose open failed (the engine may know before its news is
    // taken): it is closed, `shown` is the song shown again, and `why` says why.
    bool DropFailedOpen(const QString& shown, fsound::OpenError& why);
    // What a file that does not open leads to: stopped, and a missing decoder said.
    void OpenFailed(const fsound::OpenError& why);
    // PlayOrPassOver from `candidate` on, with the round it belongs to kept in m_pass*.
    void TryToPlay(QString candidate, qint64 startMs);
    // Tells that `path` was passed over; the song to try next, or empty once the round
    // has tried every entry (then one box says so).
    QString PassOver(const QString& path, const fsound::OpenError& why);
    // The engine's news reach TakeEngineNews from the first song on.
    void ListenForNews();

    COgg& m_ogg;
    ISongSource* m_songs = nullptr;
    TransportState m_state = TransportState::Stopped;
    quint64 m_songNumber = 0;
    qint64 m_lengthMs = 0;
    qint64 m_startMs = 0;       // stopped: where play starts
    int m_kbps = 0;
    int m_khz = 0;
    double m_volume = 0.0;
    bool m_outputConnected = true;
    unsigned m_sinkChanges = 0;
    bool m_waitingForOutput = false;  // the song goes on once the sound server is back
    bool m_queueTried = false;  // the song source was asked for this song's follower
    // A file that takes long to open (a slow disk, a damaged file FFmpeg probes at
    // length) is opened off this thread: meanwhile the state asked for shows, and the
    // song, position and length before it stay.
    bool m_opening = false;
    bool m_passingOver = false;  // the file being opened was reached by passing over
    int m_passTried = 0;         // of the round of passing over: songs tried so far,
    int m_passBound = 0;         // how many there are,
    bool m_passBackwards = false;  // and which way it goes
    QString m_shownPath;
    fsound::OpenError m_failure;  // why the last file tried did not open
    qint64 m_shownPositionMs = 0;
    bool m_cued = false;        // paused by Cue: the stream has never been played
    QTimer m_endTimer;
    std::unique_ptr<QSocketNotifier> m_news;
};
