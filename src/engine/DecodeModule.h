#pragma once
// Decoders live in modules of their own, each opened the first time a file of its kind
// is decoded or its tags are read: libsorvel_mpg123.so (MP3), libsorvel_flac.so,
// libsorvel_vorbis.so, libsorvel_opus.so, and libsorvel_ffmpeg.so for every other format
// and for files a dedicated decoder refuses. libsorvel_fft.so holds the spectrum's
// transform, libsorvel_resample.so the rate converter. A process that plays an MP3 maps libmpg123 and
// nothing of FFmpeg's hundred-odd libraries; docs/DECODERS.md says which library serves
// which format and why. The classes here are the whole boundary: the program calls a
// module only through these virtual functions and its entry's table.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace fsound {

// Where a channel is heard; the downmix to the output's two channels follows it.
enum class Speaker : std::uint8_t {
    Unknown,
    FrontLeft,
    FrontRight,
    FrontCenter,
    LowFrequency,
    BackLeft,
    BackRight,
    FrontLeftOfCenter,
    FrontRightOfCenter,
    BackCenter,
    SideLeft,
    SideRight,
};

// What a backend decodes to: interleaved float samples at the file's own rate, one per
// channel in `speakers` order (Unknown where the file does not say).
struct SourceFormat {
    int rate = 0;
    std::vector<Speaker> speakers;
    int channels() const { return static_cast<int>(speakers.size()); }
};

// One audio file decoded without conversion. Positions count frames from the first
// sample heard: encoder delay, codec delay and priming are never put out, and decoding
// ends on the last sample the file means (its padding removed) where the file says it.
// Not thread-safe: the owner serialises calls (Decoder does).
class DecoderBackend {
public:
    virtual ~DecoderBackend() = default;
    // rawMode gives the sample format of headerless .raw/.pcm files (FFmpeg only).
    virtual bool open(const std::string& path, unsigned rawMode) = 0;
    // The format of what the last decode put out; before the first, the file's. It
    // changes only where a chained file's next link has another rate or layout, and
    // one decode never spans two.
    virtual const SourceFormat& format() const = 0;
    // Frames from the first to the last sample heard; -1 when the file does not say.
    // Positions count in the rate the file opened with, also across a chained file's
    // links at other rates.
    virtual std::int64_t lengthFrames() const = 0;
    // The next decode starts exactly at this frame (clamped at 0; past the end it ends).
    virtual void seekFrame(std::int64_t frame) = 0;
    // Appends the next frames, at most a few thousand so one call is short whatever the
    // file says. False once there are no more; damaged data ends the stream cleanly.
    virtual bool decode(std::vector<float>& out) = 0;
};

// A real-input transform of a fixed size: fill input() with `size` reals, then
// transform() gives size / 2 + 1 complex values, real and imaginary interleaved.
class FftBackend {
public:
    virtual ~FftBackend() = default;
    virtual float* input() = 0;
    virtual const float* transform() = 0;
};

// Converts interleaved float frames of `channels` channels from one rate to another.
// The output of the first input frame is the first output frame (no leading delay);
// flush() puts out what the filter still holds after the last input.
class ResamplerBackend {
public:
    virtual ~ResamplerBackend() = default;
    virtual void convert(const float* in, int frames, std::vector<float>& out) = 0;
    virtual void flush(std::vector<float>& out) = 0;
};

// The raw tag values of one metadata dictionary (the container's, then each audio
// stream's, in that order): title, artist, album_artist, album; empty when absent.
// Text as the file holds it, or UTF-8 where the library converts (TagReader decodes).
using RawTagSet = std::array<std::string, 4>;

struct DecodeApi {
    int version;
    DecoderBackend* (*makeDecoder)();
    // False when the file cannot be opened as this module's kind of media.
    bool (*readTags)(const char* path, std::vector<RawTagSet>* sets);
};

struct FftApi {
    int version;
    FftBackend* (*makeFft)(int size);  // null when the transform cannot be set up
};

struct ResampleApi {
    int version;
    ResamplerBackend* (*makeResampler)(int channels, int inRate, int outRate);  // null on failure
};

constexpr int kDecodeApiVersion = 2;
inline constexpr char kDecodeEntry[] = "sorvel_decode_api";
inline constexpr char kFftEntry[] = "sorvel_fft_api";
inline constexpr char kResampleEntry[] = "sorvel_resample_api";

// The decoders there are, in the order a file's kind is tried.
enum class DecoderKind { Mpg123, Flac, Vorbis, Opus, Wave, Ffmpeg };
constexpr int kDecoderKinds = 6;

// The module's file name, or null for the decoder built into the engine (Wave).
const char* ModuleFileName(DecoderKind kind);
// The library a module needs that is most likely missing when it does not open.
const char* ModuleLibraryName(DecoderKind kind);

// The kind's table, its module opened on first use (any thread; the first caller
// opens, others wait). Null for Wave and when the module cannot be found or opened,
// said once on stderr; ModuleError then tells why.
const DecodeApi* DecodeModule(DecoderKind kind);
const FftApi* FftModule();            // libsorvel_fft.so: libavutil
const ResampleApi* ResampleModule();  // libsorvel_resample.so: libswresample
std::string ModuleError(DecoderKind kind);
std::string ResampleModuleError();

// Tests: modules are looked for in this folder only. Call before the first module opens.
void UseModuleFolder(const std::string& folder);

} // namespace fsound
