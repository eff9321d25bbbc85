// Engine figures: (a) decoding throughput of each format's own decoder and of FFmpeg's,
// through the engine, against FFmpeg alone, (b) CPU seconds per minute of real-time
// playback with the spectrum thread drawing, (c) resident memory around open/play/stop
// cycles, (d) seek to first sample: from a seek until the decoder hands over the sound
// at the target. Arguments: playback seconds (15) and cycles (1,000).
// Playback goes to whatever SDL opens (set SDL_AUDIODRIVER); when a PulseAudio or
// PipeWire server runs, its CPU time is counted too.

#include "Decoder.h"
#include "FrameSink.h"
#include "Ogg.h"
#include "support/AudioFixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QCoreApplication>
#include <QTemporaryDir>

#include <dirent.h>
#include <filesystem>
#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double ffmpegOnlySeconds(const std::string& path)
{
    const auto start = Clock::now();
    AVFormatContext* format = nullptr;
    avformat_open_input(&format, path.c_str(), nullptr, nullptr);
    avformat_find_stream_info(format, nullptr);
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(ctx, format->streams[index]->codecpar);
    avcodec_open2(ctx, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(ctx, packet) >= 0)
            while (avcodec_receive_frame(ctx, frame) == 0)
                av_frame_unref(frame);
        av_packet_unref(packet);
    }
    avcodec_send_packet(ctx, nullptr);
    while (avcodec_receive_frame(ctx, frame) == 0)
        av_frame_unref(frame);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    avformat_close_input(&format);
    return secondsSince(start);
}

double engineSeconds(const std::string& path, fsound::Decoder::Choice choice)
{
    const auto start = Clock::now();
    fsound::Decoder decoder;
    decoder.open(path, 44100, 2, 0x130, choice);
    std::vector<float> out;
    out.reserve(1 << 16);
    while (true) {
        out.clear();
        if (!decoder.decodeChunk(out))
            break;
    }
    return secondsSince(start);
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of every process called `name`, from /proc.
double cpuSecondsOf(const std::string& name)
{
    double total = 0;
    DIR* proc = opendir("/proc");
    if (!proc)
        return 0;
    while (dirent* entry = readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat("/proc/" + pid + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || line.substr(open + 1, close - open - 1) != name)
            continue;
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14)
                utime = std::stol(field);
            if (i == 15)
                stime = std::stol(field);
        }
        total += static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK);
    }
    closedir(proc);
    return total;
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    av_log_set_level(AV_LOG_QUIET);
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    std::vector<std::string> songs;
    for (const char* kind : {"mp3", "flac", "ogg", "opus", "wav"}) {
        const std::string sub = folder + "/" + kind;
        std::filesystem::create_directories(sub);
        songs.push_back(fixtures::MakeFile(sub, kind, {std::string(kind) == "opus" ? 48000 : 44100, 2, 120.0},
                                           fixtures::Noise(1)));
    }
    const std::string mp3 = songs[0];

    using Choice = fsound::Decoder::Choice;
    std::printf("(a) decoding 120 s of audio to 44.1 kHz stereo, best of 3 runs\n");
    for (const std::string& path : songs) {
        double own = 1e9, viaFfmpeg = 1e9, plain = 1e9;
        for (int i = 0; i < 3; ++i) {
            own = std::min(own, engineSeconds(path, Choice::Dedicated));
            viaFfmpeg = std::min(viaFfmpeg, engineSeconds(path, Choice::Ffmpeg));
            plain = std::min(plain, ffmpegOnlySeconds(path));
        }
        std::printf("    %-5s: own decoder %.3f s (%.0fx real time), FFmpeg's through the engine %.3f s (%.0fx), "
                    "FFmpeg alone %.3f s\n",
                    path.substr(path.rfind('.') + 1).c_str(), own, 120.0 / own, viaFfmpeg, 120.0 / viaFfmpeg, plain);
    }

    std::printf("(d) seek to the first sample at the target, median of 25 seeks spread over the song\n");
    for (const std::string& path : songs) {
        for (Choice choice : {Choice::Dedicated, Choice::Ffmpeg}) {
            fsound::Decoder decoder;
            decoder.open(path, 44100, 2, 0x130, choice);
            std::vector<double> ms;
            std::vector<float> out;
            for (int i = 0; i < 25; ++i) {
                const auto start = Clock::now();
                decoder.seekMs((i * 7919) % 115000);
                out.clear();
                decoder.decodeChunk(out);
                ms.push_back(secondsSince(start) * 1000);
            }
            std::sort(ms.begin(), ms.end());
            std::printf("    %-5s %-6s: %.2f ms (max %.2f)\n", path.substr(path.rfind('.') + 1).c_str(),
                        choice == Choice::Ffmpeg ? "FFmpeg" : "own", ms[ms.size() / 2], ms.back());
        }
    }

    const double seconds = argc > 1 ? std::atof(argv[1]) : 15.0;
    SpectrumFrameSink sink;
    std::vector<std::uint8_t> background(SpectrumFrameSink::kBytes, 40);
    auto* player = new COgg(&sink, background.data());
    player->m_InitSound();
    player->m_StartThread();
    player->m_OpenOGG(QString::fromStdString(mp3));
    player->m_PlayOGG();
    const double serverBefore = cpuSecondsOf("pulseaudio") + cpuSecondsOf("pipewire");
    const double cpuBefore = processCpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = processCpuSeconds() - cpuBefore;
    const double server = cpuSecondsOf("pulseaudio") + cpuSecondsOf("pipewire") - serverBefore;
    std::printf("(b) playback of MP3 for %.0f s (%s), %llu spectrum frames: player %.3f CPU s per minute, "
                "sound server %.3f CPU s per minute\n",
                seconds, fsound::UsingSilentSink() ? "silent sink" : "SDL device",
                static_cast<unsigned long long>(sink.FrameCount()), cpu * 60.0 / seconds, server * 60.0 / seconds);
    player->m_ControlOGG(3);

    const std::string wav = fixtures::MakeFile(folder, "wav", {44100, 2, 2.0}, fixtures::Tone(440));
    for (int i = 0; i < 50; ++i) {  // warm-up: first-use allocations of FFmpeg and the allocator
        player->m_OpenOGG(QString::fromStdString(mp3));
        player->m_PlayOGG();
        player->m_ControlOGG(3);
    }
    const int cycles = argc > 2 ? std::atoi(argv[2]) : 1000;
    const long before = residentKiB();
    for (int i = 0; i < cycles; ++i) {
        player->m_OpenOGG(QString::fromStdString(i % 2 ? mp3 : wav));
        player->m_PlayOGG();
        player->m_ControlOGG(3);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const long after = residentKiB();
    std::printf("(c) resident memory around %d open/play/stop cycles: %ld KiB before, %ld KiB after (%+ld KiB)\n",
                cycles, before, after, after - before);
    delete player;
    fsound::Shutdown();
    return 0;
}
