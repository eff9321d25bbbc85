#include "AudioOutput.h"

#include <SDL.h>

#include <atomic>
#include <mutex>
#include <utility>

namespace fsound {

namespace {

// About 186 ms at 44.1 kHz. SDL ties the sound server's buffer to its device buffer;
// 8192 frames halve the server's wake-ups against 4096 and cost nothing at the start
// (measured). Stop and seek throw away what SDL holds, so they stay immediate.
constexpr Uint16 kDeviceFrames = 8192;
constexpr Uint16 kProbeFrames = 256;

// The device is opened at the first sound, not before. A paused SDL device still runs
// its thread and writes silence, one whole device buffer per wake-up, and a device
// opened or resumed before the first sound is decoded plays a buffer of silence first
// (186 ms added to every start from the command line, measured). So until then
// setActive(true) only asks for the device, and the decoder thread opens it as soon as
// the rings hold sound (dataReady). (SDL opens every device paused; its thread could
// write one buffer of silence before the unpause right after the open reaches it, which
// happens only on a very slow machine.) Once open it stays, paused while nothing plays:
// closing waits for SDL's thread to finish its buffer, and a PulseAudio null sink was
// seen to stall for seconds when SDL's stream went and came back between two songs.
class SdlOutput final : public AudioOutput {
public:
    ~SdlOutput() override { close(); }

    bool open(int rate, Callback callback) override
    {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_APP_NAME, "Sorvel");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return false;
        m_callback = std::move(callback);
        m_rate = rate;
        // Opened once now to learn that a device exists. With a small buffer: closing
        // waits for SDL's thread to finish the buffer it is on.
        const SDL_AudioDeviceID probe = openDevice(kProbeFrames);
        if (probe == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        SDL_CloseAudioDevice(probe);
        m_initialised = true;
        return true;
    }

    void close() override
    {
        SDL_AudioDeviceID device = 0;
        {
            std::lock_guard guard(m_deviceLock);
            device = std::exchange(m_device, 0);
            m_wanted = false;
        }
        if (device != 0)
            SDL_CloseAudioDevice(device);
        if (std::exchange(m_initialised, false))
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    std::size_t latencyFrames() const override { return m_latency.load(std::memory_order_relaxed); }

    void setActive(bool active) override
    {
        std::lock_guard guard(m_deviceLock);
        m_wanted = active;
        // Once open, the device is only paused and resumed.
        if (m_device != 0)
            SDL_PauseAudioDevice(m_device, active ? 0 : 1);
    }

    void dataReady() override
    {
        std::lock_guard guard(m_deviceLock);
        if (!m_wanted || m_device != 0)
            return;
        m_device = openDevice(kDeviceFrames);
        if (m_device != 0)
            SDL_PauseAudioDevice(m_device, 0);
    }

    void discardQueued() override {}
    // Our own mutex rather than SDL's device lock: the same exclusion, visible to the
    // thread sanitizer, which does not follow locks taken inside SDL.
    void lock() override { m_lock.lock(); }
    void unlock() override { m_lock.unlock(); }

private:
    static void SDLCALL trampoline(void* self, Uint8* stream, int bytes)
    {
        auto* output = static_cast<SdlOutput*>(self);
        std::lock_guard guard(output->m_lock);
        output->m_callback(reinterpret_cast<float*>(stream), static_cast<std::size_t>(bytes) / (2 * sizeof(float)),
                           true);
    }

    // Opens a paused device; 0 when SDL has none.
    SDL_AudioDeviceID openDevice(Uint16 frames)
    {
        SDL_AudioSpec want{};
        want.freq = m_rate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = frames;
        want.callback = &SdlOutput::trampoline;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the device really takes.
        const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device != 0 && frames == kDeviceFrames)
            m_latency.store(have.samples, std::memory_order_relaxed);
        return device;
    }

    int m_rate = 44100;
    bool m_initialised = false;
    std::atomic<std::size_t> m_latency{kDeviceFrames};
    Callback m_callback;
    std::mutex m_deviceLock;  // guards m_device and m_wanted; never taken inside the callback
    SDL_AudioDeviceID m_device = 0;
    bool m_wanted = false;
    std::mutex m_lock;  // the output lock: held around every callback
};

} // namespace

std::unique_ptr<AudioOutput> makeSdlOutput()
{
    return std::make_unique<SdlOutput>();
}

} // namespace fsound
