#pragma once
// Where mixed sound goes. The library opens one output at FSOUND_Init: the PulseAudio
// client (the sound server's own library, on desktops with PulseAudio or PipeWire),
// else SDL's device, else the silent sink when no device can be opened.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace fsound {

class AudioOutput {
public:
    // Mixes at most `frames` interleaved stereo float frames into `stereo` and returns
    // how many it wrote. With `pad` it always writes all of them, silence after the
    // sound that is ready; without, it writes only frames that are ready (and all of
    // them once every playing stream has been decoded to its end), so an output that
    // can wait need not queue silence ahead of the song. Runs on the output's device
    // callback thread (or the decoder thread, see dataReady) with the output's lock
    // held; it must not block, allocate or call FFmpeg.
    using Callback = std::function<std::size_t(float* stereo, std::size_t frames, bool pad)>;

    // Called on the output's own thread, with its lock held, when connected() changes.
    // It must only record the news and return.
    using Listener = std::function<void()>;

    virtual ~AudioOutput() = default;
    // Opens two-channel float output at `rate`, idle (see setActive). The listener may be
    // empty; outputs that cannot lose their device never call it.
    virtual bool open(int rate, Callback callback, Listener listener = {}) = 0;
    // Stops the callback for good. Must not be called with the lock held.
    virtual void close() = 0;
    // Frames handed to the output that are not yet audible: the device buffer and,
    // for a sound server, everything queued in the server. What it cannot know yet (no
    // timing from the server) counts as not heard. While paused or lost: what stood
    // unheard when it paused or was lost. May be called with the lock held: read so,
    // it matches what the callback has taken (the callback cannot run in between).
    virtual std::size_t latencyFrames() const = 0;
    // Starts or stops asking for sound. An idle output holds no running stream (at
    // most a corked one) and its callback is not called. Window thread; not with the
    // lock held.
    virtual void setActive(bool active) = 0;
    // Holds (true) or goes on with (false) what is queued, without throwing any of it
    // away: the callback is not called while held, and the sound server holds a corked
    // stream. Only while active. Window thread; not with the lock held.
    virtual void setPaused(bool paused) = 0;
    // Throws away sound handed over but not yet heard (a stop or a seek). Window
    // thread; not with the lock held.
    virtual void discardQueued() = 0;
    // False while the sound server the output plays through is gone; it comes back by
    // itself. Any thread.
    virtual bool connected() const { return true; }
    // The decoder thread has put sound in the rings. Outputs that write on demand and
    // were refused for lack of sound write it now. Not with the lock held.
    virtual void dataReady() {}
    // Outputs that can change the loudness of what is already queued (a sound server)
    // take the volume here and return true; the callback then mixes at full scale.
    // Others return false and the callback applies the gain. Window thread.
    virtual bool setVolume(float /*gain*/) { return false; }
    // Excludes the callback while the caller changes what it reads. Short holds only.
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

std::unique_ptr<AudioOutput> makePulseOutput();
std::unique_ptr<AudioOutput> makeSdlOutput();
// Why the last SDL output could not open (SDL's own words, or that SDL is missing).
std::string SdlOutputError();
std::unique_ptr<AudioOutput> makeSilentOutput();

class OutputLock {
public:
    explicit OutputLock(AudioOutput& output) : m_output(output) { m_output.lock(); }
    ~OutputLock() { m_output.unlock(); }
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;

private:
    AudioOutput& m_output;
};

} // namespace fsound
