#include "AudioFixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <cstdio>
#include <fstream>
#include <memory>
#include <numbers>

namespace fixtures {

namespace {

std::int16_t toS16(float v)
{
    v = std::fmax(-1.0f, std::fmin(1.0f, v));
    return static_cast<std::int16_t>(std::lrint(v * 32767.0f));
}

void putLE(std::ofstream& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putBE(std::ofstream& out, std::uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// 80-bit IEEE extended, as AIFF stores its sample rate.
void putExtended(std::ofstream& out, double value)
{
    int exponent = 0;
    double mantissa = std::frexp(value, &exponent);  // value = mantissa * 2^exponent, 0.5 <= m < 1
    const std::uint64_t bits = static_cast<std::uint64_t>(std::ldexp(mantissa, 64));
    putBE(out, static_cast<std::uint32_t>(16382 + exponent), 2);
    putBE(out, static_cast<std::uint32_t>(bits >> 32), 4);
    putBE(out, static_cast<std::uint32_t>(bits & 0xFFFFFFFFu), 4);
}

std::int64_t frameCount(const Clip& clip)
{
    return static_cast<std::int64_t>(std::llround(clip.seconds * clip.rate));
}

} // namespace

Signal Tone(double hz, double amplitude, int rate)
{
    return [=](std::int64_t frame, int) {
        return static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(frame) / rate));
    };
}

Signal Noise(std::uint32_t seed, double amplitude)
{
    // The signal is asked for frames in order; state carries the generator and filter.
    auto state = std::make_shared<std::pair<std::uint32_t, double>>(seed, 0.0);
    auto lastFrame = std::make_shared<std::int64_t>(-1);
    auto lastValue = std::make_shared<float>(0.0f);
    return [=](std::int64_t frame, int) {
        if (frame != *lastFrame) {
            state->first = state->first * 1664525u + 1013904223u;
            const double white = (static_cast<double>(state->first >> 8) / 16777216.0) * 2.0 - 1.0;
            state->second = 0.7 * state->second + 0.3 * white;
            *lastFrame = frame;
            *lastValue = static_cast<float>(amplitude * state->second * 2.0);
        }
        return *lastValue;
    };
}

bool WriteWav(const std::string& path, const Clip& clip, const Signal& signal)
{
    std::ofstream out(path, std::ios::binary);
    if (!out)
        return false;
    const std::int64_t frames = frameCount(clip);
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * clip.channels * 2);
    out.write("RIFF", 4);
    putLE(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    putLE(out, 16, 4);
    putLE(out, 1, 2);
    putLE(out, static_cast<std::uint32_t>(clip.channels), 2);
    putLE(out, static_cast<std::uint32_t>(clip.rate), 4);
    putLE(out, static_cast<std::uint32_t>(clip.rate * clip.channels * 2), 4);
    putLE(out, static_cast<std::uint32_t>(clip.channels * 2), 2);
    putLE(out, 16, 2);
    out.write("data", 4);
    putLE(out, dataBytes, 4);
    for (std::int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < clip.channels; ++c)
            putLE(out, static_cast<std::uint16_t>(toS16(signal(f, c))), 2);
    return static_cast<bool>(out);
}

bool WriteAiff(const std::string& path, const Clip& clip, const Signal& signal)
{
    std::ofstream out(path, std::ios::binary);
    if (!out)
        return false;
    const std::int64_t frames = frameCount(clip);
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * clip.channels * 2);
    out.write("FORM", 4);
    putBE(out, 4 + 26 + 16 + dataBytes, 4);
    out.write("AIFFCOMM", 8);
    putBE(out, 18, 4);
    putBE(out, static_cast<std::uint32_t>(clip.channels), 2);
    putBE(out, static_cast<std::uint32_t>(frames), 4);
    putBE(out, 16, 2);
    putExtended(out, clip.rate);
    out.write("SSND", 4);
    putBE(out, 8 + dataBytes, 4);
    putBE(out, 0, 4);
    putBE(out, 0, 4);
    for (std::int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < clip.channels; ++c)
            putBE(out, static_cast<std::uint16_t>(toS16(signal(f, c))), 2);
    return static_cast<bool>(out);
}

bool Encode(const std::string& path, const char* container, const char* codecName, int bitRate, const Clip& clip,
            const Signal& signal, const std::vector<std::pair<std::string, std::string>>& metadata)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(codecName);
    if (!codec)
        return false;
    AVFormatContext* format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, container, path.c_str()) < 0)
        return false;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    AVStream* stream = avformat_new_stream(format, nullptr);
    SwrContext* swr = nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    bool ok = false;

    auto drain = [&](AVFrame* input) {
        if (avcodec_send_frame(ctx, input) < 0)
            return false;
        for (;;) {
            const int err = avcodec_receive_packet(ctx, packet);
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
                return true;
            if (err < 0)
                return false;
            av_packet_rescale_ts(packet, ctx->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0)
                return false;
        }
    };

    do {
        if (!ctx || !stream || !frame || !packet)
            break;
        ctx->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        ctx->sample_rate = clip.rate;
        av_channel_layout_default(&ctx->ch_layout, clip.channels);
        if (bitRate > 0)
            ctx->bit_rate = bitRate;
        ctx->time_base = AVRational{1, clip.rate};
        if (format->oformat->flags & AVFMT_GLOBALHEADER)
            ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(ctx, codec, nullptr) < 0)
            break;
        if (avcodec_parameters_from_context(stream->codecpar, ctx) < 0)
            break;
        stream->time_base = ctx->time_base;
        for (const auto& [key, value] : metadata)
            av_dict_set(&format->metadata, key.c_str(), value.c_str(), 0);
        if (avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
            break;
        if (avformat_write_header(format, nullptr) < 0)
            break;

        AVChannelLayout layout;
        av_channel_layout_default(&layout, clip.channels);
        if (swr_alloc_set_opts2(&swr, &layout, ctx->sample_fmt, clip.rate, &layout, AV_SAMPLE_FMT_FLT, clip.rate, 0,
                                nullptr) < 0
            || swr_init(swr) < 0)
            break;

        const int chunk = ctx->frame_size > 0 ? ctx->frame_size : 1024;
        const std::int64_t total = frameCount(clip);
        std::vector<float> interleaved(static_cast<std::size_t>(chunk) * clip.channels);
        bool failed = false;
        for (std::int64_t pos = 0; pos < total && !failed; pos += chunk) {
            const int n = static_cast<int>(std::min<std::int64_t>(chunk, total - pos));
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < clip.channels; ++c)
                    interleaved[static_cast<std::size_t>(i) * clip.channels + c] = signal(pos + i, c);
            av_frame_unref(frame);
            frame->nb_samples = n;
            frame->format = ctx->sample_fmt;
            frame->sample_rate = clip.rate;
            av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
            if (av_frame_get_buffer(frame, 0) < 0) {
                failed = true;
                break;
            }
            const std::uint8_t* src = reinterpret_cast<const std::uint8_t*>(interleaved.data());
            swr_convert(swr, frame->data, n, &src, n);
            frame->pts = pos;
            failed = !drain(frame);
        }
        if (failed || !drain(nullptr))
            break;
        ok = av_write_trailer(format) >= 0;
    } while (false);

    swr_free(&swr);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    if (format && format->pb)
        avio_closep(&format->pb);
    avformat_free_context(format);
    return ok;
}

std::string MakeFile(const std::string& folder, const std::string& kind, const Clip& clip, const Signal& signal)
{
    const std::string ext = kind.rfind("adpcm", 0) == 0 ? "wav" : kind == "mp3-8k" ? "mp3" : kind;
    const std::string path = folder + "/tone." + ext;
    bool ok = false;
    if (kind == "wav")
        ok = WriteWav(path, clip, signal);
    else if (kind == "aiff")
        ok = WriteAiff(path, clip, signal);
    else if (kind == "mp3")
        ok = Encode(path, "mp3", "libmp3lame", 128000, clip, signal);
    else if (kind == "mp2")
        ok = Encode(path, "mp2", "mp2", 192000, clip, signal);
    else if (kind == "ogg")
        ok = Encode(path, "ogg", "libvorbis", 0, clip, signal);
    else if (kind == "wma")
        ok = Encode(path, "asf", "wmav2", 128000, clip, signal);
    else if (kind == "flac")
        ok = Encode(path, "flac", "flac", 0, clip, signal);
    else if (kind == "opus")
        ok = Encode(path, "ogg", "libopus", 128000, clip, signal);
    else if (kind == "ac3")
        ok = Encode(path, "ac3", "ac3", 192000, clip, signal);
    else if (kind == "aac")
        ok = Encode(path, "adts", "aac", 128000, clip, signal);
    else if (kind == "adpcm_ms" || kind == "adpcm_ima_wav")
        ok = Encode(path, "wav", kind.c_str(), 0, clip, signal);
    else if (kind == "mp3-8k")
        ok = Encode(path, "mp3", "libmp3lame", 8000, clip, signal);
    else if (kind == "m4a")
        ok = Encode(path, "ipod", "aac", 128000, clip, signal);
    return ok ? path : std::string();
}

bool WriteRandomBytes(const std::string& path, std::size_t bytes, std::uint32_t seed)
{
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < bytes; ++i) {
        seed = seed * 1664525u + 1013904223u;
        out.put(static_cast<char>(seed >> 24));
    }
    return static_cast<bool>(out);
}

bool Truncate(const std::string& from, const std::string& to, std::size_t bytes)
{
    std::ifstream in(from, std::ios::binary);
    std::vector<char> data(bytes);
    in.read(data.data(), static_cast<std::streamsize>(bytes));
    std::ofstream out(to, std::ios::binary);
    out.write(data.data(), in.gcount());
    return static_cast<bool>(out);
}

bool ForgetFlacLength(const std::string& path)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    char head[26] = {};
    if (!file.read(head, sizeof head) || std::string(head, 4) != "fLaC")
        return false;
    // The 36-bit total sits in the low nibble of byte 21 and bytes 22 to 25.
    head[21] = static_cast<char>(head[21] & 0xF0);
    for (int i = 22; i < 26; ++i)
        head[i] = 0;
    file.seekp(0);
    file.write(head, sizeof head);
    return static_cast<bool>(file);
}

bool OverwriteBigEndian32(const std::string& path, std::size_t offset, std::uint32_t value)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file)
        return false;
    const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 8), static_cast<char>(value)};
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(bytes, 4);
    return static_cast<bool>(file);
}

std::string EncodeWithTool(const std::string& wav, const std::string& kind, const std::string& stem)
{
    const auto slash = wav.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : wav.substr(0, slash);
    struct Tool {
        const char* kind;
        const char* ext;
        const char* command;  // %1 the WAV, %2 the output
    };
    static const Tool tools[] = {
        {"lame", "mp3", "lame --quiet -b 192 '%1' '%2'"},
        {"lame-bare", "mp3", "lame --quiet -t -b 192 '%1' '%2'"},
        {"flac", "flac", "flac --silent --force -o '%2' '%1'"},
        {"oggenc", "ogg", "oggenc --quiet -q 5 -o '%2' '%1'"},
        {"opusenc", "opus", "opusenc --quiet --bitrate 128 '%1' '%2'"},
        {"ffmpeg-m4a", "m4a", "ffmpeg -nostdin -loglevel error -y -i '%1' -c:a aac -b:a 128k '%2'"},
        {"ffmpeg-ac3", "ac3", "ffmpeg -nostdin -loglevel error -y -i '%1' -c:a ac3 -b:a 192k '%2'"},
    };
    for (const Tool& tool : tools) {
        if (kind != tool.kind)
            continue;
        const std::string out = folder + "/" + stem + "." + tool.ext;
        std::string command = tool.command;
        command.replace(command.find("%1"), 2, wav);
        command.replace(command.find("%2"), 2, out);
        command += " >/dev/null 2>&1";
        return std::system(command.c_str()) == 0 ? out : std::string();
    }
    return {};
}

bool ScrambleBytes(const std::string& path, std::size_t offset, std::size_t count, std::uint32_t seed)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file)
        return false;
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<char>(seed >> 24);
    }
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(bytes.data(), static_cast<std::streamsize>(count));
    return static_cast<bool>(file);
}

bool PutByte(const std::string& path, std::size_t offset, std::uint8_t value)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file)
        return false;
    file.seekp(static_cast<std::streamoff>(offset));
    file.put(static_cast<char>(value));
    return static_cast<bool>(file);
}

long long FindBytes(const std::string& path, const std::string& needle, std::size_t from)
{
    std::ifstream in(path, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto at = data.find(needle, from);
    return at == std::string::npos ? -1 : static_cast<long long>(at);
}

bool AppendFile(const std::string& path, const std::string& tail)
{
    std::ifstream in(tail, std::ios::binary);
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << in.rdbuf();
    return static_cast<bool>(in) && static_cast<bool>(out);
}

} // namespace fixtures
