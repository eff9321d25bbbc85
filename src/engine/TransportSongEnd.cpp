// The transport's side of a song's end: when the next song is queued behind this one,
// what drops the queue, and the moment the end is heard.

#include "Transport.h"

#include <algorithm>
#include <cstdint>

namespace {

// The next song is opened this long before this one's end is heard: time enough for a
// slow open and its first decoding. Not sooner: an open song holds its decoder and ring.
constexpr qint64 kQueueAheadMs = 10000;

} // namespace

void Transport::WatchForEnd()
{
    m_endTimer.stop();
    if (m_state != TransportState::Playing || !m_ogg.m_IsOpen() || m_opening)
        return;
    // The next song goes behind this one in its last seconds. Till then the output is
    // told to wait at this one's end rather than close it: a length that overstates the
    // sound, found out when the decoder reaches the end, still gets its follower (the
    // output mixes up to a second ahead of what is heard).
    FSOUND_STREAM* const stream = m_ogg.m_hStream.load();
    const int left = fsound::StreamMsUntilPlayedOut(stream);
    const qint64 toHear = m_lengthMs - PositionMs();
    if (left < 0 && m_songs && !m_queueTried && !m_ogg.m_HasQueued() && m_lengthMs > 0 && toHear > kQueueAheadMs) {
        fsound::StreamAwaitFollower(stream, true);
        m_endTimer.start(static_cast<int>(std::min<qint64>(toHear - kQueueAheadMs, INT32_MAX)));
        return;
    }
    QueueNext();
    if (left < 0)
        return;  // not all decoded yet: the engine says when it is
    UpdateLength();
    if (left == 0 || m_ogg.m_IsEnd()) {
        SongEnded();
        return;
    }
    m_endTimer.start(left);
}

void Transport::QueueNext()
{
    if (!m_songs)
        fsound::StreamAwaitFollower(m_ogg.m_hStream.load(), false);
    if (m_queueTried || !m_songs || m_ogg.m_HasQueued())
        return;
    m_queueTried = true;
    const QString next = m_songs->PeekNextSong();
    if (next.isEmpty() || !m_ogg.m_QueueOGG(next, {m_ogg.m_strFileName, m_songs->PeekSongAfterNext()}))
        fsound::StreamAwaitFollower(m_ogg.m_hStream.load(), false);
    // A next song that does not open is left to the end of this one, which tries it as
    // before and stops.
}

void Transport::DropQueue(bool keepHeard)
{
    m_queueTried = false;
    if (m_ogg.m_HasQueued())
        m_ogg.m_DropQueued(keepHeard);
}

void Transport::SongListChanged()
{
    if (!m_queueTried || m_state != TransportState::Playing || !m_songs)
        return;
    if (m_songs->PeekNextSong() == m_ogg.m_QueuedFileName())
        return;
    DropQueue(true);
    WatchForEnd();
}

void Transport::SongEnded()
{
    if (m_ogg.m_HasQueued()) {
        // The queued song is the one heard now: the song source's choice moves to it.
        const QString next = m_songs ? m_songs->NextSong() : QString();
        m_queueTried = false;
        if (next != m_ogg.m_QueuedFileName()) {
            m_ogg.m_DropQueued(false);
            if (next.isEmpty())
                Stop();
            else
                PlayOrPassOver(next);
            return;
        }
        const QString ended = m_ogg.m_strFileName;
        const qint64 endedAtMs = PositionMs();
        m_ogg.m_TakeQueued();
        m_startMs = 0;
        if (fsound::StreamOpening(m_ogg.m_hStream.load())) {
            // Its file is still being opened: the song that ended stays shown until it is.
            m_opening = true;
            m_shownPath = ended;
            m_shownPositionMs = endedAtMs;
            m_passingOver = true;
            m_passTried = 0;
            m_passBound = m_songs ? m_songs->SongCount() : 0;
            m_passBackwards = false;
            return;
        }
        const QString taken = m_ogg.m_strFileName;
        if (DropFailedOpen(ended, m_failure)) {
            // It failed while queued, and the news of it is not taken yet.
            OpenFailed(m_failure);
            m_passTried = 0;
            m_passBound = m_songs ? m_songs->SongCount() : 0;
            m_passBackwards = false;
            TryToPlay(PassOver(taken, m_failure), 0);
            return;
        }
        m_lengthMs = m_ogg.m_GetLengthMs();
        m_ogg.m_GetStreamInfo(m_kbps, m_khz);
        ++m_songNumber;
        emit SongChanged();
        WatchForEnd();
        return;
    }

    // Nothing after it, or a next file that does not open: stopped, as after Stop, with
    // the length of the song that ended still shown.
    const QString next = m_songs ? m_songs->NextSong() : QString();
    if (next.isEmpty())
        Stop();
    else
        PlayOrPassOver(next);
}
