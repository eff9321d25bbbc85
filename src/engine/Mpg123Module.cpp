// The MP3 module: libmpg123, which removes the encoder's delay and padding that a
// LAME/Xing header states, seeks to the sample through its frame index, and decodes
// the frames a seek target's bit reservoir reaches back into. Its ID3 tags come from
// the same library. A file without that header still loses the decoder's own delay,
// and a damaged stretch is skipped to the next frame that parses, as far as it goes.

#include "DecodeModule.h"
#include "ModuleEntry.h"

#include <mpg123.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace fsound {

namespace {

constexpr std::size_t kChunkFrames = 4096;
// Layer III frames may take their data from up to 511 bytes of the frames before them;
// at 8 kbit/s that is about nine frames. Decoding more ahead of a seek costs little.
constexpr long kPreFrames = 16;
// The layer III decoder's own delay (its filter bank and the overlap of its transform):
// the samples a file's first frame puts out before the encoder's first sample. libmpg123
// takes it off only together with the delay a LAME header states.
constexpr off_t kLayer3DecoderDelay = 529;
// How far an open looks for the first frame. Past it a file is taken for no MP3 (a
// file of random bytes would otherwise be searched to its end, seconds for a large one);
// after the first frame, garbage is looked through however long it is.
constexpr long kFirstFrameSearchBytes = 512 * 1024;
// The lowest bit rates layer III has: MPEG-1 and MPEG-2/2.5, in bit/s.
constexpr double kMinBitRate[2] = {32000.0, 8000.0};

mpg123_handle* newHandle()
{
    int err = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &err);
    if (!handle)
        return nullptr;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    mpg123_param(handle, MPG123_PREFRAMES, kPreFrames, 0.0);
    // Garbage inside a file is looked through to the next frame however long it is, as
    // FFmpeg does; the default gives up after 1 kB and ends the song there.
    mpg123_param(handle, MPG123_RESYNC_LIMIT, -1, 0.0);
    mpg123_format_none(handle);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    return handle;
}

// libmpg123's own reader asks the system for every byte it looks at while it searches
// for a frame: a damaged file made it read millions of single bytes, taking seconds for
// one open or seek. A buffered stream serves those from memory.
ssize_t readBuffered(void* file, void* buffer, size_t bytes)
{
    const size_t got = std::fread(buffer, 1, bytes, static_cast<FILE*>(file));
    return got == 0 && std::ferror(static_cast<FILE*>(file)) ? -1 : static_cast<ssize_t>(got);
}

off_t seekBuffered(void* file, off_t offset, int whence)
{
    FILE* stream = static_cast<FILE*>(file);
    return fseeko(stream, offset, whence) == 0 ? ftello(stream) : -1;
}

void closeBuffered(void* file)
{
    std::fclose(static_cast<FILE*>(file));
}

bool openBuffered(mpg123_handle* handle, const char* path)
{
    if (mpg123_replace_reader_handle(handle, readBuffered, seekBuffered, closeBuffered) != MPG123_OK)
        return false;
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    std::setvbuf(file, nullptr, _IOFBF, 64 * 1024);
    if (mpg123_open_handle(handle, file) != MPG123_OK) {
        mpg123_close(handle);  // the handle is the reader's now: its cleanup closes the file
        return false;
    }
    return true;
}

class Mpg123Decoder final : public DecoderBackend {
public:
    ~Mpg123Decoder() override { close(); }

    bool open(const std::string& path, unsigned) override
    {
        close();
        m_handle = newHandle();
        if (m_handle)
            mpg123_param(m_handle, MPG123_RESYNC_LIMIT, kFirstFrameSearchBytes, 0.0);
        if (!m_handle || !openBuffered(m_handle, path.c_str())) {
            close();
            return false;
        }
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        if (mpg123_getformat(m_handle, &rate, &channels, &encoding) != MPG123_OK || rate <= 0
            || encoding != MPG123_ENC_FLOAT_32 || (channels != 1 && channels != 2)) {
            close();
            return false;
        }
        mpg123_param(m_handle, MPG123_RESYNC_LIMIT, -1, 0.0);
        m_channels = channels;
        m_format.rate = static_cast<int>(rate);
        m_format.speakers = channels == 1 ? std::vector<Speaker>{Speaker::FrontCenter}
                                          : std::vector<Speaker>{Speaker::FrontLeft, Speaker::FrontRight};
        // The format stays as opened; a file that changes it midway is converted.
        mpg123_format_none(m_handle);
        mpg123_format(m_handle, rate, channels, MPG123_ENC_FLOAT_32);
        // Without a LAME header nothing says the encoder's delay, but the decoder's own is
        // known: the song starts after it, as it does with the header.
        mpg123_frameinfo info{};
        const bool haveInfo = mpg123_info(m_handle, &info) == MPG123_OK;
        long encoderDelay = -1;
        mpg123_getstate(m_handle, MPG123_ENC_DELAY, &encoderDelay, nullptr);
        m_lead = haveInfo && info.layer == 3 && encoderDelay < 0 ? kLayer3DecoderDelay : 0;
        const off_t length = mpg123_length(m_handle);
        m_length = length > m_lead ? static_cast<std::int64_t>(length - m_lead) : -1;
        if (haveInfo)
            boundLength(path, info);
        m_done = false;
        seekFrame(0);
        return true;
    }
    const SourceFormat& format() const override { return m_format; }
    std::int64_t lengthFrames() const override { return m_length; }
    void seekFrame(std::int64_t frame) override
    {
        if (!m_handle)
            return;
        m_done = mpg123_seek(m_handle, static_cast<off_t>(std::max<std::int64_t>(frame, 0)) + m_lead, SEEK_SET) < 0;
    }
    bool decode(std::vector<float>& out) override
    {
        if (!m_handle || m_done)
            return false;
        for (int tries = 0; tries < 64; ++tries) {
            const std::size_t base = out.size();
            out.resize(base + kChunkFrames * m_channels);
            std::size_t bytes = 0;
            const int err = mpg123_read(m_handle, reinterpret_cast<unsigned char*>(out.data() + base),
                                        kChunkFrames * m_channels * sizeof(float), &bytes);
            out.resize(base + bytes / sizeof(float));
            if (bytes > 0)
                return true;
            if (err == MPG123_DONE || (err != MPG123_OK && err != MPG123_NEW_FORMAT)) {
                m_done = true;
                return false;
            }
        }
        m_done = true;
        return false;
    }

private:
    // A length the file's bytes cannot hold even at the format's lowest bit rate (a
    // damaged Xing frame count) gives way to what the size and the first frame's bit
    // rate say, until the song has been decoded to its end.
    void boundLength(const std::string& path, const mpg123_frameinfo& info)
    {
        struct stat st {};
        if (m_length <= 0 || ::stat(path.c_str(), &st) != 0 || st.st_size <= 0)
            return;
        const double bits = static_cast<double>(st.st_size) * 8.0;
        const double minRate = kMinBitRate[info.version == MPG123_1_0 ? 0 : 1];
        if (static_cast<double>(m_length) / m_format.rate <= bits / minRate)
            return;
        const double rate = info.bitrate > 0 ? info.bitrate * 1000.0 : minRate;
        m_length = static_cast<std::int64_t>(bits / rate * m_format.rate);
    }

    void close()
    {
        if (m_handle) {
            mpg123_close(m_handle);
            mpg123_delete(m_handle);
            m_handle = nullptr;
        }
    }

    mpg123_handle* m_handle = nullptr;
    SourceFormat m_format;
    int m_channels = 2;
    std::int64_t m_length = -1;
    off_t m_lead = 0;  // decoder delay taken off here, where libmpg123 does not
    bool m_done = false;
};

std::string text(const mpg123_string* value)
{
    return value && value->p && value->fill > 0 ? std::string(value->p, strnlen(value->p, value->fill)) : std::string();
}

// ID3v1 fields are fixed-size, padded with zeros or spaces, in whatever code page.
std::string fixed(const char* field, std::size_t size)
{
    std::string value(field, strnlen(field, size));
    while (!value.empty() && value.back() == ' ')
        value.pop_back();
    return value;
}

bool readTags(const char* path, std::vector<RawTagSet>* sets)
{
    mpg123_handle* handle = newHandle();
    if (!handle)
        return false;
    // Tags are read on the window thread, and the ID3v2 tag comes before the first frame:
    // a file whose frames are not found near it is not searched to its end for them.
    mpg123_param(handle, MPG123_RESYNC_LIMIT, 1024, 0.0);
    bool ok = openBuffered(handle, path);
    if (ok) {
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        ok = mpg123_getformat(handle, &rate, &channels, &encoding) == MPG123_OK;
    }
    mpg123_id3v1* v1 = nullptr;
    mpg123_id3v2* v2 = nullptr;
    if (ok && mpg123_id3(handle, &v1, &v2) == MPG123_OK) {
        if (v2) {
            RawTagSet set{text(v2->title), text(v2->artist), {}, text(v2->album)};
            for (std::size_t i = 0; i < v2->texts; ++i)
                if (std::memcmp(v2->text[i].id, "TPE2", 4) == 0)
                    set[2] = text(&v2->text[i].text);
            sets->push_back(set);
        }
        if (v1)
            sets->push_back({fixed(v1->title, 30), fixed(v1->artist, 30), {}, fixed(v1->album, 30)});
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    return ok;
}

} // namespace

} // namespace fsound

SORVEL_MODULE_ENTRY const fsound::DecodeApi* sorvel_decode_api()
{
    return fsound::DecodeTable<fsound::Mpg123Decoder, fsound::readTags>();
}
