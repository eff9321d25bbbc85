#pragma once
// FFmpeg lives in a module of its own (libsorvel_decode.so), opened the first time a
// file is decoded, a tag is read or a spectrum is made, or ahead of that by the decoder
// thread once the windows are up (PreloadDecoding). FFmpeg's libraries pull in well over
// a hundred others, and binding them costs the dynamic loader about 40 ms: without them
// the player is on screen sooner. The classes here are the whole boundary: the program
// calls the module only through these virtual functions and the entry's table.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace fsound {

// One audio file decoded and resampled to interleaved float samples; see Decoder.
class DecoderBackend {
public:
    virtual ~DecoderBackend() = default;
    virtual bool open(const std::string& path, int outRate, int outChannels, unsigned rawMode) = 0;
    virtual std::int64_t durationMs() const = 0;
    virtual std::int64_t fileBytes() const = 0;
    virtual int sampleRate() const = 0;
    virtual void seekMs(std::int64_t ms) = 0;
    virtual bool decodeChunk(std::vector<float>& out) = 0;
};

// A real-input transform of a fixed size: fill input() with `size` reals, then
// transform() gives size / 2 + 1 complex values, real and imaginary interleaved.
class FftBackend {
public:
    virtual ~FftBackend() = default;
    virtual float* input() = 0;
    virtual const float* transform() = 0;
};

// The raw tag values of one metadata dictionary (the container's, then each audio
// stream's, in that order): title, artist, album_artist, album; empty when absent.
using RawTagSet = std::array<std::string, 4>;

struct DecodeApi {
    int version;
    DecoderBackend* (*makeDecoder)();
    FftBackend* (*makeFft)(int size);  // null when the transform cannot be set up
    // False when the file cannot be opened as media.
    bool (*readTags)(const char* path, std::vector<RawTagSet>* sets);
};

constexpr int kDecodeApiVersion = 1;
inline constexpr char kDecodeEntry[] = "sorvel_decode_api";

// The module's table, opened on first use (any thread; the first caller opens, others
// wait for it). Null when the module cannot be found or opened, said once on stderr:
// then nothing decodes, tags are empty and the spectrum stays flat.
const DecodeApi* DecodeModule();

} // namespace fsound
