#pragma once
// Where mixed sound goes: a table of output drivers, tried in order when the library
// starts (FSOUND_Init, OutputChoice.cpp): the PulseAudio client (the sound server's own
// library, on desktops with PulseAudio or PipeWire), SDL's device, and the silent sink
// that keeps real time when no device opens.
//
// Every output pulls its sound: it calls the library's mixer (the Callback it was opened
// with) when the device or the sound server asks for frames. So no driver has a write
// function; dataReady tells an output that found too little sound to ask again.

#include <cstddef>
#include <functional>
#include <string>
#include <utility>

namespace fsound {

// Mixes at most `frames` interleaved stereo float frames into `stereo` and returns how
// many it wrote. With `pad` it always writes all of them, silence after the sound that
// is ready; without, it writes only frames that are ready (and all of them once every
// playing stream has been decoded to its end), so an output that can wait need not
// queue silence ahead of the song. Runs on the output's device callback thread (or the
// decoder thread, see dataReady) with the output's lock held; it must not block,
// allocate or call FFmpeg.
using Callback = std::function<std::size_t(float* stereo, std::size_t frames, bool pad)>;

// Called on the output's own thread, with its lock held, when connected() or
// sinkChanges() changes. It must only record the news and return.
using Listener = std::function<void()>;

// One open output. Each driver's own type derives from it, and only that driver's
// functions look inside.
struct AudioOutput {};

struct OutputRequest {
    std::string device;  // the driver's name for a device; empty: the driver's default
    int rate = 44100;    // frames per second
    Callback callback;
    Listener listener;   // may be empty; outputs that cannot lose their device never call it
};

// Why an open failed.
struct OutputFailure {
    bool deviceRefused = false;  // the driver works, but not with the device asked for
    std::string reason;          // what failed, in words, for the line on stderr
};

// A driver: what the library calls on an output. Members marked "may be empty" are
// null for drivers that have nothing to do there; Output below supplies the default.
struct OutputDriver {
    const char* name;   // "pulse", "sdl", "silent": for tests and benchmarks
    const char* title;  // "PulseAudio", "SDL", "the silent sink": for messages

    // Opens two-channel float output at the request's rate on its device, idle (see
    // setActive). Null when it cannot, with `failure` saying why. Window thread.
    AudioOutput* (*open)(const OutputRequest& request, OutputFailure& failure);
    // Stops the callback for good and frees the output. Window thread; not with the lock
    // held.
    void (*close)(AudioOutput* output);
    // Frames handed to the output that are not yet audible: the device buffer and, for
    // a sound server, everything queued in the server. What it cannot know yet (no
    // timing from the server) counts as not heard. While paused or lost: what stood
    // unheard when it paused or was lost. Window and spectrum threads; may be called
    // with the lock held: read so, it matches what the callback has taken (the callback
    // cannot run in between).
    std::size_t (*latencyFrames)(const AudioOutput* output);
    // Starts or stops asking for sound. An idle output holds no running stream (at most
    // a corked one) and its callback is not called. Window thread; not with the lock
    // held.
    void (*setActive)(AudioOutput* output, bool active);
    // Holds (true) or goes on with (false) what is queued, without throwing any of it
    // away: the callback is not called while held, and a sound server holds a corked
    // stream. Only while active. Window thread; not with the lock held.
    void (*setPaused)(AudioOutput* output, bool paused);
    // Throws away sound handed over but not yet heard (a stop or a seek). May be empty:
    // the output keeps nothing that is not heard at once. Window thread; not with the
    // lock held.
    void (*discardQueued)(AudioOutput* output);
    // False while the sound server the output plays through is gone, or while a new
    // connection is made after the server refused a call; it comes back by itself. May
    // be empty: the output cannot lose its device. Any thread.
    bool (*connected)(const AudioOutput* output);
    // How many times connected() has gone false since the output opened, so that a
    // loss is seen even when it was over before anyone looked. May be empty, with
    // connected. Any thread.
    unsigned (*losses)(const AudioOutput* output);
    // Why the output was lost last, in words ("the sound server does not answer").
    // May be empty, with connected. Window thread.
    std::string (*whyLost)(const AudioOutput* output);
    // The decoder thread has put sound in the rings: an output that was refused for
    // want of sound writes it now. May be empty. Decoder thread; not with the lock held.
    void (*dataReady)(AudioOutput* output);
    // Takes the volume and returns true when the output can change the loudness of what
    // is already queued (a sound server); the callback then mixes at full scale. May be
    // empty: the callback applies the gain. Window thread.
    bool (*setVolume)(AudioOutput* output, float gain);
    // Plays at `rate` frames per second from the next setActive(true) on. Only while
    // idle. Window thread; not with the lock held.
    void (*setRate)(AudioOutput* output, int rate);
    // Exclude the callback while the caller changes what it reads. Short holds only.
    // Any thread.
    void (*lock)(AudioOutput* output);
    void (*unlock)(AudioOutput* output);
    // How many times the sound server said that one of its sinks changed (its volume set
    // elsewhere, say) or that its default sink did, since the output opened. May be
    // empty: nobody tells. Any thread.
    unsigned (*sinkChanges)(const AudioOutput* output);
};

extern const OutputDriver kPulseDriver;
extern const OutputDriver kSdlDriver;
extern const OutputDriver kSilentDriver;

// An open output with its driver: what the library holds and calls.
class Output {
public:
    Output() = default;
    Output(const OutputDriver* driver, AudioOutput* output) : m_driver(driver), m_output(output) {}
    Output(Output&& other) noexcept { *this = std::move(other); }
    Output& operator=(Output&& other) noexcept;
    ~Output() { close(); }

    // Opens an output of `driver`; an Output that is not open when it cannot.
    static Output open(const OutputDriver& driver, const OutputRequest& request, OutputFailure& failure);

    bool isOpen() const { return m_output != nullptr; }
    const OutputDriver& driver() const { return *m_driver; }

    void close();
    std::size_t latencyFrames() const { return m_driver->latencyFrames(m_output); }
    void setActive(bool active) { m_driver->setActive(m_output, active); }
    void setPaused(bool paused) { m_driver->setPaused(m_output, paused); }
    void discardQueued();
    bool connected() const { return !m_driver->connected || m_driver->connected(m_output); }
    unsigned losses() const { return m_driver->losses ? m_driver->losses(m_output) : 0; }
    std::string whyLost() const;
    void dataReady();
    bool setVolume(float gain) { return m_driver->setVolume && m_driver->setVolume(m_output, gain); }
    void setRate(int rate) { m_driver->setRate(m_output, rate); }
    void lock() { m_driver->lock(m_output); }
    void unlock() { m_driver->unlock(m_output); }
    unsigned sinkChanges() const { return m_driver->sinkChanges ? m_driver->sinkChanges(m_output) : 0; }

private:
    const OutputDriver* m_driver = nullptr;
    AudioOutput* m_output = nullptr;
};

// For the drivers' own files: the members of a driver whose output type T has functions
// of the same names. A driver lists those it has and leaves the others empty.
template <typename T>
struct DriverOf {
    static AudioOutput* open(const OutputRequest& request, OutputFailure& failure)
    {
        auto* output = new T;
        if (output->open(request, failure))
            return output;
        delete output;
        return nullptr;
    }
    static void close(AudioOutput* output) { delete of(output); }
    static std::size_t latencyFrames(const AudioOutput* output) { return of(output)->latencyFrames(); }
    static void setActive(AudioOutput* output, bool active) { of(output)->setActive(active); }
    static void setPaused(AudioOutput* output, bool paused) { of(output)->setPaused(paused); }
    static void discardQueued(AudioOutput* output) { of(output)->discardQueued(); }
    static bool connected(const AudioOutput* output) { return of(output)->connected(); }
    static unsigned losses(const AudioOutput* output) { return of(output)->losses(); }
    static std::string whyLost(const AudioOutput* output) { return of(output)->whyLost(); }
    static void dataReady(AudioOutput* output) { of(output)->dataReady(); }
    static bool setVolume(AudioOutput* output, float gain) { return of(output)->setVolume(gain); }
    static void setRate(AudioOutput* output, int rate) { of(output)->setRate(rate); }
    static void lock(AudioOutput* output) { of(output)->lock(); }
    static void unlock(AudioOutput* output) { of(output)->unlock(); }
    static unsigned sinkChanges(const AudioOutput* output) { return of(output)->sinkChanges(); }

private:
    static T* of(AudioOutput* output) { return static_cast<T*>(output); }
    static const T* of(const AudioOutput* output) { return static_cast<const T*>(output); }
};

class OutputLock {
public:
    explicit OutputLock(Output& output) : m_output(output) { m_output.lock(); }
    ~OutputLock() { m_output.unlock(); }
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;

private:
    Output& m_output;
};

} // namespace fsound
