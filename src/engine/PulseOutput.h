#pragma once
// Output through the PulseAudio client library, which PipeWire desktops serve too. Used
// only by the library's choice of output; its parts are in the files named after what
// they do:
//   PulseOutput.cpp      what the library asks of an output: open, close, active, paused
//   PulseConnection.cpp  the connection to the server: made, lost, and made again
//   PulseStream.cpp      the playback stream: made, corked, flushed, its state
//   PulseTiming.cpp      what was handed over and is not heard yet
//   PulseWrite.cpp       handing sound to the server

#include "AudioOutput.h"
#include "PulseCalls.h"

#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace fsound {

// What the sound server holds for us, its sink's own buffer included (the server sets
// that to about a quarter second from these sizes). Players built for music keep about
// this much queued: the server then wakes a few times a second instead of every few
// milliseconds (measured: 1,250 against 5,400 wake-ups a minute for audacious). Stop
// and seek throw the queue away and the volume is applied by the server, so all three
// act at once; the clock and the spectrum are compensated for what is queued.
constexpr double kServerBufferSeconds = 1.0;
// The server asks for more once this much has room; it is what one write hands over.
constexpr double kRequestSeconds = 0.25;
// Playback starts (and restarts after an underrun) once this much is queued.
constexpr double kStartSeconds = 0.02;
// A stream left idle (nothing to play) this long is taken down: held corked, it kept
// the sink at the stream's latency, and the server woke 240 times a minute for nothing.
// A start soon after a stop still finds it ready.
constexpr std::uint64_t kIdleStreamUsec = 10'000'000;
// Sent as 32-bit float samples, as the mix holds them: a 16-bit or 24-bit song reaches
// the sink with every bit it has (the server's conversion to a 16-bit sink is exact for
// 16-bit values; the old conversion here, by 32,767, changed nearly every sample).
constexpr std::size_t kFrameBytes = 2 * sizeof(float);
// One piece of a write. Frames mixed before the server lends a buffer must fit in any
// it lends: its blocks hold 64 KiB, 8,184 frames of float.
constexpr std::size_t kMixFrames = 4096;
// Where the server's socket cannot be watched (a server over the network), the output
// asks again this often while the server is gone.
constexpr pa_usec_t kRetryUsec = 1000 * 1000;
// How often the timing is asked for while the sink has not started on what it was given.
constexpr pa_usec_t kStartPollUsec = 20 * 1000;
constexpr pa_usec_t kSettleUsec = 500 * 1000;
// Once settled, the timing is asked for again with a write at most this often: the
// library keeps what was written since the last answer, and what the sink played since
// is counted on by the clock. Each answer wakes the server's main and sink threads and
// ours: asked with every write, they were most of the server's wake-ups while playing.
constexpr pa_usec_t kTimingRefreshUsec = 2 * 1000 * 1000;
// The longest silence put in front of the first sound of a start (see leadInFrames).
constexpr pa_usec_t kMaxLeadInUsec = 500 * 1000;

// The folder to watch for a server's socket, from what pa_context_get_server says:
// "/run/user/1000/pulse/native", or "unix:/..."; empty for a server over the network.
std::string socketPathOf(const char* server);

// Threads: the library's own mainloop thread runs the write callback (the device
// callback) and the connection's news; everything else takes the mainloop lock, which
// is the output lock.
//
// When the server goes away (a restart, a crash), the output says so through the
// listener and watches the server's socket folder with inotify from the mainloop: when
// a server answers again, a new connection and stream are made, corked until the
// library asks for sound. Nothing runs meanwhile.
// Every member but close is called only on an output that opened.
class PulseOutput final : public AudioOutput {
public:
    ~PulseOutput() { close(); }

    bool open(const OutputRequest& request, OutputFailure& failure);
    void close();
    std::size_t latencyFrames() const;
    void setActive(bool active);
    void setPaused(bool paused);
    void discardQueued();
    void dataReady();
    bool setVolume(float gain);
    void setRate(int rate);
    bool connected() const { return m_connected.load(); }
    unsigned losses() const { return m_losses.load(); }
    unsigned sinkChanges() const { return m_sinkChanges.load(); }
    std::string whyLost() const;

    void lock() { pa_threaded_mainloop_lock(m_loop); }
    void unlock() { pa_threaded_mainloop_unlock(m_loop); }

private:
    using Clock = std::chrono::steady_clock;

    // A PulseAudio call that failed, and the error the server or the library gave.
    struct Failure {
        const char* call = nullptr;  // null: the server went away
        int error = 0;               // a PA_ERR_ code, 0 when there was none
    };
    static std::string describe(const Failure& failure);
    // The call failed, with the PA_ERR_ code it gave (0: none): kept in m_failure.
    // Returns false, for the caller to return.
    bool failed(const char* call, int error = 0);
    // A call on the stream failed while connected: the output is lost, and a new
    // connection is made.
    void failedWhilePlaying(const char* call, int error = 0);
    // What the context says went wrong last: for a connection or a stream that failed
    // on the server's word. Calls that return a null pointer give no code of their own.
    int contextError() const;

    // --- the connection (lock held throughout) ---
    bool startContext();
    bool waitForContext();
    void destroyContext();

    // --- losing the server and finding it again (mainloop thread, lock held) ---
    void lost(const Failure& cause);
    void later(pa_usec_t usec, pa_time_event_cb_t callback);
    pa_usec_t nextBackoff() const;
    bool socketExists() const;
    void attempt();
    void retryLater();
    void watchForServer();
    void stopWatching();
    void streamBack();
    static void onContextState(pa_context* context, void* self);
    static void onServerEvent(pa_context* context, pa_subscription_event_type_t type, std::uint32_t index, void* self);
    static void onSinkSeen(pa_context* context, const pa_sink_info* info, int last, void* self);
    static void onSinkChanged(pa_context* context, const pa_sink_info* info, int last, void* self);
    void tellSinkChange();
    static void onAttempt(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self);
    static void onAttemptFailed(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self);
    static void onFolderChanged(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self);

    // --- the stream (lock held) ---
    bool streamReady() const { return m_stream && Pulse().stream_get_state(m_stream) == PA_STREAM_READY; }
    bool startStream();
    bool waitForStream();
    void destroyStream();
    void applyCork(bool wait);
    void flush();
    void waitFor(pa_operation* operation);
    static void runOperation(pa_operation* operation);
    static void onStreamState(pa_stream* stream, void* self);
    static void onRouteChanged(pa_stream* stream, void* self);
    static void onUnderflow(pa_stream* stream, void* self);
    static void onSuccess(pa_stream*, int, void* self);

    // --- timing (lock held) ---
    std::size_t currentLatency() const;
    std::size_t latencyAtLoss() const;
    void askTiming();
    void refreshTiming();
    static void onTiming(pa_stream* stream, int, void* self);
    static void onTimingPoll(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self);
    // --- the idle stream's end (lock held) ---
    void scheduleIdleEnd();
    void cancelIdleEnd();
    static void onIdleEnd(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self);

    // --- writing (lock held: the mainloop thread, or a caller that took it) ---
    void writeWhatIsReady();
    void write(std::size_t bytes);
    bool writeSilence(std::size_t frames, std::size_t& wrote);
    std::size_t leadInFrames();
    static void onWrite(pa_stream*, std::size_t bytes, void* self);

    struct Timing {
        std::size_t latency = 0;
        std::int64_t written = 0;
        Clock::time_point when{};
    };

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;        // the lock
    pa_stream* m_stream = nullptr;          // the lock
    std::string m_server;                   // the lock: the socket of the server first found
    std::string m_device;                   // the lock: the sink asked for; empty: the server's default
    Failure m_failure;                      // the lock: the last call that failed
    Failure m_lostBecause;                  // the lock: why the output was lost last
    bool m_active = false;                  // the lock: sound is wanted
    bool m_paused = false;                  // the lock: what is queued is held
    bool m_closing = false;                 // the lock
    bool m_reconnecting = false;            // the lock: lost, and looking for a server
    pa_usec_t m_backoffUsec = 0;            // the lock: 0 once sound got through
    std::atomic<bool> m_connected{false};   // written under the lock
    std::atomic<unsigned> m_losses{0};      // written under the lock
    std::atomic<unsigned> m_sinkChanges{0}; // written under the lock
    // The lock: each sink's loudest channel and mute as last seen. A sink's change is
    // told only when these moved: it also changes when a stream starts or stops on it.
    std::map<std::uint32_t, std::pair<pa_volume_t, int>> m_sinkLevels;
    pa_volume_t m_volume = PA_VOLUME_NORM;  // the lock
    std::int64_t m_written = 0;             // the lock: frames written since the stream was made or flushed
    std::size_t m_leadInFrames = 0;         // the lock: silence still to go before the first sound
    std::size_t m_sinkLeadInFrames = 0;     // the lock: the lead-in the sink asked for at the last start
    std::size_t m_heldLatency = 0;          // the lock: unheard frames while paused or lost
    mutable Timing m_lastTiming;            // the lock
    Clock::time_point m_settleUntil{};      // the lock: timing is asked for often until then
    Clock::time_point m_askedAt{};          // the lock: when the timing was asked for last
    int m_inotify = -1;                     // the lock
    pa_io_event* m_watch = nullptr;         // the lock
    pa_time_event* m_retry = nullptr;       // the lock
    pa_time_event* m_timingPoll = nullptr;  // the lock
    pa_time_event* m_idleEnd = nullptr;     // the lock: takes an idle stream down
    int m_rate = 44100;                     // the lock
    Callback m_callback;
    Listener m_listener;
    std::vector<float> m_mix = std::vector<float>(kMixFrames * 2);  // the lock
};

} // namespace fsound
