#include "Ogg.h"

#include "FileName.h"
#include "G.h"
#include "OggThread.h"

#include <QByteArray>

#include <algorithm>

namespace {

QString formatMinSec(int seconds)
{
    return QString::asprintf("%02d:%02d", seconds / 60, seconds - (seconds / 60) * 60);
}

// File names are bytes on this system; the path carries them losslessly.
QByteArray localPath(const QString& path)
{
    return FileNameBytes(path);
}

} // namespace

COgg::COgg(SpectrumFrameSink* canvas, const std::uint8_t* backBits)
    : m_strTotalTime(QStringLiteral("00:00"))
    , m_pCanvas(canvas)
    , m_pBackBits(backBits)
{
}

COgg::~COgg()
{
    // The thread draws into this object's memory: it must have left its loop first.
    if (m_pCanvas)
        m_pCanvas->SetWakeRequest({});
    if (m_pThread) {
        m_pThread->Terminate();
        m_pThread->WaitFor();
        m_pThread.reset();
    }
}

void COgg::m_InitSound()
{
    FSOUND_Init(44100, 32, 0);
}

void COgg::m_StartThread()
{
    if (m_pThread)
        return;
    m_pThread = std::make_unique<TOggThread>(this);
    // A window shown again gets its bars back at once.
    if (m_pCanvas)
        m_pCanvas->SetWakeRequest([this] {
            if (m_pThread)
                m_pThread->Wake();
        });
}

bool COgg::m_OpenOGG(const QString& path)
{
    m_DropQueued(false);
    if (FSOUND_STREAM* old = m_hStream.exchange(nullptr)) {
        FSOUND_Stream_Stop(old);
        m_nChannel = -1;
        m_bHeld.store(false);
    }
    FSOUND_STREAM* stream = FSOUND_Stream_Open(localPath(path).constData(), 0x130, 0, 0);
    if (!stream)
        return false;
    m_hStream.store(stream);
    m_strFileName = path;
    return true;
}

void COgg::m_PlayOGG()
{
    FSOUND_STREAM* stream = m_hStream.load();
    m_nChannel = FSOUND_Stream_Play(FSOUND_FREE, stream);
    const int seconds = FSOUND_Stream_GetLengthMs(stream) / 1000;
    m_strTotalTime = formatMinSec(seconds);
    m_nCurSec = 0;
    m_nTotalSec = seconds;
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    if (stream) {
        m_bHeld.store(false);
        if (m_pThread)
            m_pThread->Wake();
    }
}

void COgg::m_RefreshLength()
{
    const int seconds = FSOUND_Stream_GetLengthMs(m_hStream.load()) / 1000;
    m_strTotalTime = formatMinSec(seconds);
    m_nTotalSec = seconds;
}

void COgg::m_ControlOGG(int code)
{
    switch (code) {
    case OggPause: {
        FSOUND_STREAM* stream = m_hStream.load();
        if (!stream)
            break;
        m_DropQueued();
        // The stream stays open and its queued sound stays with the output: resuming
        // goes on from the first sample that was not heard, without opening the file again.
        FSOUND_SetPaused(m_nChannel, 1);
        m_nPausePos = FSOUND_Stream_GetTime(stream);
        m_bHeld.store(true);
        break;
    }
    case OggResume:
        if (FSOUND_STREAM* stream = m_hStream.load()) {
            FSOUND_SetPaused(m_nChannel, 0);
            m_bHeld.store(false);
            if (m_pThread)
                m_pThread->Wake();
        } else if (m_OpenOGG(m_strFileName)) {
            stream = m_hStream.load();
            FSOUND_Stream_SetTime(stream, m_nPausePos);
            m_nChannel = FSOUND_Stream_Play(FSOUND_FREE, stream);
            m_bHeld.store(false);
            if (m_pThread)
                m_pThread->Wake();
        } else {
            m_bHeld.store(false);
            ShowMessageBox(QStringLiteral("오류"),
                           QStringLiteral("음악파일이 잘못되었습니다. \n(오류위치 : m_ControlOGG)"),
                           MB_ICONHAND, false);
        }
        break;
    case OggStop:
        m_DropQueued(false);
        FSOUND_Stream_Stop(m_hStream.exchange(nullptr));
        m_nChannel = -1;
        m_bHeld.store(false);
        break;
    default:
        break;
    }
}

bool COgg::m_IsOpen() const
{
    return m_hStream.load() != nullptr;
}

bool COgg::m_QueueOGG(const QString& path)
{
    FSOUND_STREAM* stream = m_hStream.load();
    if (!stream || m_hNext)
        return false;
    FSOUND_STREAM* next = FSOUND_Stream_Open(localPath(path).constData(), 0x130, 0, 0);
    if (!next)
        return false;
    if (!fsound::StreamQueue(stream, next)) {
        FSOUND_Stream_Stop(next);
        return false;
    }
    // The song after it is chosen only once it is heard: until then the output waits at
    // its end (a short song is mixed to its end before that) instead of closing it.
    fsound::StreamAwaitFollower(next, true);
    m_hNext = next;
    m_strNextFileName = path;
    return true;
}

void COgg::m_DropQueued(bool keepHeard)
{
    if (!m_hNext)
        return;
    FSOUND_STREAM* stream = m_hStream.load();
    // The output holds the queued song's first samples after what is still to be heard
    // of this one: hearing this one to its end again means decoding that part again.
    // Where it is heard is read while the follower's share is still told apart.
    const int heardMs = keepHeard && fsound::StreamHandedOver(stream) ? FSOUND_Stream_GetTime(stream) : -1;
    fsound::StreamUnqueue(stream);
    FSOUND_Stream_Stop(m_hNext);
    m_hNext = nullptr;
    m_strNextFileName.clear();
    if (heardMs >= 0)
        FSOUND_Stream_SetTime(stream, heardMs);
}

void COgg::m_TakeQueued()
{
    FSOUND_STREAM* next = m_hNext;
    if (!next)
        return;
    FSOUND_STREAM* old = m_hStream.load();
    const bool followed = fsound::StreamHandedOver(old);
    if (!followed)
        fsound::StreamUnqueue(old);  // the open one ran dry before the next had sound
    m_hNext = nullptr;
    m_hStream.store(next);
    m_strFileName = m_strNextFileName;
    m_strNextFileName.clear();
    // Stopping a stream that handed its channel over leaves the output as it is.
    FSOUND_Stream_Stop(old);
    if (followed) {
        const int seconds = FSOUND_Stream_GetLengthMs(next) / 1000;
        m_strTotalTime = formatMinSec(seconds);
        m_nCurSec = 0;
        m_nTotalSec = seconds;
    } else {
        m_PlayOGG();
    }
}

bool COgg::m_IsEnd() const
{
    FSOUND_STREAM* stream = m_hStream.load();
    return stream && fsound::StreamPlayedOut(stream);
}

QString COgg::m_GetTimeText()
{
    FSOUND_STREAM* stream = m_hStream.load();
    m_nCurSec = FSOUND_Stream_GetTime(stream) / 1000;
    m_strCurTime = formatMinSec(m_nCurSec);
    // A song whose sound outlasts the length its file states (or that states none)
    // shows its real length once that is known, and never less than it has played.
    if (stream) {
        const int seconds = std::max(FSOUND_Stream_GetLengthMs(stream) / 1000, m_nCurSec);
        if (seconds > m_nTotalSec) {
            m_nTotalSec = seconds;
            m_strTotalTime = formatMinSec(seconds);
        }
    }
    return m_strCurTime + QLatin1Char('-') + m_strTotalTime;
}

strOggTagInfo& COgg::m_GetTagInfo()
{
    m_TagInfo.Artist = QStringLiteral("가수");
    m_TagInfo.Title = QStringLiteral("노래");
    return m_TagInfo;
}

int COgg::EstimateKbps(std::int64_t bytes, int lengthMs, const QString& fileName)
{
    if (lengthMs <= 0)
        return 0;
    // Bytes per millisecond times eight is kbit/s.
    int kbps = static_cast<int>(static_cast<double>(bytes) / lengthMs * 8.0);
    kbps %= 10000;

    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot >= 0 ? fileName.mid(dot).toLower() : QString();
    if (ext == QLatin1String(".mp3") || ext == QLatin1String(".mp2")) {
        for (const auto& row : m_KbpsTable) {
            for (int c : row) {
                if (c - 2 <= kbps && kbps <= c + 2)
                    return c;
            }
        }
    }
    return kbps;
}

bool COgg::m_GetStreamInfo(int& kbps, int& khz)
{
    FSOUND_STREAM* stream = m_hStream.load();
    kbps = EstimateKbps(FSOUND_Stream_GetLength(stream), FSOUND_Stream_GetLengthMs(stream), m_strFileName);
    khz = FSOUND_GetFrequency(FSOUND_GetChannelsPlaying()) / 1000;
    return true;
}

void COgg::m_SetVolume(int volume)
{
    FSOUND_SetVolume(FSOUND_ALL, volume);
}

void COgg::m_SetPosition(int ms)
{
    FSOUND_Stream_SetTime(m_hStream.load(), ms);
}

int COgg::m_GetLengthMs() const
{
    return FSOUND_Stream_GetLengthMs(m_hStream.load());
}

int COgg::m_GetTimeMs() const
{
    FSOUND_STREAM* stream = m_hStream.load();
    return stream ? FSOUND_Stream_GetTime(stream) : 0;
}
