#pragma once
// A mixer control held in memory, standing in for the system's master volume: tests
// read and set its channel values and count how often it was opened and released.

#include "MasterVolume.h"

#include <vector>

struct MixerState {
    bool Present = true;
    long Minimum = 0;
    long Maximum = 65535;
    bool Uniform = false;
    std::vector<long> Values{0, 0};
    int Opened = 0;
    int Released = 0;
};

class MixerDouble : public IMasterMixer {
public:
    explicit MixerDouble(MixerState& state) : m_state(state) {}
    ~MixerDouble() override { ++m_state.Released; }
    bool Open() override
    {
        ++m_state.Opened;
        return m_state.Present;
    }
    long Minimum() const override { return m_state.Minimum; }
    long Maximum() const override { return m_state.Maximum; }
    int Channels() const override { return m_state.Uniform ? 1 : static_cast<int>(m_state.Values.size()); }
    long Value(int channel) const override { return m_state.Values.at(static_cast<std::size_t>(channel)); }
    void SetValue(int channel, long value) override { m_state.Values.at(static_cast<std::size_t>(channel)) = value; }

private:
    MixerState& m_state;
};

// Routes CMain's master volume to `state` for the lifetime of the object.
class UseMixerDouble {
public:
    explicit UseMixerDouble(MixerState& state)
    {
        SetMasterMixerFactory([&state] { return std::make_unique<MixerDouble>(state); });
    }
    ~UseMixerDouble() { SetMasterMixerFactory({}); }
    UseMixerDouble(const UseMixerDouble&) = delete;
    UseMixerDouble& operator=(const UseMixerDouble&) = delete;
};
