#pragma once
// The FFmpeg module's decoder: every format FFmpeg opens, decoded to interleaved float
// at the file's own rate and channels. Built into libsorvel_ffmpeg.so only; the program
// reaches it through Decoder.

#include "DecodeModule.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;

namespace fsound {

class FfmpegDecoder final : public DecoderBackend {
public:
    FfmpegDecoder() = default;
    ~FfmpegDecoder() override;
    FfmpegDecoder(const FfmpegDecoder&) = delete;
    FfmpegDecoder& operator=(const FfmpegDecoder&) = delete;

    bool open(const std::string& path, unsigned rawMode) override;
    const SourceFormat& format() const override { return m_source; }
    std::int64_t lengthFrames() const override { return m_lengthFrames; }
    void seekFrame(std::int64_t frame) override;
    bool decode(std::vector<float>& out) override;

private:
    // Accepts a decoded frame: places it, trims what lies before a seek target or after
    // the end, and keeps it in m_frame for convertHeld. False when nothing of it is heard.
    bool takeFrame(AVFrame* frame);
    // Converts the next slice of the held frame.
    void convertHeld(std::vector<float>& out);
    void dropHeldFrame();
    void seekToSample(std::int64_t sample);
    void closeAll();
    // Timestamp of the first sample the decoder puts out, found by decoding once at open.
    // Some formats (ASF/WMA) stamp their first audible frame later than 0; positions
    // count from this stamp so that 0 is the first sample heard.
    void findOrigin();
    // Samples the codec puts out ahead of the sound when the container does not say so.
    int codecDelay() const;

    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_streamIndex = -1;
    std::int64_t m_originPts = 0;   // in the stream's time base
    SourceFormat m_source;
    std::int64_t m_lengthFrames = -1;
    bool m_endKnown = false;        // m_lengthFrames is exact: nothing after it is put out
    int m_delay = 0;                // codec delay in samples, removed from the start
    int m_preRoll = 0;              // samples decoded ahead of a seek target

    // Block-laid ADPCM in WAV: the place of a sample is computed, not asked of FFmpeg.
    std::int64_t m_dataStart = -1;
    int m_blockBytes = 0;
    int m_blockFrames = 0;
    bool m_countSamples = false;    // timestamps are not trusted: positions are counted

    // Raw AC-3: a frame's place is told by its byte offset, not its timestamp (which
    // the demuxer guesses from the bit rate and drifts at 44.1 kHz, whose frames
    // alternate in size). 0 when not in use.
    double m_bytesPerFrame = 0;
    std::int64_t m_firstFramePos = 0;

    // Seek trimming: samples before this position are dropped.
    std::int64_t m_trimUntilSample = 0;
    std::int64_t m_nextSample = 0;   // position of the next frame without a timestamp
    int m_seekRetries = 0;
    bool m_firstAfterSeek = false;
    bool m_firstFrameEaten = false;
    std::int64_t m_silenceFrames = 0;  // frames of silence to put out first
    bool m_holding = false;         // m_frame holds samples not yet converted
    int m_heldOffset = 0;           // the first of them
    int m_heldEnd = 0;              // one past the last of them that is heard
    bool m_flushSent = false;
    bool m_finished = false;
    int m_errorRun = 0;
};

} // namespace fsound
