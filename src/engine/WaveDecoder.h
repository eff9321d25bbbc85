#pragma once
// WAV (PCM and float, plain or extensible) and AIFF/AIFF-C (PCM, both byte orders, float)
// read directly: the data is laid out evenly, so every position is one multiplication
// away and no library is needed. Compressed WAVs (ADPCM, MP3 in WAV, ...) are refused
// and go to FFmpeg.

#include "DecodeModule.h"

#include <cstdio>
#include <memory>

namespace fsound {

class WaveDecoder final : public DecoderBackend {
public:
    bool open(const std::string& path, unsigned rawMode) override;
    const SourceFormat& format() const override { return m_format; }
    std::int64_t lengthFrames() const override { return m_statedFrames; }
    void seekFrame(std::int64_t frame) override;
    bool decode(std::vector<float>& out) override;

    // Title, artist and album of a WAV's LIST/INFO or an AIFF's NAME/AUTH chunks.
    static bool ReadTags(const std::string& path, std::vector<RawTagSet>* sets);

private:
    enum class Sample { Unsigned8, Signed, Float };
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    std::unique_ptr<std::FILE, Closer> m_file;
    SourceFormat m_format;
    Sample m_sample = Sample::Signed;
    int m_bytesPerSample = 2;
    bool m_bigEndian = false;
    long long m_dataOffset = 0;
    std::int64_t m_frames = 0;        // in the data
    std::int64_t m_statedFrames = 0;  // in the header
    std::int64_t m_next = 0;  // frame read next
    std::vector<unsigned char> m_raw;
};

} // namespace fsound
