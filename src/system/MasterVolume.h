#pragma once
// The system's master volume through the mixer: the device "default", its element
// "Master", its playback volume. `CMain::GetMasterVolume` and `SetMasterVolume` open
// the mixer, work on it and close it again on every call; nothing is kept between calls.
// `MasterVolumeWatch` keeps one mixer open to hear of changes made elsewhere.
// Window thread only.

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

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
    // The descriptors that become readable when the mixer has news (a volume changed,
    // here or elsewhere); none when it cannot tell.
    virtual std::vector<int> EventDescriptors() const { return {}; }
    // Takes the news in; true when a value may have changed.
    virtual bool TakeEvents() { return false; }
};

using MasterMixerFactory = std::function<std::unique_ptr<IMasterMixer>()>;

// Tests hand in a mixer double; an empty factory restores the system's mixer.
void SetMasterMixerFactory(MasterMixerFactory factory);

// The system's mixer ("default", "Master").
std::unique_ptr<IMasterMixer> MakeAlsaMasterMixer();

// Tells when the master volume changes, wherever it was changed (the desktop's sound
// applet, another program, this one): it listens to the mixer's own change
// notifications on the window thread, so nothing polls and no thread is started.
class MasterVolumeWatch : public QObject {
    Q_OBJECT
public:
    // Opens the mixer (through the factory, like the calls above); without one nothing
    // is ever told.
    explicit MasterVolumeWatch(QObject* parent = nullptr);
    ~MasterVolumeWatch() override;
    bool Watching() const { return !m_notifiers.empty(); }

signals:
    void Changed();

private:
    void TakeEvents();

    std::unique_ptr<IMasterMixer> m_mixer;
    std::vector<std::unique_ptr<QSocketNotifier>> m_notifiers;
};
