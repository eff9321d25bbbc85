#include "fsound.h"

#include "Library.h"
#include "ThreadName.h"

#include <chrono>
#include <future>

#include <sys/eventfd.h>

namespace fsound {
namespace {

char g_fftUnit;  // the FFT unit's identity; it has no state of its own

} // namespace
} // namespace fsound

using namespace fsound;

signed char FSOUND_Init(int mixrate, int maxchannels, unsigned int /*flags*/)
{
    if (g_library.load())
        return 1;
    auto lib = std::make_unique<Library>();
    lib->rate = mixrate > 0 ? mixrate : 44100;
    lib->channels.assign(static_cast<std::size_t>(std::clamp(maxchannels, 1, 64)), nullptr);
    lib->scratch.assign(kScratchFrames * 2, 0.0f);
    Library* raw = lib.get();
    auto callback = [raw](float* out, std::size_t frames, bool pad) { return raw->mix(out, frames, pad); };
    lib->newsFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    auto listener = [raw] { raw->tellNews(); };
    lib->output = OpenOutput({{}, lib->rate, callback, listener});
    lib->opener = std::make_unique<OpenThread>();
    lib->decoderThread = std::thread([raw] {
        NameThisThread("sorvel-decoder");
        raw->feed();
    });
    g_library.store(lib.release());
    return 1;
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* name, unsigned int mode, int /*offset*/, int /*length*/)
{
    return fsound::StreamOpen(name, mode, {});
}

FSOUND_STREAM* fsound::StreamOpen(const char* name, unsigned int mode, const ReplayGainRequest& replayGain)
{
    Library* lib = g_library.load();
    if (!lib || !name || !*name) {
        setOpenError({OpenError::NotAudio, {}});
        return nullptr;
    }
    // The opener opens it; most files are open within the wait, and the result is as
    // if opened here. A file that takes longer (a damaged one that FFmpeg probes at
    // length) gives a handle that is still opening: the news tells when it is done.
    auto stream = std::make_shared<Stream>();
    stream->path = name;
    stream->mode = mode;
    stream->before = replayGain.before;
    stream->after = replayGain.after;
    stream->replayGainOn.store(replayGain.on);
    std::future<void> opened = stream->openedPromise.get_future();
    lib->opener->post([lib, stream] { lib->open(*stream); });
    opened.wait_for(std::chrono::milliseconds(g_openWaitMs.load()));
    if (stream->openState.load(std::memory_order_acquire) == OpenState::Failed) {
        setOpenError(stream->openError);
        return nullptr;
    }
    setOpenError({});
    std::lock_guard guard(lib->streamsMutex);
    const std::uintptr_t id = ++lib->nextId;
    lib->streams.emplace(id, std::move(stream));
    return reinterpret_cast<FSOUND_STREAM*>(id);
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* handle)
{
    auto [lib, stream] = lookUp(handle);
    if (!stream)
        return -1;
    int slot = -1;
    {
        OutputLock guard(lib->output);
        if (stream->playing.load())
            return stream->channel;
        const int count = static_cast<int>(lib->channels.size());
        if (channel >= 0 && channel < count && !lib->channels[channel])
            slot = channel;
        for (int i = 0; slot < 0 && i < count; ++i)
            if (!lib->channels[i])
                slot = i;
        if (slot < 0)
            return -1;
        // Alone it is heard at its own rate; beside others, at theirs.
        if (stream->ringRate.load() == 0)
            stream->wantRate.store(lib->activeChannels == 0 ? 0 : lib->rate.load());
        lib->channels[slot] = stream.get();
        stream->channel = slot;
        stream->playing.store(true);
    }
    if (lib->activeChannels++ == 0) {
        // Nothing else plays: the output takes the song's own rate (a stream still
        // opening gets it once the open is done, settleRates).
        if (const int own = stream->ringRate.load() > 0 ? stream->ringRate.load() : stream->sampleRate.load())
            lib->followRate(own);
        lib->outputPaused = false;
        lib->output.setActive(true);
    }
    lib->syncOutputPause();
    lib->poke();
    return slot;
}

signed char FSOUND_Stream_Stop(FSOUND_STREAM* handle)
{
    Library* lib = g_library.load();
    if (!lib)
        return 0;
    std::shared_ptr<Stream> stream;
    {
        std::lock_guard guard(lib->streamsMutex);
        auto it = lib->streams.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == lib->streams.end())
            return 0;
        stream = std::move(it->second);
        lib->streams.erase(it);
    }
    stream->abandoned.store(true);
    bool wasPlaying = false;
    {
        OutputLock guard(lib->output);
        // A stream that handed its channel to the song queued behind it no longer plays:
        // what the output holds is that song's, and stays.
        unlink(*stream);
        if (stream->channel >= 0)
            lib->channels[stream->channel] = nullptr;
        stream->channel = -1;
        wasPlaying = stream->playing.exchange(false);
    }
    if (wasPlaying) {
        // What the server still holds of this stream is not to be heard any more.
        lib->output.discardQueued();
        if (--lib->activeChannels == 0) {
            lib->outputPaused = false;
            lib->output.setActive(false);
        } else {
            lib->syncOutputPause();
        }
    }
    return 1;
}

signed char FSOUND_Stream_SetTime(FSOUND_STREAM* handle, int ms)
{
    auto [lib, stream] = lookUp(handle);
    if (!stream)
        return 0;
    ms = std::max(ms, 0);
    // The decoder thread seeks (a damaged file can keep it seconds); from now on the
    // stream is silent and stands at the target until it has.
    stream->seekMs.store(ms, std::memory_order_release);
    stream->seekAsked.fetch_add(1, std::memory_order_acq_rel);
    if (stream->playing.load())
        lib->output.discardQueued();
    // A paused stream stays where it was put, and goes on from there.
    if (stream->frozenMs.load() >= 0)
        stream->frozenMs.store(ms);
    lib->poke();
    return 1;
}

void fsound::StreamSetReplayGain(FSOUND_STREAM* handle, bool on)
{
    if (auto stream = lookUp(handle).second)
        stream->replayGainOn.store(on);
}

float fsound::StreamReplayGain(FSOUND_STREAM* handle)
{
    auto stream = lookUp(handle).second;
    return stream && stream->openState.load(std::memory_order_acquire) == OpenState::Open ? stream->songGain() : 1.0f;
}

int FSOUND_Stream_GetTime(FSOUND_STREAM* handle)
{
    auto [lib, stream] = lookUp(handle);
    if (!stream)
        return 0;
    if (const std::int64_t frozen = stream->frozenMs.load(); frozen >= 0)
        return clampToInt(frozen);
    if (stream->seeking())
        return clampToInt(stream->seekMs.load(std::memory_order_acquire));
    // What was handed to the device less what it has not played yet, and never more than
    // the stream really holds: the length a file states does not move the position.
    return clampToInt(stream->startMs.load()
                      + progressOf(*lib, *stream).audible() * 1000 / stream->framesRate(lib->rate));
}

int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* handle)
{
    auto [lib, stream] = lookUp(handle);
    if (!stream)
        return 0;
    // Once everything is decoded the real length is known; a header that stated more,
    // less or nothing gives way to it.
    if (stream->ready() && stream->decodeDone.load(std::memory_order_acquire))
        return clampToInt(stream->startMs.load()
                          + stream->pushedFrames.load(std::memory_order_acquire) * 1000
                                / stream->framesRate(lib->rate));
    return stream->lengthMs.load(std::memory_order_acquire);
}

int FSOUND_Stream_GetLength(FSOUND_STREAM* handle)
{
    auto stream = lookUp(handle).second;
    return stream ? stream->fileBytes.load(std::memory_order_acquire) : 0;
}

int fsound::StreamSampleRate(FSOUND_STREAM* handle)
{
    auto stream = lookUp(handle).second;
    return stream ? stream->sampleRate.load(std::memory_order_acquire) : 0;
}

signed char FSOUND_SetPaused(int channel, signed char paused)
{
    Library* lib = g_library.load();
    if (!lib)
        return 0;
    std::vector<Stream*> changed;
    {
        OutputLock guard(lib->output);
        const int count = static_cast<int>(lib->channels.size());
        for (int i = 0; i < count; ++i) {
            Stream* stream = lib->channels[i];
            if (stream && (channel == FSOUND_ALL || channel == i) && stream->paused.load() != (paused != 0)) {
                stream->paused.store(paused != 0);  // mixed or not from the next callback on
                changed.push_back(stream);
            }
        }
        if (channel != FSOUND_ALL && (channel < 0 || channel >= count || !lib->channels[channel]))
            return 0;
    }
    if (paused) {
        // The output holds what it has queued; the position is taken once it has said
        // how much of that was not heard.
        lib->syncOutputPause();
        for (Stream* stream : changed)
            stream->frozenMs.store(stream->seeking() ? stream->seekMs.load()
                                                     : stream->startMs.load()
                                                           + progressOf(*lib, *stream).audible() * 1000
                                                                 / stream->framesRate(lib->rate));
    } else {
        for (Stream* stream : changed)
            stream->frozenMs.store(-1);
        lib->syncOutputPause();
        lib->poke();
    }
    return 1;
}

signed char FSOUND_GetPaused(int channel)
{
    Library* lib = g_library.load();
    if (!lib)
        return 0;
    OutputLock guard(lib->output);
    if (channel < 0 || channel >= static_cast<int>(lib->channels.size()) || !lib->channels[channel])
        return 0;
    return lib->channels[channel]->paused.load() ? 1 : 0;
}

signed char FSOUND_SetVolume(int channel, int volume)
{
    Library* lib = g_library.load();
    if (!lib || channel != FSOUND_ALL)
        return 0;
    lib->volume.store(std::clamp(volume, 0, 255));
    // A sound server changes the loudness of what it already holds, so the knob is heard
    // at once instead of after the queue.
    lib->outputHasVolume.store(lib->output.setVolume(static_cast<float>(lib->volume.load()) / 255.0f));
    return 1;
}

int FSOUND_GetChannelsPlaying()
{
    Library* lib = g_library.load();
    if (!lib)
        return 0;
    OutputLock guard(lib->output);
    return static_cast<int>(std::count_if(lib->channels.begin(), lib->channels.end(),
                                          [](Stream* s) { return s && s->playing.load(); }));
}

int FSOUND_GetFrequency(int channel)
{
    Library* lib = g_library.load();
    if (!lib)
        return 0;
    const int wanted = std::max(channel, 1);
    int seen = 0;
    OutputLock guard(lib->output);
    for (Stream* stream : lib->channels)
        if (stream && stream->playing.load() && ++seen == wanted)
            return stream->sampleRate.load(std::memory_order_acquire);
    return 0;
}

FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit()
{
    return g_library.load() ? reinterpret_cast<FSOUND_DSPUNIT*>(&g_fftUnit) : nullptr;
}

signed char FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, signed char active)
{
    Library* lib = g_library.load();
    if (!lib || unit != reinterpret_cast<FSOUND_DSPUNIT*>(&g_fftUnit))
        return 0;
    lib->fftActive.store(active != 0);
    return 1;
}

float* FSOUND_DSP_GetSpectrum()
{
    Library* lib = g_library.load();
    if (!lib)
        return nullptr;
    thread_local std::vector<float> bins(kSpectrumBins, 0.0f);
    thread_local std::vector<float> samples(kFftSize, 0.0f);
    thread_local std::unique_ptr<FftAnalyser> analyser;
    const double step = static_cast<double>(lib->rate.load()) / 44100.0;
    if (!lib->fftActive.load() || !lib->history.latest(samples.data(), lib->output.latencyFrames(), step)) {
        std::fill(bins.begin(), bins.end(), 0.0f);
        return bins.data();
    }
    if (!analyser)
        analyser = std::make_unique<FftAnalyser>();
    analyser->analyse(samples.data(), bins.data());
    return bins.data();
}
