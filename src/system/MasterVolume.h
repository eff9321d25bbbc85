#pragma once
// The system's master volume through the mixer: the device "default", its element
// "Master", its playback volume. `CMain::GetMasterVolume` and `SetMasterVolume` open
// the mixer, work on it and close it again on every call; nothing is kept between calls,
// not even the mixer library. (Changes made elsewhere are heard from the sound server:
// `Transport::SinkChanged`.) Window thread only.

#include <functional>
#include <memory>

// One opened mixer volume control. The destructor releases everything the object
// opened, whether `Open` succeeded or not.
class IMasterMixer {
public:
    virtual ~IMasterMixer() = default;
    // Opens the device and finds the volume control; false when either is missing.
    virtual bool Open() = 0;
    virtual long Minimum() const = 0;
    virtual long Maximum() const = 0;
    // Channels whose values are read and written: 1 when the control is uniform (all
    // channels joined, or mono), else the channel count.
    virtual int Channels() const = 0;
    virtual long Value(int channel) const = 0;
    virtual void SetValue(int channel, long value) = 0;
};

using MasterMixerFactory = std::function<std::unique_ptr<IMasterMixer>()>;

// Tests hand in a mixer double; an empty factory restores the system's mixer.
void SetMasterMixerFactory(MasterMixerFactory factory);

// The system's mixer ("default", "Master").
std::unique_ptr<IMasterMixer> MakeAlsaMasterMixer();
