#include "FfmpegDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

namespace fsound {

namespace {

// Damaged files produce runs of errors; after this many in a row the stream ends.
constexpr int kMaxErrorRun = 64;

// What real audio files use, with room to spare. A header outside these (a WAV that
// says 1 Hz, or 40,000 channels) is damaged, and the file is refused.
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;
constexpr int kMaxChannels = 32;

// One decode converts at most this many frames, so no step holds the decoding lock, or
// memory, for long whatever the frame size.
constexpr int kChunkFrames = 8192;

// Seeks that land after the target are retried this many times, each further back.
constexpr int kMaxSeekRetries = 4;

// The delay of the MPEG-1 polyphase filter banks (analysis and synthesis together),
// of the AC-3 transform's overlap, and of AAC-LC's priming frame. Files of these kinds
// that state no delay of their own carry them in front of the sound.
constexpr int kLayer2Delay = 481;
constexpr int kAc3Delay = 256;
constexpr int kAacDelay = 1024;
constexpr int kAc3FrameSamples = 1536;

// How far ahead of a seek target decoding starts for codecs whose frames depend on the
// ones before: an MP3 frame's bit reservoir reaches up to 511 bytes back (about nine
// frames at 8 kbit/s), a transform codec's first frame only primes its overlap, and
// Opus needs 80 ms to settle.
int preRollOf(int codecId)
{
    switch (codecId) {
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP1: return 16 * 1152;
    case AV_CODEC_ID_AAC: return 2 * 1024;
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3: return 1536;
    case AV_CODEC_ID_OPUS: return 3840;
    case AV_CODEC_ID_VORBIS:
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2: return 2048;
    default: return 0;
    }
}

bool plausibleFormat(int rate, int channels)
{
    return rate >= kMinSampleRate && rate <= kMaxSampleRate && channels >= 1 && channels <= kMaxChannels;
}

bool hasRawExtension(const std::string& path)
{
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos)
        return false;
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".raw" || ext == ".pcm";
}

const char* rawFormatName(unsigned mode)
{
    const bool eightBit = mode & 0x08;
    const bool isUnsigned = mode & 0x80;
    if (eightBit)
        return isUnsigned ? "u8" : "s8";
    return isUnsigned ? "u16le" : "s16le";
}

Speaker speakerOf(AVChannel channel)
{
    switch (channel) {
    case AV_CHAN_FRONT_LEFT: return Speaker::FrontLeft;
    case AV_CHAN_FRONT_RIGHT: return Speaker::FrontRight;
    case AV_CHAN_FRONT_CENTER: return Speaker::FrontCenter;
    case AV_CHAN_LOW_FREQUENCY: return Speaker::LowFrequency;
    case AV_CHAN_BACK_LEFT: return Speaker::BackLeft;
    case AV_CHAN_BACK_RIGHT: return Speaker::BackRight;
    case AV_CHAN_FRONT_LEFT_OF_CENTER: return Speaker::FrontLeftOfCenter;
    case AV_CHAN_FRONT_RIGHT_OF_CENTER: return Speaker::FrontRightOfCenter;
    case AV_CHAN_BACK_CENTER: return Speaker::BackCenter;
    case AV_CHAN_SIDE_LEFT: return Speaker::SideLeft;
    case AV_CHAN_SIDE_RIGHT: return Speaker::SideRight;
    default: return Speaker::Unknown;
    }
}

std::vector<Speaker> speakersOf(const AVChannelLayout& layout)
{
    const int count = layout.nb_channels;
    std::vector<Speaker> speakers(static_cast<std::size_t>(count), Speaker::Unknown);
    AVChannelLayout known;
    if (layout.order == AV_CHANNEL_ORDER_NATIVE || layout.order == AV_CHANNEL_ORDER_CUSTOM)
        av_channel_layout_copy(&known, &layout);
    else
        av_channel_layout_default(&known, count);  // unspecified order for counts without a layout
    if (known.order != AV_CHANNEL_ORDER_UNSPEC)
        for (int i = 0; i < count; ++i)
            speakers[static_cast<std::size_t>(i)] = speakerOf(av_channel_layout_channel_from_index(&known, i));
    av_channel_layout_uninit(&known);
    return speakers;
}

// One sample of any of FFmpeg's sample formats as a float.
float sampleValue(const std::uint8_t* p, AVSampleFormat packed)
{
    switch (packed) {
    case AV_SAMPLE_FMT_U8: return (static_cast<float>(*p) - 128.0f) / 128.0f;
    case AV_SAMPLE_FMT_S16: { std::int16_t v; std::memcpy(&v, p, 2); return static_cast<float>(v) / 32768.0f; }
    case AV_SAMPLE_FMT_S32: { std::int32_t v; std::memcpy(&v, p, 4); return static_cast<float>(v / 2147483648.0); }
    case AV_SAMPLE_FMT_FLT: { float v; std::memcpy(&v, p, 4); return v; }
    case AV_SAMPLE_FMT_DBL: { double v; std::memcpy(&v, p, 8); return static_cast<float>(v); }
    case AV_SAMPLE_FMT_S64: { std::int64_t v; std::memcpy(&v, p, 8); return static_cast<float>(static_cast<double>(v) / 9223372036854775808.0); }
    default: return 0.0f;
    }
}

} // namespace

FfmpegDecoder::~FfmpegDecoder()
{
    closeAll();
}

void FfmpegDecoder::closeAll()
{
    m_holding = false;
    m_heldOffset = 0;
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
}

int FfmpegDecoder::codecDelay() const
{
    const AVCodecParameters* par = m_format->streams[m_streamIndex]->codecpar;
    switch (par->codec_id) {
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
        return kLayer2Delay;
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3:
        return kAc3Delay;
    case AV_CODEC_ID_AAC:
        // Raw ADTS says nothing of its priming; MP4 does, in its edit list.
        return std::strcmp(m_format->iformat->name, "aac") == 0 && par->profile == FF_PROFILE_AAC_LOW ? kAacDelay : 0;
    default:
        return 0;
    }
}

bool FfmpegDecoder::open(const std::string& path, unsigned rawMode)
{
    closeAll();
    m_source = {};
    m_lengthFrames = -1;
    if (path.empty())
        return false;

    int err = avformat_open_input(&m_format, path.c_str(), nullptr, nullptr);
    if (err < 0 && hasRawExtension(path)) {
        AVDictionary* options = nullptr;
        av_dict_set(&options, "sample_rate", "44100", 0);
        av_dict_set(&options, "ch_layout", (rawMode & 0x40) ? "stereo" : "mono", 0);
        err = avformat_open_input(&m_format, path.c_str(), av_find_input_format(rawFormatName(rawMode)), &options);
        av_dict_free(&options);
    }
    if (err < 0)
        return false;
    // A WAV's header ends where its data starts.
    m_dataStart = m_format->pb ? avio_tell(m_format->pb) : -1;
    if (avformat_find_stream_info(m_format, nullptr) < 0) {
        closeAll();
        return false;
    }

    const AVCodec* codec = nullptr;
    m_streamIndex = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m_streamIndex < 0 || !codec) {
        closeAll();
        return false;
    }
    AVStream* stream = m_format->streams[m_streamIndex];
    m_codec = avcodec_alloc_context3(codec);
    if (m_codec)
        m_codec->pkt_timebase = stream->time_base;
    if (!m_codec || avcodec_parameters_to_context(m_codec, stream->codecpar) < 0
        || avcodec_open2(m_codec, codec, nullptr) < 0
        || !plausibleFormat(m_codec->sample_rate, m_codec->ch_layout.nb_channels)) {
        closeAll();
        return false;
    }
    for (unsigned i = 0; i < m_format->nb_streams; ++i)
        if (static_cast<int>(i) != m_streamIndex)
            m_format->streams[i]->discard = AVDISCARD_ALL;

    m_source.rate = m_codec->sample_rate;
    m_source.speakers = speakersOf(m_codec->ch_layout);
    // The WMA decoders use their first packet only to prime the overlap: the first
    // frame they put out is the file's second, so the song starts one frame earlier.
    m_firstFrameEaten = m_codec->codec_id == AV_CODEC_ID_WMAV1 || m_codec->codec_id == AV_CODEC_ID_WMAV2;
    m_delay = codecDelay();
    m_preRoll = preRollOf(m_codec->codec_id);
    std::int64_t durationMs = 0;
    if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        durationMs = av_rescale(m_format->duration, 1000, AV_TIME_BASE);
    else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        durationMs = av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
    if (durationMs > 0)
        m_lengthFrames = std::max<std::int64_t>(av_rescale(durationMs, m_source.rate, 1000) - m_delay, 0);

    // MP4 states its length to the sample (its edit list, or the track's duration): the
    // encoder's padding after it is not put out.
    m_endKnown = false;
    if (std::strncmp(m_format->iformat->name, "mov", 3) == 0 && stream->duration != AV_NOPTS_VALUE
        && stream->duration > 0) {
        m_lengthFrames = av_rescale_q(stream->duration, stream->time_base, AVRational{1, m_source.rate});
        m_endKnown = true;
    }

    // ADPCM in WAV comes in blocks of a fixed size and sample count: FFmpeg's own seek
    // lands seconds off there, while the place of any block is one multiplication away.
    const AVCodecParameters* par = stream->codecpar;
    const bool adpcm = par->codec_id == AV_CODEC_ID_ADPCM_MS || par->codec_id == AV_CODEC_ID_ADPCM_IMA_WAV;
    m_countSamples = false;
    if (adpcm && std::strcmp(m_format->iformat->name, "wav") == 0 && par->block_align > 0 && m_dataStart > 0) {
        const int channels = par->ch_layout.nb_channels;
        m_blockBytes = par->block_align;
        m_blockFrames = par->codec_id == AV_CODEC_ID_ADPCM_MS
            ? (par->block_align - 7 * channels) * 8 / (4 * channels) + 2
            : (par->block_align - 4 * channels) * 8 / (4 * channels) + 1;
        if (m_blockFrames > 0) {
            m_countSamples = true;
            const std::int64_t dataBytes = avio_size(m_format->pb) - m_dataStart;
            if (dataBytes > 0) {
                m_lengthFrames = dataBytes / m_blockBytes * m_blockFrames;
                m_endKnown = true;
            }
        }
    }

    // Raw AC-3 is laid out at a constant bit rate: frame n starts n average frames in,
    // whatever the sizes of the single frames.
    m_bytesPerFrame = 0;
    if (par->codec_id == AV_CODEC_ID_AC3 && std::strcmp(m_format->iformat->name, "ac3") == 0 && par->bit_rate > 0)
        m_bytesPerFrame = static_cast<double>(par->bit_rate) * kAc3FrameSamples / (8.0 * m_source.rate);

    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_packet || !m_frame) {
        closeAll();
        return false;
    }
    m_trimUntilSample = 0;
    m_nextSample = 0;
    m_flushSent = false;
    m_finished = false;
    m_errorRun = 0;
    findOrigin();
    return true;
}

void FfmpegDecoder::findOrigin()
{
    AVStream* stream = m_format->streams[m_streamIndex];
    m_originPts = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    m_firstFramePos = -1;
    for (int packets = 0; packets < 64; ++packets) {
        const int got = avcodec_receive_frame(m_codec, m_frame);
        if (got == 0) {
            if (m_frame->best_effort_timestamp != AV_NOPTS_VALUE) {
                m_originPts = m_frame->best_effort_timestamp;
                if (m_firstFrameEaten && m_frame->sample_rate > 0)
                    m_originPts -= av_rescale_q(m_frame->nb_samples, AVRational{1, m_frame->sample_rate},
                                                stream->time_base);
            }
            // The decoder knows the layout better than the header (AAC, for one).
            if (m_frame->ch_layout.nb_channels == m_source.channels())
                m_source.speakers = speakersOf(m_frame->ch_layout);
            av_frame_unref(m_frame);
            break;
        }
        if (got != AVERROR(EAGAIN) || av_read_frame(m_format, m_packet) < 0)
            break;
        if (m_packet->stream_index == m_streamIndex) {
            if (packets == 0 || m_firstFramePos < 0)
                m_firstFramePos = m_packet->pos;
            avcodec_send_packet(m_codec, m_packet);
        }
        av_packet_unref(m_packet);
    }
    if (m_firstFramePos < 0)
        m_bytesPerFrame = 0;
    seekFrame(0);
}

void FfmpegDecoder::seekFrame(std::int64_t frame)
{
    if (!m_format)
        return;
    frame = std::max<std::int64_t>(frame, 0);
    m_seekRetries = 0;
    m_trimUntilSample = frame;
    seekToSample(frame);
    if (m_endKnown && frame >= m_lengthFrames)
        m_finished = true;
}

void FfmpegDecoder::seekToSample(std::int64_t sample)
{
    AVStream* stream = m_format->streams[m_streamIndex];
    const std::int64_t start = m_originPts;
    int err = -1;
    if (m_countSamples) {
        // Positions are counted from the block the seek lands on.
        const std::int64_t block = std::max<std::int64_t>(sample, 0) / m_blockFrames;
        err = avformat_seek_file(m_format, -1, INT64_MIN, m_dataStart + block * m_blockBytes, INT64_MAX,
                                 AVSEEK_FLAG_BYTE);
        m_nextSample = err >= 0 ? block * m_blockFrames : 0;
        if (err < 0)
            av_seek_frame(m_format, -1, m_dataStart, AVSEEK_FLAG_BYTE);
    } else {
        // Land at or before the target, the codec's delay before it included; what lies
        // before the target is decoded and dropped. Near the start that is before the
        // first sample: an MP4's priming packet lies there (its edit list starts the song
        // after it), and a decoder started on the packet after it has no overlap to add
        // its first frame to, which then fades in from silence.
        const std::int64_t from = sample + m_delay - m_preRoll;
        const std::int64_t target = start + av_rescale_q(from, AVRational{1, m_source.rate}, stream->time_base);
        if (from != 0)
            err = avformat_seek_file(m_format, m_streamIndex, INT64_MIN, target, target, 0);
        if (err < 0)
            err = avformat_seek_file(m_format, m_streamIndex, INT64_MIN, start, start, AVSEEK_FLAG_ANY);
        if (err < 0)
            av_seek_frame(m_format, -1, 0, AVSEEK_FLAG_BYTE | AVSEEK_FLAG_BACKWARD);
        m_nextSample = 0;
    }
    avcodec_flush_buffers(m_codec);
    dropHeldFrame();
    m_silenceFrames = 0;
    m_firstAfterSeek = true;
    m_flushSent = false;
    m_finished = false;
    m_errorRun = 0;
}

void FfmpegDecoder::dropHeldFrame()
{
    if (m_holding)
        av_frame_unref(m_frame);
    m_holding = false;
    m_heldOffset = 0;
    m_heldEnd = 0;
}

bool FfmpegDecoder::takeFrame(AVFrame* frame)
{
    if (!plausibleFormat(frame->sample_rate, frame->ch_layout.nb_channels) || frame->nb_samples <= 0)
        return false;
    // Where this frame starts, in samples from the first sample heard (the codec's delay
    // makes the start of a song negative).
    std::int64_t first = m_nextSample;
    const std::int64_t pts = frame->best_effort_timestamp;
    if (m_bytesPerFrame > 0 && frame->pkt_pos >= m_firstFramePos) {
        first = std::llround(static_cast<double>(frame->pkt_pos - m_firstFramePos) / m_bytesPerFrame)
                * kAc3FrameSamples - m_delay;
    } else if (pts != AV_NOPTS_VALUE && !m_countSamples) {
        AVStream* stream = m_format->streams[m_streamIndex];
        first = av_rescale_q(pts - m_originPts, stream->time_base, AVRational{1, m_source.rate}) - m_delay;
    } else if (m_firstAfterSeek && !m_countSamples) {
        first -= m_delay;
    }
    const bool firstAfterSeek = m_firstAfterSeek;
    m_firstAfterSeek = false;
    m_nextSample = first + frame->nb_samples;

    if (m_trimUntilSample > 0 && firstAfterSeek && first > m_trimUntilSample && m_seekRetries < kMaxSeekRetries
        && !m_countSamples) {
        // The demuxer landed after the target (files without an index guess by byte
        // position): go further back and decode forward from there.
        ++m_seekRetries;
        const std::int64_t back = static_cast<std::int64_t>(m_source.rate) << m_seekRetries;
        seekToSample(m_trimUntilSample - (first - m_trimUntilSample) - back);
        return false;
    }
    if (firstAfterSeek && first > m_trimUntilSample) {
        // Sound before this frame cannot be decoded (the start of a WMA file, or a seek
        // that found nothing earlier): its time passes as silence, so positions hold.
        m_silenceFrames = std::min<std::int64_t>(first - m_trimUntilSample, m_source.rate);
    }
    int skip = 0;
    if (m_trimUntilSample > first) {
        if (m_nextSample <= m_trimUntilSample)
            return false;  // wholly before the seek target
        skip = static_cast<int>(m_trimUntilSample - first);
    }
    m_trimUntilSample = std::numeric_limits<std::int64_t>::min();
    int end = frame->nb_samples;
    if (m_endKnown && m_nextSample > m_lengthFrames)
        end = static_cast<int>(std::max<std::int64_t>(m_lengthFrames - first, skip));
    if (end <= skip)
        return false;
    m_holding = true;
    m_heldOffset = skip;
    m_heldEnd = end;
    return true;
}

void FfmpegDecoder::convertHeld(std::vector<float>& out)
{
    const AVFrame* frame = m_frame;
    const int count = std::min(m_heldEnd - m_heldOffset, kChunkFrames);
    const int channels = m_source.channels();
    const int sourceChannels = frame->ch_layout.nb_channels;
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    const int bytes = av_get_bytes_per_sample(format);
    const std::size_t base = out.size();
    out.resize(base + static_cast<std::size_t>(count) * channels, 0.0f);
    float* dst = out.data() + base;
    // A stream whose channel count changes keeps the count it opened with.
    const int shared = std::min(channels, sourceChannels);
    for (int c = 0; c < shared; ++c) {
        const std::uint8_t* plane = planar ? frame->extended_data[c] : frame->extended_data[0];
        const int step = planar ? bytes : bytes * sourceChannels;
        const std::uint8_t* src = plane + static_cast<std::ptrdiff_t>(m_heldOffset) * step + (planar ? 0 : c * bytes);
        for (int i = 0; i < count; ++i, src += step)
            dst[static_cast<std::size_t>(i) * channels + c] = sampleValue(src, packed);
    }
    m_heldOffset += count;
    if (m_heldOffset >= m_heldEnd)
        dropHeldFrame();
}

bool FfmpegDecoder::decode(std::vector<float>& out)
{
    if (!m_format || m_finished)
        return false;
    for (;;) {
        if (m_silenceFrames > 0) {
            const std::int64_t frames = std::min<std::int64_t>(m_silenceFrames, kChunkFrames);
            out.resize(out.size() + static_cast<std::size_t>(frames * m_source.channels()), 0.0f);
            m_silenceFrames -= frames;
            return true;
        }
        if (m_holding) {
            convertHeld(out);
            return true;
        }
        int err = avcodec_receive_frame(m_codec, m_frame);
        if (err == 0) {
            m_errorRun = 0;
            if (!takeFrame(m_frame))
                av_frame_unref(m_frame);
            continue;
        }
        if (err == AVERROR_EOF) {
            m_finished = true;
            return false;
        }
        if (err != AVERROR(EAGAIN) && ++m_errorRun > kMaxErrorRun) {
            m_finished = true;
            return false;
        }
        if (m_flushSent) {
            // The decoder wants input after end of file: nothing more will come.
            m_finished = true;
            return false;
        }

        err = av_read_frame(m_format, m_packet);
        if (err < 0) {
            // End of file, or a read error we treat as one: drain the decoder.
            avcodec_send_packet(m_codec, nullptr);
            m_flushSent = true;
            continue;
        }
        if (m_packet->stream_index != m_streamIndex) {
            av_packet_unref(m_packet);
            continue;
        }
        err = avcodec_send_packet(m_codec, m_packet);
        av_packet_unref(m_packet);
        if (err < 0 && err != AVERROR(EAGAIN) && ++m_errorRun > kMaxErrorRun) {
            m_finished = true;
            return false;
        }
    }
}

} // namespace fsound
