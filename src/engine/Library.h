#pragma once
// The audio library's state, shared by the files that make it up: the stream table and
// its handles (Library.cpp, fsound.cpp), the mixer (Mixer.cpp), the decoder thread that
// feeds the rings (DecoderThread.cpp) and songs queued behind each other
// (StreamQueue.cpp). Used only inside the library; callers use fsound.h.
//
// Lock order: a stream's decodeMutex, then the output lock. streamsMutex is never held
// together with either. The window thread never takes a decodeMutex: the opener and the
// decoder thread may hold one for as long as a damaged file keeps them.

#include "fsound.h"

#include "AudioOutput.h"
#include "Decoder.h"
#include "OpenThread.h"
#include "SampleRing.h"
#include "Spectrum.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

namespace fsound {

constexpr std::size_t kRingFrames = 32768;      // about 0.74 s at 44.1 kHz
constexpr std::size_t kScratchFrames = 4096;

enum class OpenState { Opening, Open, Failed };

struct Stream {
    // Held by the opener while it opens the file, then by the decoder thread while it
    // decodes or seeks.
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

    // The rate the stream is decoded at. wantRate: 0 while the output is to follow the
    // file's own rate (a song started with nothing playing, or queued from another
    // folder); else the output's rate it is converted to (window thread, before it plays
    // or is queued). ringRate: what its ring holds, fixed by the decoder thread before
    // the first fill; 0 until then. The mix takes only a stream whose ringRate is the
    // output's.
    std::atomic<int> wantRate{0};
    std::atomic<int> ringRate{0};
    // Decoder thread: it waits, its own rate not being the output's (told once as news).
    std::atomic<bool> awaitsRate{false};
    // Frames per second of what it has pushed and the output consumed.
    int framesRate(int outputRate) const
    {
        const int own = ringRate.load(std::memory_order_acquire);
        return own > 0 ? own : outputRate;
    }

    // The opener opens the file; until it has, the stream supplies nothing. The fields
    // below it are written before openState leaves Opening (release) and never after.
    std::string path;
    unsigned mode = 0;
    std::atomic<OpenState> openState{OpenState::Opening};
    std::atomic<bool> abandoned{false};        // stopped before it was opened
    std::promise<void> openedPromise;          // opener: set once openState is final
    OpenError openError;
    std::atomic<int> lengthMs{0};
    std::atomic<int> fileBytes{0};
    std::atomic<int> sampleRate{0};
    // ReplayGain: the songs before and after it in the list, which tell whether its
    // album gain applies (set before the open is posted), and the factor its tags give
    // (the opener's, written with the fields above). The window thread switches it.
    std::string before;
    std::string after;
    std::atomic<float> replayGain{1.0f};
    std::atomic<bool> replayGainOn{false};

    // The song's own gain: what the mix multiplies its samples by inside the bound.
    float songGain() const
    {
        return replayGainOn.load(std::memory_order_relaxed) ? replayGain.load(std::memory_order_relaxed) : 1.0f;
    }

    // A seek asked by the window thread and made by the decoder thread, which may take
    // long in a damaged file. Until it is made, the stream supplies nothing and its
    // position is the target.
    std::atomic<std::int64_t> seekMs{0};
    std::atomic<unsigned> seekAsked{0};        // window thread
    std::atomic<unsigned> seekMade{0};         // decoder thread

    bool seeking() const
    {
        return seekAsked.load(std::memory_order_acquire) != seekMade.load(std::memory_order_acquire);
    }
    // Open and not waiting for a seek: what it holds is what is to be heard.
    bool ready() const { return openState.load(std::memory_order_acquire) == OpenState::Open && !seeking(); }
};

struct Library {
    Output output;
    // The output's rate: changed by the window thread while the output is idle (see
    // followRate); read by the decoder thread and the callback.
    std::atomic<int> rate{44100};

    std::mutex streamsMutex;                                    // guards streams, nextId
    std::map<std::uintptr_t, std::shared_ptr<Stream>> streams;
    std::uintptr_t nextId = 0;

    std::vector<Stream*> channels;    // changed under the output lock; read by the callback
    std::vector<float> scratch;       // callback only
    std::atomic<int> volume{255};
    std::atomic<bool> outputHasVolume{false};  // the output applies `volume` itself
    std::atomic<bool> fftActive{false};
    // Callback: frames of silence an output that cannot wait put inside a song because
    // the decoder thread was late (a dropout a listener hears).
    std::atomic<std::int64_t> starvedFrames{0};
    PlayedHistory history;

    // The decoder thread sleeps until this changes: a play, a seek, a ring below half, or the
    // stop at shut-down. Waking it is a futex call, never a lock, so the device
    // callback may do it.
    std::thread decoderThread;
    std::atomic<unsigned> decoderWake{0};
    std::atomic<bool> decoderStop{false};
    std::atomic<bool> preloadAsked{false};  // the decoder thread opens the decoding module
    std::unique_ptr<OpenThread> opener;
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
    // Window thread, with nothing playing: the output plays at `rate` from its next start.
    void followRate(int newRate);
    // Window thread: a stream started while it was opening whose own rate turns out to
    // differ from the output's is heard at its own rate if it plays alone, else
    // converted.
    void settleRates();
    // Window thread: the output holds while every started stream is paused.
    void syncOutputPause();

    // Window thread: the output's losses the caller has been told of, and the reasons
    // said on stderr (each once).
    unsigned lossesTold = 0;
    std::set<std::string> toldLosses;
    void sayWhyLost();

    std::size_t mix(float* out, std::size_t frames, bool pad);
    std::size_t readyFrames(std::size_t frames) const;
    void feed();
    bool fill(Stream& stream);
    bool settleRate(Stream& stream);
    void seek(Stream& stream);
    void open(Stream& stream);
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

// The initialised library, or null.
extern std::atomic<Library*> g_library;

void setOpenError(OpenError error);

// How long FSOUND_Stream_Open waits for the opener before it hands back a stream that
// is still opening: well inside the 20 ms the window thread may spend in one call.
// Tests that do not look at slow opens wait longer (SetOpenWaitForTests).
extern std::atomic<int> g_openWaitMs;

// The first output of the drivers in order that opens, with the device SetOutputDevice
// named and then with its default device; says on stderr why it is not the first.
// Window thread.
Output OpenOutput(OutputRequest request);

// The library and the live stream behind a handle; the stream is null when the library
// is not initialised or the handle is null or forgotten.
std::pair<Library*, std::shared_ptr<Stream>> lookUp(FSOUND_STREAM* handle);

inline int clampToInt(std::int64_t value)
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

Progress progressOf(Library& lib, const Stream& stream);

// Output lock held: takes `stream` out of the queue it is in, on either side.
void unlink(Stream& stream);

} // namespace fsound
