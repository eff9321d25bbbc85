#include "AudioOutput.h"
#include "ThreadName.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace fsound {

namespace {

constexpr std::size_t kPeriodFrames = 1024;

// Stands in for a sound device: consumes sound at real time and throws it away, so
// positions, end of song and the spectrum behave as they would with a device.
class SilentOutput final : public AudioOutput {
public:
    ~SilentOutput() { close(); }

    // Any device name will do: there is no device.
    bool open(const OutputRequest& request, OutputFailure&)
    {
        m_callback = request.callback;
        m_rate = request.rate > 0 ? request.rate : 44100;  // before the thread starts
        m_buffer.assign(kPeriodFrames * 2, 0.0f);
        m_stop = false;
        m_thread = std::thread([this] {
            NameThisThread("sorvel-silent");
            run();
        });
        return true;
    }

    void close()
    {
        {
            std::lock_guard guard(m_stopMutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    std::size_t latencyFrames() const { return kPeriodFrames; }
    void setActive(bool active)
    {
        {
            std::lock_guard guard(m_stopMutex);
            m_active = active;
            m_paused = false;
        }
        m_wake.notify_all();
    }
    void setRate(int rate)
    {
        std::lock_guard guard(m_stopMutex);
        if (rate > 0)
            m_rate = rate;
    }
    void setPaused(bool paused)
    {
        {
            std::lock_guard guard(m_stopMutex);
            m_paused = paused;
        }
        m_wake.notify_all();
    }
    void lock() { m_lock.lock(); }
    void unlock() { m_lock.unlock(); }

private:
    void run()
    {
        using Clock = std::chrono::steady_clock;
        auto next = Clock::now();
        for (;;) {
            Clock::duration period{};
            {
                std::unique_lock guard(m_stopMutex);
                if (!m_active || m_paused) {
                    // Idle or paused: no ticks at all until something plays.
                    m_wake.wait(guard, [this] { return m_stop || (m_active && !m_paused); });
                    next = Clock::now();
                }
                period = std::chrono::duration_cast<Clock::duration>(
                    std::chrono::duration<double>(static_cast<double>(kPeriodFrames) / m_rate));
                if (m_wake.wait_until(guard, next, [this] { return m_stop; }))
                    return;
            }
            next += period;
            std::lock_guard guard(m_lock);
            m_callback(m_buffer.data(), kPeriodFrames, true);
        }
    }

    Callback m_callback;
    int m_rate = 44100;            // m_stopMutex
    std::vector<float> m_buffer;   // touched by the sink thread only
    std::mutex m_lock;             // the output lock: held around every callback
    std::mutex m_stopMutex;        // guards m_stop, m_active, m_paused
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_active = false;
    bool m_paused = false;
    std::thread m_thread;
};

} // namespace

using SilentOps = DriverOf<SilentOutput>;
const OutputDriver kSilentDriver{
    .name = "silent",
    .title = "the silent sink",
    .open = SilentOps::open,
    .close = SilentOps::close,
    .latencyFrames = SilentOps::latencyFrames,
    .setActive = SilentOps::setActive,
    .setPaused = SilentOps::setPaused,
    .discardQueued = nullptr,
    .connected = nullptr,
    .losses = nullptr,
    .whyLost = nullptr,
    .dataReady = nullptr,
    .setVolume = nullptr,
    .setRate = SilentOps::setRate,
    .lock = SilentOps::lock,
    .unlock = SilentOps::unlock,
    .sinkChanges = nullptr,
};

} // namespace fsound
