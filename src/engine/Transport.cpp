#include "Transport.h"

#include "FileName.h"
#include "G.h"

#include <QSocketNotifier>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

namespace {

// "mm:ss" (more minute digits when there are more), by hand: made once a second.
void appendMinSec(QString& text, qint64 ms)
{
    const qint64 seconds = std::max<qint64>(ms, 0) / 1000;
    text += (seconds < 600 ? QStringLiteral("0") : QString()) + QString::number(seconds / 60) + QLatin1Char(':')
            + QLatin1Char(static_cast<char>('0' + seconds % 60 / 10)) + QLatin1Char(static_cast<char>('0' + seconds % 10));
}

// Why a file did not open, in words for stderr.
QString WhyNotPlayable(const QString& path, const fsound::OpenError& why)
{
    struct stat info {};
    if (::stat(FileNameBytes(path).constData(), &info) != 0)
        return QStringLiteral("no such file");
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("not a regular file");
    if (why.kind == fsound::OpenError::MissingLibrary)
        return QStringLiteral("its decoder (%1) could not be loaded").arg(QString::fromStdString(why.library));
    return QStringLiteral("no decoder plays it");
}

} // namespace

Transport::Transport(COgg& player, QObject* parent) : QObject(parent), m_ogg(player)
{
    m_endTimer.setSingleShot(true);
    m_endTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_endTimer, &QTimer::timeout, this, &Transport::WatchForEnd);
}

Transport::~Transport() = default;

void Transport::ShowNoSongNotice()
{
    ShowNotice(QStringLiteral("플레이할 음악 파일이 등록되어 있지 않습니다.\n\n"
                              "탐색기에서 <음악파일리스트>창으로 파일을 끌어다 놓으면 됩니다."),
               MB_ICONEXCLAMATION);
}

void Transport::PlayPause()
{
    if (m_state == TransportState::Playing)
        Pause();
    else
        Play();
}

void Transport::Play()
{
    if (m_state == TransportState::Playing)
        return;
    if (m_state == TransportState::Paused) {
        Resume();
        return;
    }
    const QString current = m_songs ? m_songs->CurrentSong() : QString();
    if (current.isEmpty()) {
        ShowNoSongNotice();
        return;
    }
    PlayOrPassOver(current, m_startMs);
}

void Transport::Pause()
{
    if (m_state != TransportState::Playing)
        return;
    m_waitingForOutput = false;
    m_endTimer.stop();
    DropQueue(true);
    m_ogg.m_ControlOGG(OggPause);
    SetState(TransportState::Paused);
}

void Transport::Resume()
{
    if (!m_outputConnected) {
        // Nothing could be heard: the song goes on once the sound server is back.
        m_waitingForOutput = true;
        return;
    }
    if (m_cued) {
        m_cued = false;
        m_ogg.m_PlayOGG();
        m_ogg.m_SetVolume(VolumeLevel());
        m_ogg.m_GetStreamInfo(m_kbps, m_khz);
        emit StreamInfoChanged();
        SetState(TransportState::Playing);
        WatchForEnd();
        return;
    }
    m_ogg.m_ControlOGG(OggResume);
    if (!m_ogg.m_IsOpen()) {
        // The file could not be opened again (the stream player said so).
        SetState(TransportState::Stopped);
        return;
    }
    SetState(TransportState::Playing);
    WatchForEnd();
}

void Transport::PlayPath(const QString& path)
{
    if (path.isEmpty()) {
        ShowNoSongNotice();
        return;
    }
    PlayOrPassOver(path);
}

void Transport::ListenForNews()
{
    if (!m_news && fsound::NewsDescriptor() >= 0) {
        m_news = std::make_unique<QSocketNotifier>(fsound::NewsDescriptor(), QSocketNotifier::Read);
        connect(m_news.get(), &QSocketNotifier::activated, this, &Transport::TakeEngineNews);
    }
}

bool Transport::Cue(const QString& path, qint64 ms)
{
    ListenForNews();
    m_endTimer.stop();
    m_waitingForOutput = false;
    m_passingOver = false;
    m_cued = false;
    DropQueue(false);
    m_opening = false;
    if (!m_ogg.m_OpenOGG(path, Neighbours())) {
        m_startMs = 0;
        SetState(TransportState::Stopped);
        return false;
    }
    m_startMs = 0;
    m_cued = true;
    if (fsound::StreamOpening(m_ogg.m_hStream.load())) {
        // Held where it stood; the engine seeks there once the file is open.
        ms = std::max<qint64>(ms, 0);
        if (ms > 0)
            m_ogg.m_SetPosition(static_cast<int>(std::min<qint64>(ms, INT32_MAX)));
        m_opening = true;
        m_shownPath = SongPath();
        m_shownPositionMs = ms;
        SetState(TransportState::Paused);
        return true;
    }
    if (DropFailedOpen(QString(), m_failure)) {
        m_cued = false;
        SetState(TransportState::Stopped);
        return false;
    }
    CueOpened(ms);
    return true;
}

void Transport::CueOpened(qint64 seekMs)
{
    m_lengthMs = m_ogg.m_GetLengthMs();
    if (seekMs > 0) {
        seekMs = std::min(seekMs, std::max<qint64>(m_lengthMs, 0));
        m_ogg.m_SetPosition(static_cast<int>(std::min<qint64>(seekMs, INT32_MAX)));
    }
    m_ogg.m_GetStreamInfo(m_kbps, m_khz);
    // Nothing plays yet to ask the rate of: the file's own.
    m_khz = fsound::StreamSampleRate(m_ogg.m_hStream.load()) / 1000;
    m_outputConnected = fsound::OutputConnected();
    m_state = TransportState::Paused;
    ++m_songNumber;
    emit SongChanged();
    emit StateChanged();
}

bool Transport::PlayFile(const QString& path, qint64 startMs)
{
    ListenForNews();
    m_cued = false;
    m_endTimer.stop();
    m_waitingForOutput = false;
    m_passingOver = false;
    DropQueue(false);
    if (!m_opening) {
        m_shownPath = SongPath();
        m_shownPositionMs = PositionMs();
    }
    m_opening = false;
    if (!m_ogg.m_OpenOGG(path, Neighbours())) {
        // The stream player closed what played before it tried.
        m_failure = fsound::LastOpenError();
        OpenFailed(m_failure);
        return false;
    }
    if (startMs > 0)
        m_ogg.m_SetPosition(static_cast<int>(std::min<qint64>(startMs, INT32_MAX)));
    m_ogg.m_PlayOGG();
    m_ogg.m_SetVolume(VolumeLevel());
    m_startMs = 0;
    if (fsound::StreamOpening(m_ogg.m_hStream.load())) {
        // Still being opened: the button shows what was asked for now, the song once
        // the engine's news says it is open.
        m_opening = true;
        m_shownPositionMs = startMs > 0 ? startMs : m_shownPositionMs;
        SetState(TransportState::Playing);
        return true;
    }
    // Done opening, and it may have failed since the engine was asked.
    if (DropFailedOpen(m_shownPath, m_failure)) {
        OpenFailed(m_failure);
        return false;
    }
    m_state = TransportState::Playing;
    SongOpened();
    return true;
}

void Transport::SongOpened()
{
    m_lengthMs = m_ogg.m_GetLengthMs();
    m_ogg.m_RefreshLength();
    m_ogg.m_GetStreamInfo(m_kbps, m_khz);
    m_outputConnected = fsound::OutputConnected();
    if (!m_outputConnected) {
        if (m_state == TransportState::Playing)
            m_ogg.m_ControlOGG(OggPause);
        m_waitingForOutput = true;
        m_state = TransportState::Paused;
    }
    ++m_songNumber;
    emit SongChanged();
    emit StateChanged();
    WatchForEnd();
}

void Transport::OpenFailed(const fsound::OpenError& why)
{
    m_opening = false;
    m_cued = false;
    m_startMs = 0;
    SetState(TransportState::Stopped);
    // A file that is not audio is passed over in silence, as always; a broken
    // installation, where the file's decoder cannot be loaded, is said.
    if (why.kind == fsound::OpenError::MissingLibrary)
        ShowMessageBox(QStringLiteral("오류"),
                       QStringLiteral("이 음악 파일을 재생할 디코더를 불러올 수 없습니다.\n(없는 파일 : %1)")
                           .arg(QString::fromStdString(why.library)),
                       MB_ICONHAND);
}

bool Transport::DropFailedOpen(const QString& shown, fsound::OpenError& why)
{
    if (!fsound::StreamOpenFailed(m_ogg.m_hStream.load(), &why))
        return false;
    m_ogg.m_ControlOGG(OggStop);
    m_ogg.m_strFileName = shown;  // as after an open that fails at once
    return true;
}

void Transport::TakeSlowOpen()
{
    FSOUND_STREAM* stream = m_ogg.m_hStream.load();
    fsound::OpenError why;
    if (m_opening) {
        if (!stream || fsound::StreamOpening(stream))
            return;
        const QString failed = m_ogg.m_strFileName;
        if (DropFailedOpen(m_shownPath, why)) {
            OpenFailed(why);
            if (m_passingOver) {
                m_passingOver = false;
                TryToPlay(PassOver(failed, why), 0);
            }
            return;
        }
        m_opening = false;
        if (m_cued)
            CueOpened(-1);
        else
            SongOpened();
        return;
    }
    // The song queued to follow could not be opened after all: this one ends as if
    // nothing followed, and the end tries the next song again as it does any.
    if (m_ogg.m_HasQueued() && fsound::StreamOpenFailed(m_ogg.m_hNext, nullptr)) {
        m_ogg.m_DropQueued(true);
        fsound::StreamAwaitFollower(stream, false);
    }
    // A file opened again to go on after a pause that no longer opens: nothing to hear.
    if (stream && fsound::StreamOpenFailed(stream, &why)) {
        m_ogg.m_ControlOGG(OggStop);
        OpenFailed(why);
    }
}

void Transport::Stop()
{
    m_opening = false;
    m_passingOver = false;
    m_endTimer.stop();
    DropQueue(false);
    m_waitingForOutput = false;
    m_cued = false;
    m_startMs = 0;
    m_ogg.m_ControlOGG(OggStop);
    const bool changed = m_state != TransportState::Stopped;
    m_state = TransportState::Stopped;
    if (changed)
        emit StateChanged();
    else
        emit Seeked(0);  // a knob put somewhere while stopped goes back to the start
}

void Transport::Next()
{
    const QString next = m_songs ? m_songs->NextSong() : QString();
    if (!next.isEmpty())
        PlayOrPassOver(next);
}

void Transport::Previous()
{
    if (m_state != TransportState::Stopped && PositionMs() > RestartAfterMs) {
        SeekTo(0);
        return;
    }
    const QString previous = m_songs ? m_songs->PreviousSong() : QString();
    if (!previous.isEmpty())
        PlayOrPassOver(previous, 0, true);
}

void Transport::PlayOrPassOver(const QString& path, qint64 startMs, bool backwards)
{
    m_passTried = 0;
    m_passBound = m_songs ? m_songs->SongCount() : 0;
    m_passBackwards = backwards;
    TryToPlay(path, startMs);
}

void Transport::TryToPlay(QString candidate, qint64 startMs)
{
    while (!candidate.isEmpty()) {
        if (PlayFile(candidate, startMs)) {
            // A file still being opened may yet turn out not to play: the news goes on
            // from here then.
            m_passingOver = m_opening;
            return;
        }
        candidate = PassOver(candidate, m_failure);
        startMs = 0;
    }
}

QString Transport::PassOver(const QString& path, const fsound::OpenError& why)
{
    std::fprintf(stderr, "sorvel: passed over %s: %s\n", FileNameBytes(path).constData(),
                 WhyNotPlayable(path, why).toLocal8Bit().constData());
    emit SongSkipped(path);
    if (m_songs && ++m_passTried < m_passBound)
        return m_passBackwards ? m_songs->PreviousSong() : m_songs->NextSong();
    if (m_songs && m_passBound > 0)
        ShowNotice(QStringLiteral("목록에서 재생할 수 있는 음악 파일을 찾지 못했습니다."), MB_ICONEXCLAMATION);
    return {};
}

bool Transport::CanGoPrevious() const
{
    return m_state != TransportState::Stopped || (m_songs && !m_songs->PeekPreviousSong().isEmpty());
}

void Transport::SeekTo(qint64 ms)
{
    ms = std::max<qint64>(ms, 0);
    if (m_lengthMs > 0 && !m_opening)
        ms = std::min(ms, m_lengthMs);
    if (m_opening)
        m_shownPositionMs = ms;
    if (m_state == TransportState::Stopped) {
        m_startMs = ms;
        emit Seeked(ms);
        return;
    }
    DropQueue(false);
    m_ogg.m_SetPosition(static_cast<int>(std::min<qint64>(ms, INT32_MAX)));
    UpdateLength();
    emit Seeked(PositionMs());
    if (m_state == TransportState::Playing)
        WatchForEnd();
}

SongNeighbours Transport::Neighbours() const
{
    if (!m_songs)
        return {};
    return {m_songs->PeekPreviousSong(), m_songs->PeekNextSong()};
}

void Transport::SetReplayGain(bool on)
{
    m_ogg.m_SetReplayGain(on);
}

void Transport::SetVolume(double volume)
{
    volume = std::isnan(volume) ? 0.0 : std::clamp(volume, 0.0, 1.0);
    m_ogg.m_SetVolume(static_cast<int>(std::floor(volume * 255.0 + 1e-9)));
    if (volume == m_volume)
        return;
    m_volume = volume;
    emit VolumeChanged();
}

int Transport::VolumeLevel() const
{
    return static_cast<int>(std::floor(m_volume * 255.0 + 1e-9));
}

qint64 Transport::PositionMs() const
{
    if (m_opening)
        return m_shownPositionMs;
    if (m_state == TransportState::Stopped || !m_ogg.m_IsOpen())
        return m_state == TransportState::Stopped ? m_startMs : 0;
    return m_ogg.m_GetTimeMs();
}

QString Transport::TimeText() const
{
    QString text;
    appendMinSec(text, PositionMs());
    text += QLatin1Char('-');
    appendMinSec(text, m_lengthMs);
    return text;
}

void Transport::SetState(TransportState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit StateChanged();
}

void Transport::UpdateLength()
{
    if (!m_ogg.m_IsOpen() || m_opening)
        return;
    const qint64 length = m_ogg.m_GetLengthMs();
    if (length != m_lengthMs) {
        m_lengthMs = length;
        emit LengthChanged();
    }
}

void Transport::TakeEngineNews()
{
    fsound::TakeNews();
    TakeSlowOpen();
    UpdateLength();
    if (const unsigned changes = fsound::OutputSinkChanges(); changes != m_sinkChanges) {
        m_sinkChanges = changes;
        emit SinkChanged();
    }
    const bool connected = fsound::OutputConnected();
    if (connected != m_outputConnected) {
        m_outputConnected = connected;
        if (!connected) {
            // The engine has said why on stderr.
            if (m_state == TransportState::Playing) {
                Pause();
                m_waitingForOutput = true;
            }
        } else if (m_ogg.m_IsOpen()) {
            // What the old server held is gone: the stream goes back to what was heard.
            m_ogg.m_SetPosition(m_ogg.m_GetTimeMs());
            if (m_waitingForOutput) {
                m_waitingForOutput = false;
                Resume();
            }
        }
    }
    if (m_state == TransportState::Playing)
        WatchForEnd();
}
