#include "AudioOutput.h"

#include <SDL.h>

#include <mutex>

namespace fsound {

namespace {

// About 186 ms at 44.1 kHz. SDL ties the sound server's buffer to its device buffer;
// 8192 frames halve the server's wake-ups against 4096 and cost nothing at the start
// (measured). Stop and seek throw away what SDL holds, so they stay immediate.
constexpr Uint16 kDeviceFrames = 8192;

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
        SDL_AudioSpec want{};
        want.freq = rate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = kDeviceFrames;
        want.callback = &SdlOutput::trampoline;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the device really takes.
        m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (m_device == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        m_latency = have.samples;
        return true;  // paused until setActive
    }

    void close() override
    {
        if (m_device != 0) {
            SDL_CloseAudioDevice(m_device);
            m_device = 0;
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
    }

    std::size_t latencyFrames() const override { return m_latency; }
    void setActive(bool active) override
    {
        if (m_device != 0)
            SDL_PauseAudioDevice(m_device, active ? 0 : 1);
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

    SDL_AudioDeviceID m_device = 0;
    std::size_t m_latency = kDeviceFrames;
    Callback m_callback;
    std::mutex m_lock;  // the output lock: held around every callback
};

} // namespace

std::unique_ptr<AudioOutput> makeSdlOutput()
{
    return std::make_unique<SdlOutput>();
}

} // namespace fsound
