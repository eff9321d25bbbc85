#include "fsound.h"

#include "AudioOutput.h"
#include "DecodeModule.h"
#include "Decoder.h"
#include "SampleRing.h"
#include "Spectrum.h"
#include "ThreadName.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/eventfd.h>
#include <unistd.h>

// Lock order: a stream's decodeMutex, then the output lock. streamsMutex is never held
// together with either.

namespace fsound {
namespace {

constexpr std::size_t kRingFrames = 32768;      // about 0.74 s at 44.1 kHz
constexpr std::size_t kScratchFrames = 4096;

struct Stream {
    // Held by the decoder thread while it decodes, and by SetTime while it seeks.
    std::mutex decodeMutex;
    Decoder decoder;              // decodeMutex
    std::vector<float> pending;   // decodeMutex: decoded samples not yet in the ring
    std::size_t pendingPos = 0;   // decodeMutex
    bool decoderFinished = false; // decodeMutex

    SampleRing ring{kRingFrames * 2};          // decoder thread writes, callback reads
    std::atomic<bool> playing{false};          // changed under the output lock
    std::atomic<bool> paused{false};           // changed under the output lock: not mixed
    std::atomic<std::int64_t> frozenMs{-1};    // window thread: the position while paused
    std::atomic<bool> decodeDone{false};       // decoder thread: every sample is in the ring
    std::atomic<bool> feedAsked{false};        // callback asked the decoder thread for more; it clears
    std::atomic<std::int64_t> pushedFrames{0}; // decoder thread, since the last seek
    std::atomic<std::int64_t> consumedFrames{0}; // callback, since the last seek
    std::atomic<std::int64_t> startMs{0};      // position of the first frame after the last seek
    int channel = -1;                          // changed under the output lock

    // A song queued behind this one takes its channel once this one's last sample has
    // been mixed: the device callback hands the channel over, so the two meet in the
    // same buffer. All four change under the output lock.
    Stream* follower = nullptr;                // queued behind this stream
    Stream* leader = nullptr;                  // the stream this one is queued behind
    std::atomic<bool> queued{false};           // decoded ahead although not playing yet
    std::atomic<bool> handedOver{false};       // its follower has taken the channel
    std::atomic<bool> awaitFollower{false};    // window thread: a song may still be queued behind it

    // Fixed once opened.
    int lengthMs = 0;
    int fileBytes = 0;
    int sampleRate = 0;
};

struct Library {
    std::unique_ptr<AudioOutput> output;
    bool silent = false;
    int rate = 44100;

    std::mutex streamsMutex;                                    // guards streams, nextId
    std::map<std::uintptr_t, std::shared_ptr<Stream>> streams;
    std::uintptr_t nextId = 0;

    std::vector<Stream*> channels;    // changed under the output lock; read by the callback
    std::vector<float> scratch;       // callback only
    std::atomic<int> volume{255};
    std::atomic<bool> outputHasVolume{false};  // the output applies `volume` itself
    std::atomic<bool> fftActive{false};
    PlayedHistory history;

    // The decoder thread sleeps until this changes: a play, a seek, a ring below half, or the
    // stop at shut-down. Waking it is a futex call, never a lock, so the device
    // callback may do it.
    std::thread decoderThread;
    std::atomic<unsigned> decoderWake{0};
    std::atomic<bool> decoderStop{false};
    std::atomic<bool> preloadAsked{false};  // the decoder thread opens the decoding module
    int activeChannels = 0;           // window thread: streams started and not stopped
    bool outputPaused = false;        // window thread: what the output was last told

    // Readable while there is news for the window thread (see NewsDescriptor). Written
    // by the decoder thread and the output's thread: a write to an eventfd never blocks.
    int newsFd = -1;
    void tellNews()
    {
        if (newsFd >= 0) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto written = ::write(newsFd, &one, sizeof one);
        }
    }
    // Window thread: the output holds while every started stream is paused.
    void syncOutputPause();

    std::size_t mix(float* out, std::size_t frames, bool pad);
    std::size_t readyFrames(std::size_t frames) const;
    void feed();
    bool fill(Stream& stream);
    void poke()
    {
        decoderWake.fetch_add(1, std::memory_order_release);
        decoderWake.notify_one();
    }
    std::shared_ptr<Stream> find(FSOUND_STREAM* handle)
    {
        std::lock_guard guard(streamsMutex);
        auto it = streams.find(reinterpret_cast<std::uintptr_t>(handle));
        return it == streams.end() ? nullptr : it->second;
    }
};

std::atomic<Library*> g_library{nullptr};

// Why the last FSOUND_Stream_Open failed; any thread may ask.
std::mutex g_openErrorMutex;
OpenError g_openError;  // g_openErrorMutex

void setOpenError(OpenError error)
{
    std::lock_guard guard(g_openErrorMutex);
    g_openError = std::move(error);
}
char g_fftUnit;  // the FFT unit's identity; it has no state of its own

// Output lock held: the frames a stream and the songs queued behind it can supply now.
// Once the last of them is decoded to its end and nothing more is awaited behind it, any
// number (the rest is closing silence).
std::size_t supplyOf(const Stream* stream)
{
    std::size_t frames = 0;
    for (; stream; stream = stream->follower) {
        // The flag first: once it is set, what the ring holds is all there will be.
        const bool done = stream->decodeDone.load(std::memory_order_acquire);
        frames += stream->ring.readable() / 2;
        if (!done || (!stream->follower && stream->awaitFollower.load(std::memory_order_acquire)))
            return frames;
    }
    return SIZE_MAX;
}

// Output lock held: how many of `frames` every playing stream can supply.
std::size_t Library::readyFrames(std::size_t frames) const
{
    bool any = false;
    for (const Stream* stream : channels) {
        if (!stream || !stream->playing.load(std::memory_order_relaxed) || stream->paused.load(std::memory_order_relaxed))
            continue;
        any = true;
        frames = std::min(frames, supplyOf(stream));
    }
    return any ? frames : 0;
}

// Device callback, output lock held.
std::size_t Library::mix(float* out, std::size_t frames, bool pad)
{
    if (!pad)
        frames = readyFrames(frames);
    if (frames == 0)
        return 0;
    std::fill(out, out + frames * 2, 0.0f);
    const float volumeGain = static_cast<float>(volume.load(std::memory_order_relaxed)) / 255.0f;
    const bool outputGain = outputHasVolume.load(std::memory_order_relaxed);
    const float gain = outputGain ? 1.0f : volumeGain;
    for (Stream*& slot : channels) {
        Stream* stream = slot;
        if (!stream || !stream->playing.load(std::memory_order_relaxed) || stream->paused.load(std::memory_order_relaxed))
            continue;
        std::size_t done = 0;
        std::size_t streamFrom = 0;  // where the current stream's share of the buffer began
        for (;;) {
            while (done < frames) {
                const std::size_t want = std::min(frames - done, kScratchFrames);
                const std::size_t got = stream->ring.read(scratch.data(), want * 2) / 2;
                float* dst = out + done * 2;
                for (std::size_t i = 0; i < got * 2; ++i)
                    dst[i] += gain * scratch[i];
                done += got;
                if (got < want)
                    break;
            }
            const bool ended = done < frames && stream->decodeDone.load(std::memory_order_acquire)
                               && stream->ring.readable() == 0;
            Stream* next = stream->follower;
            if (!ended || !next) {
                // After the last sample the padding silence still counts, so the position
                // reaches the end even though nothing more is decoded.
                stream->consumedFrames.fetch_add(static_cast<std::int64_t>((ended ? frames : done) - streamFrom),
                                                 std::memory_order_release);
                break;
            }
            // The song queued behind this one goes on in the same buffer, from its next frame.
            stream->consumedFrames.fetch_add(static_cast<std::int64_t>(done - streamFrom), std::memory_order_release);
            next->channel = stream->channel;
            next->paused.store(false, std::memory_order_relaxed);
            next->playing.store(true, std::memory_order_relaxed);
            next->queued.store(false, std::memory_order_relaxed);
            stream->channel = -1;
            stream->playing.store(false, std::memory_order_relaxed);
            stream->handedOver.store(true, std::memory_order_release);
            slot = next;
            stream = next;
            streamFrom = done;
        }
        if (stream->ring.readable() < stream->ring.capacity() / 2
            && !stream->decodeDone.load(std::memory_order_relaxed)
            && !stream->feedAsked.exchange(true, std::memory_order_acq_rel))
            poke();
    }
    // The spectrum shows what is heard, so it follows the volume either way.
    history.append(out, frames, outputGain ? volumeGain : 1.0f);
    return frames;
}

// Decoder thread, stream's decodeMutex held. True when it put anything in the ring.
bool Library::fill(Stream& stream)
{
    stream.feedAsked.store(false, std::memory_order_release);
    bool wroteAny = false;
    for (;;) {
        if (stream.pendingPos < stream.pending.size()) {
            const std::size_t left = stream.pending.size() - stream.pendingPos;
            const std::size_t room = stream.ring.writable() & ~std::size_t{1};
            const std::size_t wrote = stream.ring.write(stream.pending.data() + stream.pendingPos, std::min(left, room));
            stream.pendingPos += wrote;
            stream.pushedFrames.fetch_add(static_cast<std::int64_t>(wrote / 2), std::memory_order_release);
            wroteAny = wroteAny || wrote > 0;
            if (wrote < left)
                return wroteAny;  // ring full
            continue;
        }
        if (stream.decoderFinished) {
            const bool news = !stream.decodeDone.exchange(true, std::memory_order_release);
            if (news)
                tellNews();  // its length is known now, and when it will have played out
            return wroteAny || news;
        }
        stream.pending.clear();
        stream.pendingPos = 0;
        if (!stream.decoder.decodeChunk(stream.pending))
            stream.decoderFinished = true;
    }
}

void Library::feed()
{
    std::vector<std::shared_ptr<Stream>> active;
    for (;;) {
        const unsigned seen = decoderWake.load(std::memory_order_acquire);
        if (decoderStop.load())
            return;
        if (preloadAsked.exchange(false))
            FftModule();
        active.clear();
        {
            std::lock_guard guard(streamsMutex);
            for (auto& [id, stream] : streams)
                if (stream->playing.load(std::memory_order_relaxed) || stream->queued.load(std::memory_order_relaxed))
                    active.push_back(stream);
        }
        bool news = false;
        for (auto& stream : active) {
            std::lock_guard guard(stream->decodeMutex);
            news = fill(*stream) || news;
        }
        active.clear();  // a stream stopped meanwhile is released here, off the window thread
        if (news)
            output->dataReady();
        decoderWake.wait(seen, std::memory_order_acquire);
    }
}

void Library::syncOutputPause()
{
    bool anyPlaying = false;
    bool allPaused = true;
    {
        OutputLock guard(*output);
        for (const Stream* stream : channels) {
            if (!stream || !stream->playing.load())
                continue;
            anyPlaying = true;
            allPaused = allPaused && stream->paused.load();
        }
    }
    const bool hold = anyPlaying && allPaused;
    if (hold != outputPaused) {
        outputPaused = hold;
        output->setPaused(hold);
    }
}

// The library and the live stream behind a handle; the stream is null when the library
// is not initialised or the handle is null or forgotten.
std::pair<Library*, std::shared_ptr<Stream>> lookUp(FSOUND_STREAM* handle)
{
    Library* lib = g_library.load();
    return {lib, lib ? lib->find(handle) : nullptr};
}

int clampToInt(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX));
}

// How far the output has got with a stream: what was handed to it, what it took, and
// what of that it has not played yet. Read under the output lock, so that no callback
// lands between the reads: one taken after the latency and before the count would count
// a whole device buffer as heard, and the next read would take it back.
struct Progress {
    std::int64_t pushed = 0;
    std::int64_t consumed = 0;
    std::int64_t latency = 0;

    std::int64_t audible() const { return std::clamp<std::int64_t>(consumed - latency, 0, pushed); }
};

Progress progressOf(Library& lib, const Stream& stream)
{
    OutputLock guard(*lib.output);
    Progress progress{stream.pushedFrames.load(std::memory_order_acquire),
                      stream.consumedFrames.load(std::memory_order_acquire),
                      static_cast<std::int64_t>(lib.output->latencyFrames())};
    // Once the queued song has the channel, the newest part of what the output holds is
    // that song's: of this stream, only what lies before it is still to be heard.
    if (stream.handedOver.load(std::memory_order_acquire) && stream.follower)
        progress.latency = std::max<std::int64_t>(
            0, progress.latency - stream.follower->consumedFrames.load(std::memory_order_acquire));
    return progress;
}

// Output lock held: takes `stream` out of the queue it is in, on either side.
void unlink(Stream& stream)
{
    if (stream.follower) {
        stream.follower->leader = nullptr;
        stream.follower->queued.store(false);
        stream.follower = nullptr;
    }
    if (stream.leader) {
        stream.leader->follower = nullptr;
        stream.leader = nullptr;
    }
    stream.queued.store(false);
}

} // namespace

void Shutdown()
{
    Library* lib = g_library.exchange(nullptr);
    if (!lib)
        return;
    lib->decoderStop.store(true);
    lib->poke();
    if (lib->decoderThread.joinable())
        lib->decoderThread.join();
    lib->output->close();
    if (lib->newsFd >= 0)
        ::close(lib->newsFd);
    delete lib;
}

int StreamMsUntilPlayedOut(FSOUND_STREAM* handle)
{
    auto [lib, stream] = lookUp(handle);
    if (!stream || !stream->decodeDone.load(std::memory_order_acquire))
        return -1;
    const Progress progress = progressOf(*lib, *stream);
    const std::int64_t left = progress.pushed + progress.latency - progress.consumed;
    return left <= 0 ? 0 : clampToInt((left * 1000 + lib->rate - 1) / lib->rate);
}

bool StreamQueue(FSOUND_STREAM* handle, FSOUND_STREAM* nextHandle)
{
    auto [lib, stream] = lookUp(handle);
    auto next = lookUp(nextHandle).second;
    if (!stream || !next || stream == next)
        return false;
    {
        OutputLock guard(*lib->output);
        if (stream->follower || stream->handedOver.load() || next->leader || next->playing.load()
            || next->channel >= 0)
            return false;
        stream->follower = next.get();
        next->leader = stream.get();
        next->queued.store(true);
    }
    lib->poke();  // decoding ahead starts now
    return true;
}

void StreamAwaitFollower(FSOUND_STREAM* handle, bool await)
{
    // A sound server that ran dry meanwhile asks for more, and gets the closing silence.
    if (auto stream = lookUp(handle).second)
        stream->awaitFollower.store(await, std::memory_order_release);
}

bool StreamUnqueue(FSOUND_STREAM* handle)
{
    auto [lib, stream] = lookUp(handle);
    if (!stream)
        return false;
    OutputLock guard(*lib->output);
    Stream* next = stream->follower;
    if (!next)
        return false;
    const bool wasHandedOver = stream->handedOver.load();
    if (wasHandedOver && next->channel >= 0) {
        // Back on its channel, at its end; the follower plays no more.
        lib->channels[next->channel] = stream.get();
        stream->channel = next->channel;
        stream->playing.store(true);
        next->channel = -1;
        next->playing.store(false);
    }
    stream->handedOver.store(false);
    unlink(*stream);
    return wasHandedOver;
}

bool StreamHandedOver(FSOUND_STREAM* handle)
{
    auto stream = lookUp(handle).second;
    return stream && stream->handedOver.load(std::memory_order_acquire);
}

int NewsDescriptor()
{
    Library* lib = g_library.load();
    return lib ? lib->newsFd : -1;
}

void TakeNews()
{
    Library* lib = g_library.load();
    std::uint64_t count = 0;
    if (lib && lib->newsFd >= 0)
        [[maybe_unused]] const auto got = ::read(lib->newsFd, &count, sizeof count);
}

bool OutputConnected()
{
    Library* lib = g_library.load();
    return !lib || lib->output->connected();
}

bool StreamPlayedOut(FSOUND_STREAM* handle)
{
    auto [lib, stream] = lookUp(handle);
    if (!stream || !stream->decodeDone.load(std::memory_order_acquire))
        return false;
    const Progress progress = progressOf(*lib, *stream);
    return progress.consumed >= progress.pushed + progress.latency;
}

void PreloadDecoding()
{
    if (Library* lib = g_library.load()) {
        lib->preloadAsked.store(true);
        lib->poke();
    }
}

OpenError LastOpenError()
{
    std::lock_guard guard(g_openErrorMutex);
    return g_openError;
}

bool Initialised()
{
    return g_library.load() != nullptr;
}

bool UsingSilentSink()
{
    Library* lib = g_library.load();
    return lib && lib->silent;
}

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
    // The sound server's own client first; SDL when the caller chose an SDL driver (the
    // tests pick "dummy") or no server answers; the silent sink when nothing opens.
    const char* sdlDriver = std::getenv("SDL_AUDIODRIVER");
    bool opened = false;
    if (!sdlDriver || !*sdlDriver) {
        lib->output = makePulseOutput();
        opened = lib->output->open(lib->rate, callback, listener);
    }
    if (!opened) {
        lib->output = makeSdlOutput();
        opened = lib->output->open(lib->rate, callback, listener);
    }
    if (!opened) {
        std::fprintf(stderr, "sorvel: no sound device (%s), playing into a silent sink\n", SdlOutputError().c_str());
        lib->output = makeSilentOutput();
        lib->output->open(lib->rate, callback, listener);
        lib->silent = true;
    }
    lib->decoderThread = std::thread([raw] {
        NameThisThread("sorvel-decoder");
        raw->feed();
    });
    g_library.store(lib.release());
    return 1;
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* name, unsigned int mode, int /*offset*/, int /*length*/)
{
    Library* lib = g_library.load();
    if (!lib || !name || !*name) {
        setOpenError({OpenError::NotAudio, {}});
        return nullptr;
    }
    auto stream = std::make_shared<Stream>();
    if (!stream->decoder.open(name, lib->rate, 2, mode)) {
        const bool missing = stream->decoder.failure() == OpenFailure::MissingModule;
        setOpenError({missing ? OpenError::MissingLibrary : OpenError::NotAudio, stream->decoder.failureDetail()});
        return nullptr;
    }
    setOpenError({});
    stream->lengthMs = clampToInt(stream->decoder.durationMs());
    stream->fileBytes = clampToInt(stream->decoder.fileBytes());
    stream->sampleRate = stream->decoder.sampleRate();
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
        OutputLock guard(*lib->output);
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
        lib->channels[slot] = stream.get();
        stream->channel = slot;
        stream->playing.store(true);
    }
    if (lib->activeChannels++ == 0) {
        lib->outputPaused = false;
        lib->output->setActive(true);
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
    bool wasPlaying = false;
    {
        OutputLock guard(*lib->output);
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
        lib->output->discardQueued();
        if (--lib->activeChannels == 0) {
            lib->outputPaused = false;
            lib->output->setActive(false);
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
    {
        std::lock_guard decodeGuard(stream->decodeMutex);
        stream->decoder.seekMs(ms);
        stream->pending.clear();
        stream->pendingPos = 0;
        stream->decoderFinished = false;
        OutputLock guard(*lib->output);
        stream->ring.reset();
        stream->pushedFrames.store(0);
        stream->consumedFrames.store(0);
        stream->startMs.store(ms);
        stream->decodeDone.store(false);
    }
    if (stream->playing.load())
        lib->output->discardQueued();
    // A paused stream stays where it was put, and goes on from there.
    if (stream->frozenMs.load() >= 0)
        stream->frozenMs.store(ms);
    lib->poke();
    return 1;
}

int FSOUND_Stream_GetTime(FSOUND_STREAM* handle)
{
    auto [lib, stream] = lookUp(handle);
    if (!stream)
        return 0;
    if (const std::int64_t frozen = stream->frozenMs.load(); frozen >= 0)
        return clampToInt(frozen);
    // What was handed to the device less what it has not played yet, and never more than
    // the stream really holds: the length a file states does not move the position.
    return clampToInt(stream->startMs.load() + progressOf(*lib, *stream).audible() * 1000 / lib->rate);
}

int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* handle)
{
    auto [lib, stream] = lookUp(handle);
    if (!stream)
        return 0;
    // Once everything is decoded the real length is known; a header that stated more,
    // less or nothing gives way to it.
    if (stream->decodeDone.load(std::memory_order_acquire))
        return clampToInt(stream->startMs.load()
                          + stream->pushedFrames.load(std::memory_order_acquire) * 1000 / lib->rate);
    return stream->lengthMs;
}

int FSOUND_Stream_GetLength(FSOUND_STREAM* handle)
{
    auto stream = lookUp(handle).second;
    return stream ? stream->fileBytes : 0;
}

signed char FSOUND_SetPaused(int channel, signed char paused)
{
    Library* lib = g_library.load();
    if (!lib)
        return 0;
    std::vector<Stream*> changed;
    {
        OutputLock guard(*lib->output);
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
            stream->frozenMs.store(stream->startMs.load() + progressOf(*lib, *stream).audible() * 1000 / lib->rate);
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
    OutputLock guard(*lib->output);
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
    lib->outputHasVolume.store(lib->output->setVolume(static_cast<float>(lib->volume.load()) / 255.0f));
    return 1;
}

int FSOUND_GetChannelsPlaying()
{
    Library* lib = g_library.load();
    if (!lib)
        return 0;
    OutputLock guard(*lib->output);
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
    OutputLock guard(*lib->output);
    for (Stream* stream : lib->channels)
        if (stream && stream->playing.load() && ++seen == wanted)
            return stream->sampleRate;
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
    if (!lib->fftActive.load() || !lib->history.latest(samples.data(), lib->output->latencyFrames())) {
        std::fill(bins.begin(), bins.end(), 0.0f);
        return bins.data();
    }
    if (!analyser)
        analyser = std::make_unique<FftAnalyser>();
    analyser->analyse(samples.data(), bins.data());
    return bins.data();
}
