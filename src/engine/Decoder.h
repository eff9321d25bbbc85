#pragma once
// One audio file decoded with FFmpeg and resampled to interleaved float samples at the
// output's rate and channel count. Not thread-safe: the owner serialises calls. The
// work is done in the decoding module (DecodeModule.h); without it nothing opens.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fsound {

class DecoderBackend;

class Decoder {
public:
    Decoder();
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Opens the file's best audio stream. rawMode gives the sample format of files that
    // FFmpeg cannot identify and that are named .raw or .pcm (44.1 kHz raw PCM).
    bool open(const std::string& path, int outRate, int outChannels, unsigned rawMode);

    std::int64_t durationMs() const;
    std::int64_t fileBytes() const;
    int sampleRate() const;

    // The next decodeChunk starts at this position (clamped at 0). Works before the
    // first decode and at any time after.
    void seekMs(std::int64_t ms);

    // Appends the next decoded samples to `out`, at most a few thousand frames, so one
    // call is short whatever the file says. Returns false once the file has no more
    // data; damaged data ends the stream cleanly instead of failing.
    bool decodeChunk(std::vector<float>& out);

private:
    std::unique_ptr<DecoderBackend> m_backend;  // null without the decoding module
};

} // namespace fsound
