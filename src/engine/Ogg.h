#pragma once
// The stream player: at most one open stream, its transport, time texts, bit rate and
// sample rate, and the spectrum thread with the memory it draws in.
// Everything runs on the window thread except where TOggThread says otherwise.

#include "FrameSink.h"
#include "fsound.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class TOggThread;

// The codes m_ControlOGG takes.
enum OggControl : int { OggPause = 1, OggResume = 2, OggStop = 3 };

struct strOggTagInfo {
    QString Artist;
    QString Title;
};

class COgg {
public:
    // canvas: where the spectrum thread copies its frames (not owned, may be null).
    // backBits: the 60 x 30 spectrum background, 32-bit BGRA, bottom row first (not owned).
    COgg(SpectrumFrameSink* canvas, const std::uint8_t* backBits);
    virtual ~COgg();
    COgg(const COgg&) = delete;
    COgg& operator=(const COgg&) = delete;

    void m_InitSound();
    void m_StartThread();
    bool m_OpenOGG(const QString& path);
    void m_PlayOGG();
    // Reads the open stream's length into the total time texts again: a file that was
    // still being opened when it started playing has one only now.
    void m_RefreshLength();
    // OggPause (hold the stream where it is heard and remember the position), OggResume
    // (go on from the paused sample; a player with no stream reopens the file and seeks),
    // OggStop.
    void m_ControlOGG(int code);
    // A stream is open: playing, or paused.
    bool m_IsOpen() const;
    // The open stream is held by a pause (it is not heard, and goes on from there).
    bool m_IsHeld() const { return m_bHeld.load(); }

    // The song to follow the open one without a gap: opened now and decoded ahead, it
    // takes over in the same output stream when the open one's last sample has been
    // mixed. False when it cannot be opened or nothing is open; one at a time.
    bool m_QueueOGG(const QString& path);
    // Forgets the queued song. When it had already begun to follow, the open stream goes
    // back to the sample last heard (`keepHeard`), as if nothing had been queued; a caller
    // about to seek or stop does not need that.
    void m_DropQueued(bool keepHeard = true);
    bool m_HasQueued() const { return m_hNext != nullptr; }
    QString m_QueuedFileName() const { return m_strNextFileName; }
    // The queued song becomes the open one, on the same channel, with its length and
    // time texts. Once its first sample is heard (the open one has played out) it goes on
    // without a break; before that it starts the way m_PlayOGG does.
    void m_TakeQueued();
    // The open stream has played all of its sound out. Not a comparison of whole seconds:
    // that would cut up to a second off every song, and more when the file's stated
    // length is short or missing.
    bool m_IsEnd() const;
    QString m_GetTimeText();
    strOggTagInfo& m_GetTagInfo();
    bool m_GetStreamInfo(int& kbps, int& khz);
    void m_SetVolume(int volume);
    void m_SetPosition(int ms);
    int m_GetLengthMs() const;
    int m_GetTimeMs() const;

    // Bit rate from file size and length, snapped to the standard MPEG rates for
    // .mp3 and .mp2 names. A length of 0 gives 0.
    static int EstimateKbps(std::int64_t bytes, int lengthMs, const QString& fileName);

    // Read by the spectrum thread without a lock; it only tests it for null.
    std::atomic<FSOUND_STREAM*> m_hStream{nullptr};
    // The open stream is paused. Written on the window thread; the spectrum thread reads
    // it (with m_hStream) to sleep while nothing is heard.
    std::atomic<bool> m_bHeld{false};
    QString m_strCurTime;
    QString m_strTotalTime;
    QString m_strFileName;
    std::int32_t m_nCurSec = 0;
    std::int32_t m_nPausePos = 0;
    strOggTagInfo m_TagInfo;
    std::unique_ptr<TOggThread> m_pThread;
    std::int32_t m_nTotalSec = 0;
    int m_nChannel = -1;  // the channel the open stream plays on
    FSOUND_STREAM* m_hNext = nullptr;  // the song queued behind m_hStream
    QString m_strNextFileName;
    static constexpr std::uint16_t m_KbpsTable[2][14] = {
        {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    };
    SpectrumFrameSink* const m_pCanvas;
    const std::uint8_t* const m_pBackBits;
    // Written only by the spectrum thread.
    BitmapInfo m_BmpInfo{};
    std::uint8_t m_FrameBits[SpectrumFrameSink::kBytes] = {};
};
