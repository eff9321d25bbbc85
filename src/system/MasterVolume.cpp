#include "MasterVolume.h"

#include "Cmain.h"

#include <alsa/asoundlib.h>

#include <dlfcn.h>

#include <cstdint>
#include <vector>

namespace {

MasterMixerFactory& factory()
{
    static MasterMixerFactory f;
    return f;
}

std::unique_ptr<IMasterMixer> openMixer()
{
    std::unique_ptr<IMasterMixer> mixer = factory() ? factory()() : MakeAlsaMasterMixer();
    if (!mixer || !mixer->Open())
        return nullptr;
    return mixer;
}

// A missing mixer is not worth a word: the bar then simply stands at its left end.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// The mixer library, loaded for one use and let go after it: the bar reads the volume
// now and then, and the library with its sound-server plugin and that plugin's own
// connection would otherwise stay for the program's life (about 0.8 MB).
class AlsaLibrary {
public:
    AlsaLibrary()
    {
        // Another part of the program may use it already (SDL's output on ALSA): then
        // its configuration and plugins are that part's too, and stay.
        if (void* already = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD)) {
            m_shared = true;
            ::dlclose(already);
        }
        m_handle = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!m_handle)
            return;
        const bool all = find(set_error_handler, "snd_lib_error_set_handler") && find(open, "snd_mixer_open")
                         && find(attach, "snd_mixer_attach") && find(selem_register, "snd_mixer_selem_register")
                         && find(load, "snd_mixer_load") && find(handle_events, "snd_mixer_handle_events")
                         && find(close, "snd_mixer_close") && find(id_sizeof, "snd_mixer_selem_id_sizeof")
                         && find(id_set_index, "snd_mixer_selem_id_set_index")
                         && find(id_set_name, "snd_mixer_selem_id_set_name") && find(find_selem, "snd_mixer_find_selem")
                         && find(has_volume, "snd_mixer_selem_has_playback_volume")
                         && find(volume_range, "snd_mixer_selem_get_playback_volume_range")
                         && find(volume_joined, "snd_mixer_selem_has_playback_volume_joined")
                         && find(is_mono, "snd_mixer_selem_is_playback_mono")
                         && find(has_channel, "snd_mixer_selem_has_playback_channel")
                         && find(get_volume, "snd_mixer_selem_get_playback_volume")
                         && find(set_volume, "snd_mixer_selem_set_playback_volume")
                         && find(free_global, "snd_config_update_free_global");
        if (!all) {
            ::dlclose(m_handle);
            m_handle = nullptr;
            return;
        }
        set_error_handler(quietAlsa);
    }
    ~AlsaLibrary()
    {
        if (!m_handle)
            return;
        // The configuration it read and the plugins it opened go first, or the plugins
        // would keep it loaded.
        if (!m_shared)
            free_global();
        ::dlclose(m_handle);
    }
    AlsaLibrary(const AlsaLibrary&) = delete;
    AlsaLibrary& operator=(const AlsaLibrary&) = delete;
    bool loaded() const { return m_handle != nullptr; }

    decltype(&snd_lib_error_set_handler) set_error_handler = nullptr;
    decltype(&snd_mixer_open) open = nullptr;
    decltype(&snd_mixer_attach) attach = nullptr;
    decltype(&snd_mixer_selem_register) selem_register = nullptr;
    decltype(&snd_mixer_load) load = nullptr;
    decltype(&snd_mixer_handle_events) handle_events = nullptr;
    decltype(&snd_mixer_close) close = nullptr;
    decltype(&snd_mixer_selem_id_sizeof) id_sizeof = nullptr;
    decltype(&snd_mixer_selem_id_set_index) id_set_index = nullptr;
    decltype(&snd_mixer_selem_id_set_name) id_set_name = nullptr;
    decltype(&snd_mixer_find_selem) find_selem = nullptr;
    decltype(&snd_mixer_selem_has_playback_volume) has_volume = nullptr;
    decltype(&snd_mixer_selem_get_playback_volume_range) volume_range = nullptr;
    decltype(&snd_mixer_selem_has_playback_volume_joined) volume_joined = nullptr;
    decltype(&snd_mixer_selem_is_playback_mono) is_mono = nullptr;
    decltype(&snd_mixer_selem_has_playback_channel) has_channel = nullptr;
    decltype(&snd_mixer_selem_get_playback_volume) get_volume = nullptr;
    decltype(&snd_mixer_selem_set_playback_volume) set_volume = nullptr;
    decltype(&snd_config_update_free_global) free_global = nullptr;

private:
    template <typename F>
    bool find(F& function, const char* name)
    {
        function = reinterpret_cast<F>(::dlsym(m_handle, name));
        return function != nullptr;
    }

    void* m_handle = nullptr;
    bool m_shared = false;
};

class AlsaMasterMixer : public IMasterMixer {
public:
    ~AlsaMasterMixer() override
    {
        if (m_handle)
            m_alsa.close(m_handle);
    }

    bool Open() override
    {
        if (!m_alsa.loaded())
            return false;
        if (m_alsa.open(&m_handle, 0) < 0) {
            m_handle = nullptr;
            return false;
        }
        if (m_alsa.attach(m_handle, "default") < 0 || m_alsa.selem_register(m_handle, nullptr, nullptr) < 0
            || m_alsa.load(m_handle) < 0)
            return false;
        m_alsa.handle_events(m_handle);
        std::vector<unsigned char> idBytes(m_alsa.id_sizeof());
        auto* id = reinterpret_cast<snd_mixer_selem_id_t*>(idBytes.data());
        m_alsa.id_set_index(id, 0);
        m_alsa.id_set_name(id, "Master");
        m_element = m_alsa.find_selem(m_handle, id);
        if (!m_element || !m_alsa.has_volume(m_element))
            return false;
        if (m_alsa.volume_range(m_element, &m_min, &m_max) < 0)
            return false;
        if (m_alsa.volume_joined(m_element) || m_alsa.is_mono(m_element)) {
            m_channels.push_back(SND_MIXER_SCHN_MONO);
        } else {
            for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
                const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
                if (m_alsa.has_channel(m_element, channel))
                    m_channels.push_back(channel);
            }
        }
        return !m_channels.empty();
    }

    long Minimum() const override { return m_min; }
    long Maximum() const override { return m_max; }
    int Channels() const override { return static_cast<int>(m_channels.size()); }

    long Value(int channel) const override
    {
        long value = m_min;
        m_alsa.get_volume(m_element, m_channels.at(static_cast<std::size_t>(channel)), &value);
        return value;
    }

    void SetValue(int channel, long value) override
    {
        m_alsa.set_volume(m_element, m_channels.at(static_cast<std::size_t>(channel)), value);
    }

private:
    AlsaLibrary m_alsa;  // first in, last out: the mixer is closed before the library goes
    snd_mixer_t* m_handle = nullptr;
    snd_mixer_elem_t* m_element = nullptr;
    long m_min = 0;
    long m_max = 0;
    std::vector<snd_mixer_selem_channel_id_t> m_channels;
};

} // namespace

void SetMasterMixerFactory(MasterMixerFactory f)
{
    factory() = std::move(f);
}

std::unique_ptr<IMasterMixer> MakeAlsaMasterMixer()
{
    return std::make_unique<AlsaMasterMixer>();
}

float CMain::GetMasterVolume()
{
    const std::unique_ptr<IMasterMixer> mixer = openMixer();
    if (!mixer)
        return 0;
    float span = static_cast<float>(mixer->Maximum() - mixer->Minimum());
    if (!(span > 0))
        span = 1;
    const auto raw = static_cast<std::int32_t>(mixer->Value(0) - mixer->Minimum());
    // The product wraps as a 32-bit integer would; with real ranges it never does.
    const auto scaled = static_cast<std::int32_t>(static_cast<std::uint32_t>(raw) * 100u);
    return static_cast<float>(scaled) / span;
}

void CMain::SetMasterVolume(float percent)
{
    const std::unique_ptr<IMasterMixer> mixer = openMixer();
    if (!mixer)
        return;
    const float span = static_cast<float>(mixer->Maximum() - mixer->Minimum());
    const float scaled = 0.01f * percent * span;
    const long value = static_cast<long>(scaled) + mixer->Minimum();
    const int channels = mixer->Channels();
    mixer->SetValue(0, value);
    if (channels > 1)
        mixer->SetValue(channels - 1, value);
}
