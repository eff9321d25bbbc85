#pragma once
// One audio file decoded to interleaved float samples at a given rate (or its own) and
// channel count. The file goes to the decoder made for its kind (DecodeModule.h), and to
// FFmpeg when that one refuses it or its module cannot be loaded; what comes out is
// mixed down to the output's channels and converted to its rate here, the same way for
// every decoder. Not thread-safe: the owner serialises calls.
//
// Positions count from the first sample heard and the song ends on its last: encoder
// delay, codec delay and padding are removed wherever the file or the codec says them.
// So a decoder opened and decoded ahead gives exactly the samples that follow another's
// last one.

#include "DecodeModule.h"
#include "Downmix.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fsound {

// Why the last open failed.
enum class OpenFailure {
    None,
    NotAudio,       // missing, not a regular file, or no decoder takes it
    MissingModule,  // the decoder it needs (or a library that one needs) did not load
};

class Decoder {
public:
    // Auto: the file's own decoder, then FFmpeg. Ffmpeg: FFmpeg only. Dedicated: the
    // file's own decoder only (no fallback); for tests that compare the two.
    enum class Choice { Auto, Dedicated, Ffmpeg };

    Decoder();
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // outRate 0: the rate of the file (of its first link), nothing converted.
    // rawMode gives the sample format of files that FFmpeg cannot identify and that are
    // named .raw or .pcm (44.1 kHz raw PCM). The first chunk is decoded here: a file
    // that yields no sound does not open (NotAudio).
    bool open(const std::string& path, int outRate, int outChannels, unsigned rawMode, Choice choice = Choice::Auto);

    std::int64_t durationMs() const;
    std::int64_t fileBytes() const { return m_fileBytes; }
    // The rate the file opened with (a chained file's first link).
    int sampleRate() const { return m_openRate; }
    // The rate decodeChunk puts out.
    int outRate() const { return m_outRate; }
    // Puts out `rate` from now on. Made for a decoder that has put out nothing yet but
    // its open: what comes later joins what it has already put out only roughly. False
    // when the rate converter cannot be loaded (the decoder then stays as it was).
    bool convertTo(int rate);
    // Which decoder serves the open file.
    DecoderKind kind() const { return m_kind; }
    // After a failed open: why, and for MissingModule the file that is missing.
    OpenFailure failure() const { return m_failure; }
    const std::string& failureDetail() const { return m_failureDetail; }

    // The next decodeChunk starts at this position (clamped at 0). Works before the
    // first decode and at any time after.
    void seekMs(std::int64_t ms);

    // Appends the next decoded samples to `out`, at most a few thousand frames, so one
    // call is short whatever the file says. Returns false once the file has no more
    // data; damaged data ends the stream cleanly instead of failing.
    bool decodeChunk(std::vector<float>& out);

private:
    bool openWith(DecoderKind kind, const std::string& path, unsigned rawMode);
    // openWith, then the first chunk decoded into m_primed: false when none comes.
    bool start(DecoderKind kind, const std::string& path, unsigned rawMode);
    void resetConversion();
    // Mixes and converts from now on what comes in `format`; false when the rate
    // converter it needs cannot be loaded.
    bool adoptFormat(const SourceFormat& format);

    std::unique_ptr<DecoderBackend> m_backend;  // null when nothing is open
    DecoderKind m_kind = DecoderKind::Ffmpeg;
    SourceFormat m_format;  // of what the backend puts out now
    int m_openRate = 0;     // positions count in the rate the file opened with
    Downmix m_downmix;
    std::unique_ptr<ResamplerBackend> m_resampler;  // only when the rates differ
    std::vector<float> m_primed;                    // the first chunk, decoded at open
    std::vector<float> m_native;                    // one backend chunk
    std::vector<float> m_mixed;                     // the same, mixed down, to be converted
    std::size_t m_mixedPos = 0;                     // frames of m_mixed converted
    std::size_t m_mixedFrames = 0;
    int m_askedRate = 0;  // what open was given: 0, the file's own
    int m_outRate = 44100;
    int m_outChannels = 2;
    std::int64_t m_fileBytes = 0;
    bool m_flushed = false;
    bool m_finished = false;
    OpenFailure m_failure = OpenFailure::None;
    std::string m_failureDetail;
};

} // namespace fsound
