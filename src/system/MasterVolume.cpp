#include "MasterVolume.h"

#include "Cmain.h"

#include <QSocketNotifier>

#include <alsa/asoundlib.h>

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

class AlsaMasterMixer : public IMasterMixer {
public:
    ~AlsaMasterMixer() override
    {
        if (m_handle)
            snd_mixer_close(m_handle);
    }

    bool Open() override
    {
        static const bool quiet = (snd_lib_error_set_handler(quietAlsa), true);
        (void)quiet;
        if (snd_mixer_open(&m_handle, 0) < 0) {
            m_handle = nullptr;
            return false;
        }
        if (snd_mixer_attach(m_handle, "default") < 0 || snd_mixer_selem_register(m_handle, nullptr, nullptr) < 0
            || snd_mixer_load(m_handle) < 0)
            return false;
        snd_mixer_handle_events(m_handle);
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_index(id, 0);
        snd_mixer_selem_id_set_name(id, "Master");
        m_element = snd_mixer_find_selem(m_handle, id);
        if (!m_element || !snd_mixer_selem_has_playback_volume(m_element))
            return false;
        if (snd_mixer_selem_get_playback_volume_range(m_element, &m_min, &m_max) < 0)
            return false;
        if (snd_mixer_selem_has_playback_volume_joined(m_element) || snd_mixer_selem_is_playback_mono(m_element)) {
            m_channels.push_back(SND_MIXER_SCHN_MONO);
        } else {
            for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
                const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
                if (snd_mixer_selem_has_playback_channel(m_element, channel))
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
        snd_mixer_selem_get_playback_volume(m_element, m_channels.at(static_cast<std::size_t>(channel)), &value);
        return value;
    }

    void SetValue(int channel, long value) override
    {
        snd_mixer_selem_set_playback_volume(m_element, m_channels.at(static_cast<std::size_t>(channel)), value);
    }

    std::vector<int> EventDescriptors() const override
    {
        std::vector<int> fds;
        const int count = m_handle ? snd_mixer_poll_descriptors_count(m_handle) : 0;
        if (count <= 0)
            return fds;
        m_polls.resize(static_cast<std::size_t>(count));
        const int got = snd_mixer_poll_descriptors(m_handle, m_polls.data(), static_cast<unsigned>(count));
        for (int i = 0; i < got; ++i)
            if (m_polls[static_cast<std::size_t>(i)].events & POLLIN)
                fds.push_back(m_polls[static_cast<std::size_t>(i)].fd);
        return fds;
    }

    bool TakeEvents() override
    {
        if (!m_handle || m_polls.empty())
            return false;
        // Ask what happened first: a plugin (the sound server's) clears its descriptor
        // there, and a descriptor left readable would wake the window thread again at once.
        for (pollfd& p : m_polls)
            p.revents = POLLIN;
        unsigned short revents = 0;
        snd_mixer_poll_descriptors_revents(m_handle, m_polls.data(), static_cast<unsigned>(m_polls.size()), &revents);
        return snd_mixer_handle_events(m_handle) > 0 || (revents & POLLIN);
    }

private:
    snd_mixer_t* m_handle = nullptr;
    snd_mixer_elem_t* m_element = nullptr;
    long m_min = 0;
    long m_max = 0;
    std::vector<snd_mixer_selem_channel_id_t> m_channels;
    mutable std::vector<pollfd> m_polls;
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

MasterVolumeWatch::MasterVolumeWatch(QObject* parent) : QObject(parent)
{
    m_mixer = openMixer();
    if (!m_mixer)
        return;
    for (const int fd : m_mixer->EventDescriptors()) {
        auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(notifier.get(), &QSocketNotifier::activated, this, &MasterVolumeWatch::TakeEvents);
        m_notifiers.push_back(std::move(notifier));
    }
}

MasterVolumeWatch::~MasterVolumeWatch() = default;

void MasterVolumeWatch::TakeEvents()
{
    if (m_mixer && m_mixer->TakeEvents())
        emit Changed();
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
