#pragma once
// Small audio files made by the tests themselves: tones and noise written as WAV and
// AIFF directly, and encoded with FFmpeg's encoders for the compressed formats.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fixtures {

// One sample per call: f(frame index, channel) in -1..1.
using Signal = std::function<float(std::int64_t frame, int channel)>;

Signal Tone(double hz, double amplitude = 0.8, int rate = 44100);
// Deterministic noise, low-passed a little so compressed formats keep its shape.
Signal Noise(std::uint32_t seed, double amplitude = 0.5);

struct Clip {
    int rate = 44100;
    int channels = 2;
    double seconds = 1.0;
};

bool WriteWav(const std::string& path, const Clip& clip, const Signal& signal);
bool WriteAiff(const std::string& path, const Clip& clip, const Signal& signal);
// container: "mp3", "mp2", "ogg", "asf", "flac"; codec: "libmp3lame", "mp2",
// "libvorbis", "wmav2", "flac". bitRate in bit/s (0 for the encoder's default).
// `metadata` goes into the container's tags (key, value pairs such as "title").
bool Encode(const std::string& path, const char* container, const char* codec, int bitRate, const Clip& clip,
            const Signal& signal, const std::vector<std::pair<std::string, std::string>>& metadata = {});

// Convenience: a file of the named kind ("mp3", "mp2", "ogg", "wav", "aiff", "wma", "flac",
// "opus" (48 kHz and below only), "ac3", "aac" (raw ADTS), "m4a", "adpcm_ms" and
// "adpcm_ima_wav" (WAV), "mp3-8k" (8 kbit/s, for 8 kHz clips)) in `folder`, named
// tone.<ext>. Returns the path, or empty on failure.
std::string MakeFile(const std::string& folder, const std::string& kind, const Clip& clip, const Signal& signal);

// Clears the total sample count in a FLAC file's stream info, as an encoder writing to
// a pipe leaves it: the length is then unknown until the stream has been decoded.
bool ForgetFlacLength(const std::string& path);
// Puts `value` as four big-endian bytes at `offset` of the file.
bool OverwriteBigEndian32(const std::string& path, std::size_t offset, std::uint32_t value);

// Writes `bytes` pseudo-random bytes.
bool WriteRandomBytes(const std::string& path, std::size_t bytes, std::uint32_t seed);
// Copies the first `bytes` bytes of `from` to `to`.
bool Truncate(const std::string& from, const std::string& to, std::size_t bytes);

// Encodes a WAV with the command-line encoders Debian ships, as a listener's files are
// made: "lame" (MP3 with its LAME/Xing header), "lame-bare" (no header at all),
// "flac", "oggenc", "opusenc", "ffmpeg-m4a" (AAC in MP4), "ffmpeg-ac3". The output goes
// beside the WAV with the tool's extension (`stem` names it). Empty on failure.
std::string EncodeWithTool(const std::string& wav, const std::string& kind, const std::string& stem = "encoded");

// Damage: overwrites `count` bytes at `offset` with pseudo-random ones, or sets one byte.
bool ScrambleBytes(const std::string& path, std::size_t offset, std::size_t count, std::uint32_t seed);
bool PutByte(const std::string& path, std::size_t offset, std::uint8_t value);
// Offset of the first `needle` in the file at or after `from`, or -1.
long long FindBytes(const std::string& path, const std::string& needle, std::size_t from = 0);
// Appends the bytes of `tail` to `path` (two Ogg files joined: a chained Ogg).
bool AppendFile(const std::string& path, const std::string& tail);

} // namespace fixtures
