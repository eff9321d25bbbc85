#include "AudioOutput.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>
#include <utility>

namespace fsound {

namespace {

// SDL is only the fallback when no sound server answers, and it pulls in eighteen other
// libraries (X extensions, Wayland, DRM): it is opened when the fallback is tried, not
// linked, so that the player does not load and bind them at every start.
struct SdlLibrary {
    void* handle = nullptr;
    decltype(&SDL_SetHint) SetHint = nullptr;
    decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
    decltype(&SDL_GetError) GetError = nullptr;
    std::string missing;  // why it could not be opened; empty once it is

    SdlLibrary()
    {
        handle = ::dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            missing = "SDL2 is not installed";
            return;
        }
        const bool all = find(SetHint, "SDL_SetHint") && find(InitSubSystem, "SDL_InitSubSystem")
            && find(QuitSubSystem, "SDL_QuitSubSystem") && find(OpenAudioDevice, "SDL_OpenAudioDevice")
            && find(PauseAudioDevice, "SDL_PauseAudioDevice") && find(CloseAudioDevice, "SDL_CloseAudioDevice")
            && find(GetError, "SDL_GetError");
        if (!all)
            missing = "SDL2 lacks the audio functions";
    }
    // Never closed: SDL's threads may outlive any owner we could give it.

    template <typename F>
    bool find(F& function, const char* name)
    {
        function = reinterpret_cast<F>(::dlsym(handle, name));
        return function != nullptr;
    }
    bool usable() const { return missing.empty(); }
};

// Opened when the first SDL output opens (FSOUND_Init, on the window thread); later calls,
// from any thread, only read it.
const SdlLibrary& sdl()
{
    static const SdlLibrary library;
    return library;
}

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
    ~SdlOutput() { close(); }

    bool open(const OutputRequest& request, OutputFailure& failure)
    {
        if (!sdl().usable()) {
            failure.reason = sdl().missing;
            return false;
        }
        sdl().SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        sdl().SetHint(SDL_HINT_APP_NAME, "Sorvel");
        if (sdl().InitSubSystem(SDL_INIT_AUDIO) != 0) {
            failure.reason = sdl().GetError();
            return false;
        }
        m_callback = request.callback;
        m_rate.store(request.rate);
        m_deviceName = request.device;
        // Opened once now to learn that the device exists. With a small buffer: closing
        // waits for SDL's thread to finish the buffer it is on.
        const SDL_AudioDeviceID probe = openDevice(kProbeFrames);
        if (probe == 0) {
            failure.reason = sdl().GetError();
            failure.deviceRefused = !m_deviceName.empty();
            sdl().QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        sdl().CloseAudioDevice(probe);
        m_initialised = true;
        return true;
    }

    void close()
    {
        closeRetired();
        SDL_AudioDeviceID device = 0;
        {
            std::lock_guard guard(m_deviceLock);
            device = std::exchange(m_device, 0);
            m_wanted = false;
        }
        if (device != 0)
            sdl().CloseAudioDevice(device);
        if (std::exchange(m_initialised, false))
            sdl().QuitSubSystem(SDL_INIT_AUDIO);
    }

    // The device buffer less what SDL has played of it since it last asked, so that the
    // position moves smoothly rather than a whole buffer at a time.
    std::size_t latencyFrames() const
    {
        const auto buffer = static_cast<std::int64_t>(m_latency.load(std::memory_order_relaxed));
        const std::int64_t asked = m_lastCallbackNs.load(std::memory_order_acquire);
        if (asked == 0 || m_heldLatency.load() >= 0)
            return static_cast<std::size_t>(m_heldLatency.load() >= 0 ? m_heldLatency.load() : buffer);
        const std::int64_t since = nowNs() - asked;
        const std::int64_t played = since * m_rate.load() / 1000000000;
        return static_cast<std::size_t>(std::clamp<std::int64_t>(buffer - played, 0, buffer));
    }

    void setActive(bool active)
    {
        std::lock_guard guard(m_deviceLock);
        m_wanted = active;
        m_paused = false;
        m_heldLatency.store(-1);
        // Once open, the device is only paused and resumed.
        if (m_device != 0)
            sdl().PauseAudioDevice(m_device, active ? 0 : 1);
    }

    // The device is opened again at the next sound, at the new rate. The old one falls
    // silent at once and is closed by the decoder thread as it brings that sound
    // (dataReady): closing waits for SDL's thread to finish its buffer, up to half a
    // second, which the window thread that changes the rate must not wait.
    void setRate(int rate)
    {
        std::lock_guard guard(m_deviceLock);
        if (rate <= 0 || rate == m_rate.load())
            return;
        m_rate.store(rate);
        if (m_device != 0) {
            sdl().PauseAudioDevice(m_device, 1);
            if (m_retired != 0)
                m_closeLater.push_back(m_retired);
            m_retired = std::exchange(m_device, 0);
        }
    }

    // SDL keeps no queue of ours to hold: what its device buffer has is heard as it
    // pauses, so all of it counts as heard, until the device asks again after a resume.
    void setPaused(bool paused)
    {
        std::lock_guard guard(m_deviceLock);
        m_heldLatency.store(0);
        m_lastCallbackNs.store(0);
        m_paused = paused;
        if (m_device != 0)
            sdl().PauseAudioDevice(m_device, m_wanted && !paused ? 0 : 1);
    }

    void dataReady()
    {
        closeRetired();
        std::lock_guard guard(m_deviceLock);
        if (!m_wanted || m_paused || m_device != 0)
            return;
        m_device = openDevice(kDeviceFrames);
        if (m_device != 0)
            sdl().PauseAudioDevice(m_device, 0);
    }

    // Our own mutex rather than SDL's device lock: the same exclusion, visible to the
    // thread sanitizer, which does not follow locks taken inside SDL.
    void lock() { m_lock.lock(); }
    void unlock() { m_lock.unlock(); }

private:
    static void SDLCALL trampoline(void* self, Uint8* stream, int bytes)
    {
        auto* output = static_cast<SdlOutput*>(self);
        std::lock_guard guard(output->m_lock);
        output->m_callback(reinterpret_cast<float*>(stream), static_cast<std::size_t>(bytes) / (2 * sizeof(float)),
                           true);
        output->m_lastCallbackNs.store(nowNs(), std::memory_order_release);
        output->m_heldLatency.store(-1);
    }

    // Closes the devices a change of rate left behind.
    void closeRetired()
    {
        std::vector<SDL_AudioDeviceID> devices;
        {
            std::lock_guard guard(m_deviceLock);
            devices.swap(m_closeLater);
            if (m_retired != 0)
                devices.push_back(std::exchange(m_retired, 0));
        }
        for (const SDL_AudioDeviceID device : devices)
            sdl().CloseAudioDevice(device);
    }

    // Opens a paused device; 0 when SDL has none.
    SDL_AudioDeviceID openDevice(Uint16 frames)
    {
        SDL_AudioSpec want{};
        want.freq = m_rate.load();
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = frames;
        want.callback = &SdlOutput::trampoline;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the device really takes.
        const char* name = m_deviceName.empty() ? nullptr : m_deviceName.c_str();
        const SDL_AudioDeviceID device = sdl().OpenAudioDevice(name, 0, &want, &have, 0);
        if (device != 0 && frames == kDeviceFrames)
            m_latency.store(have.samples, std::memory_order_relaxed);
        return device;
    }

    static std::int64_t nowNs()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    std::atomic<int> m_rate{44100};  // changed while idle, under m_deviceLock
    SDL_AudioDeviceID m_retired = 0;                // under m_deviceLock: left by a change of rate,
    std::vector<SDL_AudioDeviceID> m_closeLater;    // paused, to be closed off the window thread
    std::string m_deviceName;  // SDL's name for the device; empty: SDL's default
    bool m_initialised = false;
    std::atomic<std::int64_t> m_lastCallbackNs{0};  // when SDL last took a buffer; 0: not since it started
    std::atomic<std::int64_t> m_heldLatency{-1};    // from a pause until the device asks again: the latency
    std::atomic<std::size_t> m_latency{kDeviceFrames};
    Callback m_callback;
    std::mutex m_deviceLock;  // guards m_device, m_wanted and m_paused; never taken inside the callback
    SDL_AudioDeviceID m_device = 0;
    bool m_wanted = false;
    bool m_paused = false;
    std::mutex m_lock;  // the output lock: held around every callback
};

} // namespace

using SdlOps = DriverOf<SdlOutput>;
const OutputDriver kSdlDriver{
    .name = "sdl",
    .title = "SDL",
    .open = SdlOps::open,
    .close = SdlOps::close,
    .latencyFrames = SdlOps::latencyFrames,
    .setActive = SdlOps::setActive,
    .setPaused = SdlOps::setPaused,
    .discardQueued = nullptr,  // what SDL holds is heard at once
    .connected = nullptr,
    .losses = nullptr,
    .whyLost = nullptr,
    .dataReady = SdlOps::dataReady,
    .setVolume = nullptr,
    .setRate = SdlOps::setRate,
    .lock = SdlOps::lock,
    .unlock = SdlOps::unlock,
    .sinkChanges = nullptr,
};

} // namespace fsound
