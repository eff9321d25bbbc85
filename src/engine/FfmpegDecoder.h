#pragma once
// The decoding module's decoder: one audio file decoded with FFmpeg and resampled to
// interleaved float samples. Built into libsorvel_decode.so only; the program reaches
// it through Decoder.

#include "DecodeModule.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct SwrContext;
struct AVPacket;
struct AVFrame;

namespace fsound {

class FfmpegDecoder final : public DecoderBackend {
public:
    FfmpegDecoder() = default;
    ~FfmpegDecoder() override;
    FfmpegDecoder(const FfmpegDecoder&) = delete;
    FfmpegDecoder& operator=(const FfmpegDecoder&) = delete;

    bool open(const std::string& path, int outRate, int outChannels, unsigned rawMode) override;
    std::int64_t durationMs() const override { return m_durationMs; }
    std::int64_t fileBytes() const override { return m_fileBytes; }
    int sampleRate() const override { return m_sampleRate; }
    void seekMs(std::int64_t ms) override;
    bool decodeChunk(std::vector<float>& out) override;

private:
    bool configureResampler(const AVFrame* frame);
    // Accepts a decoded frame: places it, trims what lies before a seek target, and
    // keeps it in m_frame for convertHeld. False when nothing of it is to be played.
    bool takeFrame(AVFrame* frame);
    // Converts the next slice of the held frame (about kChunkOutputFrames of output).
    bool convertHeld(std::vector<float>& out);
    void dropHeldFrame();
    void seekToSample(std::int64_t sample);
    bool drainResampler(std::vector<float>& out);
    void closeAll();
    // Timestamp of the first sample the decoder puts out, found by decoding once at open.
    // Some formats (ASF/WMA) stamp their first audible frame later than 0; positions
    // count from this stamp so that 0 ms is the first sample heard.
    void findOrigin();

    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    SwrContext* m_swr = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_streamIndex = -1;
    std::int64_t m_originPts = 0;   // in the stream's time base
    int m_outRate = 44100;
    int m_outChannels = 2;
    int m_sampleRate = 0;
    std::int64_t m_durationMs = 0;
    std::int64_t m_fileBytes = 0;

    // What the resampler was configured for, to notice format changes mid-stream.
    int m_swrInRate = 0;
    int m_swrInFormat = -1;
    int m_swrInChannels = 0;
    std::uint64_t m_swrInMask = 0;

    // Seek trimming: samples (at the input rate) before this position are dropped.
    std::int64_t m_trimUntilSample = 0;
    std::int64_t m_nextSample = 0;   // input-rate sample index of the next frame without a timestamp
    int m_seekRetries = 0;
    bool m_firstAfterSeek = false;
    bool m_firstFrameEaten = false;
    std::int64_t m_silenceFrames = 0;  // output frames of silence to put out first
    bool m_holding = false;         // m_frame holds samples not yet converted
    int m_heldOffset = 0;           // the first of them
    bool m_flushSent = false;
    bool m_finished = false;
    int m_errorRun = 0;
};

} // namespace fsound
