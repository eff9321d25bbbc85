#pragma once
// Where mixed sound goes. The library opens one output at FSOUND_Init: the SDL device,
// or the silent sink when no device can be opened.

#include <cstddef>
#include <functional>
#include <memory>

namespace fsound {

class AudioOutput {
public:
    // Fills `frames` interleaved stereo float frames. Runs on the output's own thread
    // with the output's lock held; it must not block, allocate or call FFmpeg.
    using Callback = std::function<void(float* stereo, std::size_t frames)>;

    virtual ~AudioOutput() = default;
    // Opens two-channel float output at `rate` and starts calling `callback`.
    virtual bool open(int rate, Callback callback) = 0;
    // Stops the callback for good. Must not be called with the lock held.
    virtual void close() = 0;
    // Frames handed to the output that are not yet audible (the device buffer).
    virtual std::size_t latencyFrames() const = 0;
    // Excludes the callback while the caller changes what it reads. Short holds only.
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

std::unique_ptr<AudioOutput> makeSdlOutput();
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
