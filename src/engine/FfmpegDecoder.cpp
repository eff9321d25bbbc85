#include "FfmpegDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace fsound {

namespace {

// Damaged files produce runs of errors; after this many in a row the stream ends.
constexpr int kMaxErrorRun = 64;

// What real audio files use, with room to spare. A header outside these (a WAV that
// says 1 Hz, or 40,000 channels) would make the resampler produce hours of sound from
// one packet, so such files are refused.
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;
constexpr int kMaxChannels = 32;

// One decodeChunk converts at most about this many output frames, so no step holds
// the decoding lock, or memory, for long whatever the input rate.
constexpr int kChunkOutputFrames = 8192;

// Seeks that land after the target are retried this many times, each further back.
constexpr int kMaxSeekRetries = 4;

bool plausibleFormat(int rate, int channels)
{
    return rate >= kMinSampleRate && rate <= kMaxSampleRate && channels >= 1 && channels <= kMaxChannels;
}

bool isRegularFile(const std::string& path, std::int64_t& bytes)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    bytes = st.st_size;
    return true;
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

} // namespace

FfmpegDecoder::~FfmpegDecoder()
{
    closeAll();
}

void FfmpegDecoder::closeAll()
{
    m_holding = false;
    m_heldOffset = 0;
    swr_free(&m_swr);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
}

bool FfmpegDecoder::open(const std::string& path, int outRate, int outChannels, unsigned rawMode)
{
    closeAll();
    m_outRate = outRate;
    m_outChannels = outChannels;
    if (path.empty() || !isRegularFile(path, m_fileBytes))
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

    m_sampleRate = m_codec->sample_rate;
    // The WMA decoders use their first packet only to prime the overlap: the first
    // frame they put out is the file's second, so the song starts one frame earlier.
    m_firstFrameEaten = m_codec->codec_id == AV_CODEC_ID_WMAV1 || m_codec->codec_id == AV_CODEC_ID_WMAV2;
    if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        m_durationMs = av_rescale(m_format->duration, 1000, AV_TIME_BASE);
    else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        m_durationMs = av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
    else
        m_durationMs = 0;

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
    for (int packets = 0; packets < 64; ++packets) {
        const int got = avcodec_receive_frame(m_codec, m_frame);
        if (got == 0) {
            if (m_frame->best_effort_timestamp != AV_NOPTS_VALUE) {
                m_originPts = m_frame->best_effort_timestamp;
                if (m_firstFrameEaten && m_frame->sample_rate > 0)
                    m_originPts -= av_rescale_q(m_frame->nb_samples, AVRational{1, m_frame->sample_rate},
                                                m_format->streams[m_streamIndex]->time_base);
            }
            av_frame_unref(m_frame);
            break;
        }
        if (got != AVERROR(EAGAIN) || av_read_frame(m_format, m_packet) < 0)
            break;
        if (m_packet->stream_index == m_streamIndex)
            avcodec_send_packet(m_codec, m_packet);
        av_packet_unref(m_packet);
    }
    seekMs(0);
}

void FfmpegDecoder::seekMs(std::int64_t ms)
{
    if (!m_format)
        return;
    ms = std::max<std::int64_t>(ms, 0);
    m_seekRetries = 0;
    m_trimUntilSample = av_rescale(ms, m_sampleRate, 1000);
    seekToSample(m_trimUntilSample);
}

void FfmpegDecoder::seekToSample(std::int64_t sample)
{
    AVStream* stream = m_format->streams[m_streamIndex];
    const std::int64_t start = m_originPts;
    const std::int64_t target
        = start + av_rescale_q(std::max<std::int64_t>(sample, 0), AVRational{1, m_sampleRate}, stream->time_base);

    // Land at or before the target; what lies before it is decoded and dropped.
    int err = sample <= 0 ? -1 : avformat_seek_file(m_format, m_streamIndex, INT64_MIN, target, target, 0);
    if (err < 0)
        err = avformat_seek_file(m_format, m_streamIndex, INT64_MIN, start, start, AVSEEK_FLAG_ANY);
    if (err < 0)
        av_seek_frame(m_format, -1, 0, AVSEEK_FLAG_BYTE | AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(m_codec);
    swr_free(&m_swr);  // drops what the resampler still held
    m_swrInRate = 0;
    dropHeldFrame();
    m_silenceFrames = 0;
    m_firstAfterSeek = true;
    m_nextSample = 0;
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
}

bool FfmpegDecoder::configureResampler(const AVFrame* frame)
{
    AVChannelLayout inLayout;
    if (frame->ch_layout.nb_channels > 0 && frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_copy(&inLayout, &frame->ch_layout);
    else
        av_channel_layout_default(&inLayout, std::max(1, frame->ch_layout.nb_channels));
    const std::uint64_t mask = inLayout.order == AV_CHANNEL_ORDER_NATIVE ? inLayout.u.mask : 0;

    if (m_swr && m_swrInRate == frame->sample_rate && m_swrInFormat == frame->format
        && m_swrInChannels == inLayout.nb_channels && m_swrInMask == mask) {
        av_channel_layout_uninit(&inLayout);
        return true;
    }
    swr_free(&m_swr);
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, m_outChannels);
    int err = swr_alloc_set_opts2(&m_swr, &outLayout, AV_SAMPLE_FMT_FLT, m_outRate, &inLayout,
                                  static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
    if (err >= 0)
        err = swr_init(m_swr);
    m_swrInRate = frame->sample_rate;
    m_swrInFormat = frame->format;
    m_swrInChannels = inLayout.nb_channels;
    m_swrInMask = mask;
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (err < 0) {
        swr_free(&m_swr);
        return false;
    }
    return true;
}

bool FfmpegDecoder::takeFrame(AVFrame* frame)
{
    if (!plausibleFormat(frame->sample_rate, frame->ch_layout.nb_channels) || frame->nb_samples <= 0)
        return false;
    // Where this frame starts, in input samples from the song's start.
    std::int64_t first = m_nextSample;
    const std::int64_t pts = frame->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE) {
        AVStream* stream = m_format->streams[m_streamIndex];
        first = av_rescale_q(pts - m_originPts, stream->time_base, AVRational{1, frame->sample_rate});
    }
    const bool firstAfterSeek = m_firstAfterSeek;
    m_firstAfterSeek = false;
    m_nextSample = first + frame->nb_samples;

    int skip = 0;
    if (m_trimUntilSample > 0) {
        if (firstAfterSeek && first > m_trimUntilSample && m_seekRetries < kMaxSeekRetries) {
            // The demuxer landed after the target (files without an index guess by byte
            // position): go further back and decode forward from there.
            ++m_seekRetries;
            const std::int64_t back = static_cast<std::int64_t>(m_sampleRate) << m_seekRetries;
            seekToSample(m_trimUntilSample - (first - m_trimUntilSample) - back);
            return false;
        }
    }
    if (firstAfterSeek && first > m_trimUntilSample) {
        // Sound before this frame cannot be decoded (the start of a WMA file, or a seek
        // that found nothing earlier): its time passes as silence, so positions hold.
        const std::int64_t gap = std::min<std::int64_t>(first - m_trimUntilSample, frame->sample_rate);
        m_silenceFrames = av_rescale(gap, m_outRate, frame->sample_rate);
    }
    if (m_trimUntilSample > 0) {
        if (m_trimUntilSample > first) {
            if (m_nextSample <= m_trimUntilSample)
                return false;  // wholly before the seek target
            skip = static_cast<int>(m_trimUntilSample - first);
        }
    }
    m_trimUntilSample = 0;
    if (!configureResampler(frame))
        return false;
    m_holding = true;
    m_heldOffset = skip;
    return true;
}

bool FfmpegDecoder::convertHeld(std::vector<float>& out)
{
    AVFrame* frame = m_frame;
    const int left = frame->nb_samples - m_heldOffset;
    // Input samples for about kChunkOutputFrames of output.
    const int slice = static_cast<int>(std::clamp<std::int64_t>(
        av_rescale(kChunkOutputFrames, frame->sample_rate, m_outRate), 1, left));
    const int capacity = swr_get_out_samples(m_swr, slice) + 32;
    const std::size_t base = out.size();
    out.resize(base + static_cast<std::size_t>(capacity) * m_outChannels);
    std::uint8_t* dst = reinterpret_cast<std::uint8_t*>(out.data() + base);
    const int bytesPerSample = av_get_bytes_per_sample(static_cast<AVSampleFormat>(frame->format));
    const std::uint8_t* src[AV_NUM_DATA_POINTERS] = {};
    const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format));
    const int planes = planar ? frame->ch_layout.nb_channels : 1;
    const int stride = planar ? bytesPerSample : bytesPerSample * frame->ch_layout.nb_channels;
    for (int p = 0; p < planes && p < AV_NUM_DATA_POINTERS; ++p)
        src[p] = frame->extended_data[p] + static_cast<std::ptrdiff_t>(m_heldOffset) * stride;
    const int made = swr_convert(m_swr, &dst, capacity, src, slice);
    out.resize(base + static_cast<std::size_t>(std::max(made, 0)) * m_outChannels);
    m_heldOffset += slice;
    if (m_heldOffset >= frame->nb_samples)
        dropHeldFrame();
    return made > 0;
}

bool FfmpegDecoder::drainResampler(std::vector<float>& out)
{
    if (!m_swr)
        return false;
    const int capacity = 4096;
    const std::size_t base = out.size();
    out.resize(base + static_cast<std::size_t>(capacity) * m_outChannels);
    std::uint8_t* dst = reinterpret_cast<std::uint8_t*>(out.data() + base);
    const int made = swr_convert(m_swr, &dst, capacity, nullptr, 0);
    out.resize(base + static_cast<std::size_t>(std::max(made, 0)) * m_outChannels);
    return made > 0;
}

bool FfmpegDecoder::decodeChunk(std::vector<float>& out)
{
    if (!m_format || m_finished)
        return false;
    for (;;) {
        if (m_silenceFrames > 0) {
            const std::int64_t frames = std::min<std::int64_t>(m_silenceFrames, kChunkOutputFrames);
            out.resize(out.size() + static_cast<std::size_t>(frames * m_outChannels), 0.0f);
            m_silenceFrames -= frames;
            return true;
        }
        if (m_holding) {
            if (convertHeld(out))
                return true;
            continue;
        }
        int err = avcodec_receive_frame(m_codec, m_frame);
        if (err == 0) {
            m_errorRun = 0;
            if (!takeFrame(m_frame))
                av_frame_unref(m_frame);
            continue;
        }
        if (err == AVERROR_EOF) {
            if (drainResampler(out))
                return true;
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
