#include "AudioOutput.h"

#include <pulse/pulseaudio.h>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace fsound {

namespace {

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
// Sent as 16-bit samples, as sinks take them: the server then mixes without converting,
// and half as many bytes cross the socket.
constexpr std::size_t kFrameBytes = 2 * sizeof(std::int16_t);
constexpr std::size_t kMixFrames = 8192;  // one piece of a write
// Where the server's socket cannot be watched (a server over the network), the output
// asks again this often while the server is gone.
constexpr pa_usec_t kRetryUsec = 1000 * 1000;
// How often the timing is asked for while the sink has not started on what it was given.
constexpr pa_usec_t kStartPollUsec = 20 * 1000;
constexpr pa_usec_t kSettleUsec = 500 * 1000;
// The longest silence put in front of the first sound of a start (see leadInFrames).
constexpr pa_usec_t kMaxLeadInUsec = 500 * 1000;

using Clock = std::chrono::steady_clock;

// The folder to watch for a server's socket, from what pa_context_get_server says:
// "/run/user/1000/pulse/native", or "unix:/..."; empty for a server over the network.
std::string socketPathOf(const char* server)
{
    std::string path = server ? server : "";
    if (path.rfind("unix:", 0) == 0)
        path.erase(0, 5);
    if (path.empty() || path[0] != '/')
        return {};
    return path;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Output through the PulseAudio client library, which PipeWire desktops serve too.
// Threads: the library's own mainloop thread runs the write callback (the device
// callback) and the connection's news; everything else takes the mainloop lock, which
// is the output lock.
//
// When the server goes away (a restart, a crash), the output says so through the
// listener and watches the server's socket folder with inotify from the mainloop: when
// a server answers again, a new connection and stream are made, corked until the
// library asks for sound. Nothing runs meanwhile.
class PulseOutput final : public AudioOutput {
public:
    ~PulseOutput() override { close(); }

    bool open(int rate, Callback callback, Listener listener) override
    {
        m_rate = rate > 0 ? rate : 44100;
        m_callback = std::move(callback);
        m_listener = std::move(listener);
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop)
            return false;
        pa_threaded_mainloop_set_name(m_loop, "sorvel-pulse");
        if (pa_threaded_mainloop_start(m_loop) < 0) {
            close();
            return false;
        }
        pa_threaded_mainloop_lock(m_loop);
        // No autospawn: without a running server the caller falls back at once.
        bool ok = startContext() && waitForContext() && startStream() && waitForStream();
        if (ok) {
            m_server = socketPathOf(pa_context_get_server(m_context));
            m_connected.store(true);
        }
        pa_threaded_mainloop_unlock(m_loop);
        if (!ok) {
            close();
            return false;
        }
        return true;
    }

    void close() override
    {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        m_closing = true;
        stopWatching();
        destroyStream();
        destroyContext();
        pa_threaded_mainloop_unlock(m_loop);
        pa_threaded_mainloop_stop(m_loop);
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
    }

    std::size_t latencyFrames() const override
    {
        if (!m_loop)
            return 0;
        pa_threaded_mainloop_lock(m_loop);
        const std::size_t frames = (m_paused || !m_connected.load()) ? m_heldLatency : currentLatency();
        pa_threaded_mainloop_unlock(m_loop);
        return frames;
    }

    void setActive(bool active) override
    {
        if (!m_loop)
            return;
        // Idle, the stream stays but corked and flushed: it costs the server nothing,
        // and the sink keeps the latency set for it. A stream made only at the press
        // can wait for an idle sink's next wake-up, up to its whole latency (seconds),
        // before its first sound is heard.
        pa_threaded_mainloop_lock(m_loop);
        m_paused = false;
        if (active && m_connected.load() && !streamReady()) {
            destroyStream();
            if (!(startStream() && waitForStream()))
                destroyStream();
        }
        if (!active && streamReady() && m_active)
            flush();
        if (active && !m_active) {
            m_sinkLeadInFrames = leadInFrames();
            m_leadInFrames = m_sinkLeadInFrames;
        }
        m_active = active;
        applyCork(true);
        pa_threaded_mainloop_unlock(m_loop);
    }

    void setPaused(bool paused) override
    {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        if (paused && !m_paused) {
            m_paused = true;
            // Corking takes back from the sink what it had not played yet, so what is
            // queued is exactly what was not heard; fresh timing then says how much.
            applyCork(true);
            if (streamReady())
                waitFor(pa_stream_update_timing_info(m_stream, &PulseOutput::onSuccess, this));
            m_heldLatency = currentLatency();
        } else if (!paused && m_paused) {
            m_paused = false;
            applyCork(true);
        }
        pa_threaded_mainloop_unlock(m_loop);
    }

    void discardQueued() override
    {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        if (streamReady())
            flush();
        if (m_paused)
            m_heldLatency = 0;
        pa_threaded_mainloop_unlock(m_loop);
    }

    void dataReady() override
    {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        if (m_active && !m_paused && streamReady())
            writeWhatIsReady();
        pa_threaded_mainloop_unlock(m_loop);
    }

    bool setVolume(float gain) override
    {
        if (!m_loop)
            return false;
        pa_threaded_mainloop_lock(m_loop);
        m_volume = pa_sw_volume_from_linear(std::clamp(static_cast<double>(gain), 0.0, 1.0));
        if (streamReady()) {
            pa_cvolume volume;
            pa_cvolume_set(&volume, 2, m_volume);
            runOperation(pa_context_set_sink_input_volume(m_context, pa_stream_get_index(m_stream), &volume, nullptr,
                                                          nullptr));
        }
        pa_threaded_mainloop_unlock(m_loop);
        return true;
    }

    bool connected() const override { return m_connected.load(); }

    void lock() override { pa_threaded_mainloop_lock(m_loop); }
    void unlock() override { pa_threaded_mainloop_unlock(m_loop); }

private:
    // --- the connection (lock held throughout) ---

    bool startContext()
    {
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Sorvel");
        pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
        m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Sorvel", props);
        pa_proplist_free(props);
        if (!m_context)
            return false;
        pa_context_set_state_callback(m_context, &PulseOutput::onContextState, this);
        return pa_context_connect(m_context, m_server.empty() ? nullptr : m_server.c_str(), PA_CONTEXT_NOAUTOSPAWN,
                                  nullptr)
            >= 0;
    }

    bool waitForContext()
    {
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(m_context);
            if (state == PA_CONTEXT_READY)
                return true;
            if (!PA_CONTEXT_IS_GOOD(state))
                return false;
            pa_threaded_mainloop_wait(m_loop);
        }
    }

    void destroyContext()
    {
        if (!m_context)
            return;
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }

    bool streamReady() const { return m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY; }

    bool startStream()
    {
        if (!m_context || pa_context_get_state(m_context) != PA_CONTEXT_READY)
            return false;
        const pa_sample_spec sampleFormat{PA_SAMPLE_S16NE, static_cast<std::uint32_t>(m_rate), 2};
        m_stream = pa_stream_new(m_context, "Music", &sampleFormat, nullptr);
        if (!m_stream)
            return false;
        pa_stream_set_state_callback(m_stream, &PulseOutput::onStreamState, this);
        pa_stream_set_write_callback(m_stream, &PulseOutput::onWrite, this);
        pa_stream_set_moved_callback(m_stream, &PulseOutput::onRouteChanged, this);
        pa_stream_set_suspended_callback(m_stream, &PulseOutput::onRouteChanged, this);
        // The timing asked for with a write can come before the sink has started: ask
        // again as it starts (at first, and after an underrun), or the position would
        // stand still until the next write.
        pa_stream_set_started_callback(m_stream, &PulseOutput::onRouteChanged, this);
        pa_stream_set_underflow_callback(m_stream, &PulseOutput::onUnderflow, this);
        auto bytes = [this](double seconds) {
            return static_cast<std::uint32_t>(seconds * m_rate) * static_cast<std::uint32_t>(kFrameBytes);
        };
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = bytes(kServerBufferSeconds);
        attr.prebuf = bytes(kStartSeconds);
        attr.minreq = bytes(kRequestSeconds);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        // The server sets the sink's own latency from these sizes, so that the whole
        // queue, sink included, is about kServerBufferSeconds. Timing is asked for with
        // every write rather than automatically, which would go on while corked.
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED
                                                          | PA_STREAM_ADJUST_LATENCY);
        pa_cvolume volume;
        pa_cvolume_set(&volume, 2, m_volume);
        m_written = 0;
        return pa_stream_connect_playback(m_stream, nullptr, &attr, flags, &volume, nullptr) >= 0;
    }

    bool waitForStream()
    {
        for (;;) {
            if (!m_stream)
                return false;
            const pa_stream_state_t state = pa_stream_get_state(m_stream);
            if (state == PA_STREAM_READY)
                return true;
            if (!PA_STREAM_IS_GOOD(state))
                return false;
            pa_threaded_mainloop_wait(m_loop);
        }
    }

    void destroyStream()
    {
        if (m_timingPoll) {
            pa_threaded_mainloop_get_api(m_loop)->time_free(m_timingPoll);
            m_timingPoll = nullptr;
        }
        if (!m_stream)
            return;
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_moved_callback(m_stream, nullptr, nullptr);
        pa_stream_set_suspended_callback(m_stream, nullptr, nullptr);
        pa_stream_set_started_callback(m_stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
        m_written = 0;
    }

    // Corked unless sound is wanted and not held. `wait`: only off the mainloop thread.
    void applyCork(bool wait)
    {
        if (!streamReady())
            return;
        const bool cork = !m_active || m_paused;
        if ((pa_stream_is_corked(m_stream) > 0) != cork) {
            pa_operation* op = pa_stream_cork(m_stream, cork ? 1 : 0, &PulseOutput::onSuccess, this);
            if (wait)
                waitFor(op);
            else
                runOperation(op);
        }
        if (!cork)
            writeWhatIsReady();
    }

    void flush()
    {
        waitFor(pa_stream_flush(m_stream, &PulseOutput::onSuccess, this));
        m_written = 0;
        m_settleUntil = Clock::now() + std::chrono::microseconds(kSettleUsec);
    }

    // What was handed over and is not heard yet, from the server's last timing: what
    // its queue and its sink held then, less what the sink has played since, if it was
    // playing. Worked out here rather than by the client library's smoothing, which was
    // seen to run on before the sink had started and to stand still after it had (the
    // clock ran 0.4 s ahead of the sound for the first second of a song).
    // Until the server has told anything since the stream was made or flushed, nothing
    // handed over counts as heard.
    std::size_t currentLatency() const
    {
        if (!streamReady())
            return m_heldLatency;
        const pa_timing_info* timing = pa_stream_get_timing_info(m_stream);
        if (!timing || timing->write_index_corrupt || timing->read_index_corrupt)
            return static_cast<std::size_t>(m_written);
        const double queued = static_cast<double>(timing->write_index - timing->read_index) / kFrameBytes;
        const double sink = static_cast<double>(timing->sink_usec) * m_rate / 1e6;
        double played = 0;
        if (timing->playing && !pa_stream_is_corked(m_stream))
            played = static_cast<double>(pa_timeval_age(&timing->timestamp) + timing->transport_usec) * m_rate / 1e6;
        const double unheard = std::clamp(queued + sink - played, 0.0, static_cast<double>(m_written));
        const auto frames = static_cast<std::size_t>(unheard);
        m_lastTiming = {frames, m_written, Clock::now()};
        return frames;
    }

    // --- writing (lock held: the mainloop thread, or a caller that took it) ---

    void writeWhatIsReady()
    {
        const std::size_t room = pa_stream_writable_size(m_stream);
        if (room != static_cast<std::size_t>(-1) && room >= kFrameBytes)
            write(room);
    }

    void write(std::size_t bytes)
    {
        std::size_t room = bytes / kFrameBytes;
        // Frames mixed before the buffer was taken (at most kMixFrames, which any
        // buffer the server lends holds).
        std::size_t carried = 0;
        if (m_leadInFrames > 0) {
            // The lead-in goes out whole and right before the first sound: alone, it
            // would start the sink with nothing to follow it.
            const std::size_t lead = std::min(m_leadInFrames, room / 2);
            carried = m_callback(m_mix.data(), std::min(room - lead, kMixFrames), false);
            if (carried == 0)
                return;
            m_leadInFrames = 0;
            room -= writeSilence(lead);
        }
        void* buffer = nullptr;
        std::size_t size = room * kFrameBytes;
        if (size == 0 || pa_stream_begin_write(m_stream, &buffer, &size) < 0 || !buffer)
            return;
        auto* out = static_cast<std::int16_t*>(buffer);
        const std::size_t frames = size / kFrameBytes;
        std::size_t made = 0;
        while (made < frames) {
            const std::size_t want = std::min(frames - made, kMixFrames);
            const std::size_t got = carried > 0 ? std::exchange(carried, 0) : m_callback(m_mix.data(), want, false);
            for (std::size_t i = 0; i < got * 2; ++i) {
                const float v = std::clamp(m_mix[i], -1.0f, 1.0f);
                out[made * 2 + i] = static_cast<std::int16_t>(std::lrint(v * 32767.0f));
            }
            made += got;
            if (got < want)
                break;
        }
        if (made == 0) {
            pa_stream_cancel_write(m_stream);
            return;
        }
        pa_stream_write(m_stream, buffer, made * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        m_written += static_cast<std::int64_t>(made);
        askTiming();
    }

    // Hands `frames` of silence to the server; returns how many it took.
    std::size_t writeSilence(std::size_t frames)
    {
        std::size_t wrote = 0;
        while (wrote < frames) {
            void* buffer = nullptr;
            std::size_t size = (frames - wrote) * kFrameBytes;
            if (pa_stream_begin_write(m_stream, &buffer, &size) < 0 || !buffer || size < kFrameBytes)
                break;
            size -= size % kFrameBytes;
            std::memset(buffer, 0, size);
            pa_stream_write(m_stream, buffer, size, nullptr, 0, PA_SEEK_RELATIVE);
            wrote += size / kFrameBytes;
        }
        m_written += static_cast<std::int64_t>(wrote);
        return wrote;
    }

    // Silence to put in front of the first sound of a start from idle (window thread).
    // The server slots a stream that starts into its sink at once, rewinding the sink
    // over what it had mixed ahead; but the sink's monitor, which records the desktop's
    // sound, has passed that part on already, so a song starting there reached it
    // without its first samples: as many as the sink's latency, a quarter of a second
    // at most seen. With that much silence in front, the rewind takes silence, and the
    // first sample comes no later than where a server that never rewinds puts it.
    std::size_t leadInFrames()
    {
        if (!streamReady())
            return 0;
        struct Answer {
            PulseOutput* output;
            pa_usec_t usec;
        } answer{this, 0};
        auto onSink = [](pa_context*, const pa_sink_info* info, int, void* data) {
            auto* answer = static_cast<Answer*>(data);
            if (info)
                answer->usec = info->configured_latency;
            pa_threaded_mainloop_signal(answer->output->m_loop, 0);
        };
        waitFor(pa_context_get_sink_info_by_index(m_context, pa_stream_get_device_index(m_stream), onSink, &answer));
        return static_cast<std::size_t>(std::min(answer.usec, kMaxLeadInUsec) * static_cast<pa_usec_t>(m_rate) / 1000000);
    }

    // Asks the server for fresh timing. While sound is wanted but the server says its
    // sink has not started playing it (it may still be waking, or refilling after an
    // underrun), and for kSettleUsec after it started, it is asked again every
    // kStartPollUsec: the first answers of a start are rough, and until the sink has
    // started the position cannot move. Nothing is asked while corked.
    void askTiming()
    {
        runOperation(pa_stream_update_timing_info(m_stream, &PulseOutput::onTiming, this));
    }

    static void onTiming(pa_stream* stream, int, void* self)
    {
        auto* output = static_cast<PulseOutput*>(self);
        pa_threaded_mainloop_signal(output->m_loop, 0);
        if (stream != output->m_stream || output->m_closing || !output->m_active || output->m_paused
            || output->m_timingPoll)
            return;
        const pa_timing_info* timing = pa_stream_get_timing_info(stream);
        if (!timing || output->m_written == 0)
            return;
        if (!timing->playing)
            output->m_settleUntil = Clock::now() + std::chrono::microseconds(kSettleUsec);
        if (!timing->playing || Clock::now() < output->m_settleUntil) {
            pa_mainloop_api* api = pa_threaded_mainloop_get_api(output->m_loop);
            timeval when{};
            pa_timeval_add(pa_gettimeofday(&when), kStartPollUsec);
            output->m_timingPoll = api->time_new(api, &when, &PulseOutput::onTimingPoll, output);
        }
    }

    static void onTimingPoll(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self)
    {
        auto* output = static_cast<PulseOutput*>(self);
        api->time_free(event);
        output->m_timingPoll = nullptr;
        if (output->streamReady() && output->m_active && !output->m_paused)
            output->askTiming();
    }

    // Waits for an operation off the mainloop thread. A connection that fails meanwhile
    // cancels it, so this never waits for a server that is gone.
    void waitFor(pa_operation* operation)
    {
        if (!operation)
            return;
        while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
            pa_threaded_mainloop_wait(m_loop);
        pa_operation_unref(operation);
    }

    static void runOperation(pa_operation* operation)
    {
        if (operation)
            pa_operation_unref(operation);
    }

    // --- losing the server and finding it again (mainloop thread, lock held) ---

    // What stands unheard now that the server is gone: the last timing the server gave,
    // carried on by the time since then.
    std::size_t latencyAtLoss() const
    {
        const auto& [latency, written, when] = m_lastTiming;
        if (when == Clock::time_point{})
            return static_cast<std::size_t>(m_written);
        const double since = std::chrono::duration<double>(Clock::now() - when).count();
        const double heard = static_cast<double>(written) - static_cast<double>(latency) + since * m_rate;
        const double unheard = static_cast<double>(m_written) - std::clamp(heard, 0.0, static_cast<double>(m_written));
        return static_cast<std::size_t>(unheard);
    }

    // The server went away, or killed our stream. The output holds from here on: when a
    // server answers again nothing plays until the library is told to go on, after it
    // has put its streams back where they were heard last (what the old server held is
    // gone with it).
    void lost()
    {
        if (!m_connected.load() || m_closing)
            return;
        if (!m_paused)
            m_heldLatency = latencyAtLoss();
        m_paused = true;
        m_connected.store(false);
        m_reconnecting = true;
        if (m_listener)
            m_listener();
        watchForServer();
        // The context cannot be freed inside its own callback: the rest happens next.
        later(0, &PulseOutput::onAttempt);
    }

    void later(pa_usec_t usec, pa_time_event_cb_t callback)
    {
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
        if (m_retry)
            api->time_free(m_retry);
        timeval when{};
        pa_timeval_add(pa_gettimeofday(&when), usec);
        m_retry = api->time_new(api, &when, callback, this);
    }

    bool socketExists() const
    {
        struct stat info {};
        return !m_server.empty() && ::stat(m_server.c_str(), &info) == 0;
    }

    // One try at a new connection; its state callbacks go on from there.
    void attempt()
    {
        if (m_closing || !m_reconnecting)
            return;
        destroyStream();
        destroyContext();
        if (!startContext()) {
            destroyContext();
            retryLater();
        }
    }

    // A try failed. While the server's socket is missing the folder watch calls again
    // when it appears; a socket that is there but does not answer (a server still
    // starting, or one that crashed) is tried again less and less often.
    void retryLater()
    {
        if (m_inotify >= 0 && !socketExists())
            return;
        m_backoffUsec = std::clamp<pa_usec_t>(m_backoffUsec * 2, 100 * 1000, 10 * kRetryUsec);
        later(m_backoffUsec, &PulseOutput::onAttempt);
    }

    void watchForServer()
    {
        if (m_inotify >= 0 || m_server.empty())
            return;
        m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_inotify < 0)
            return;
        const std::uint32_t events = IN_CREATE | IN_MOVED_TO | IN_ATTRIB;
        // The socket's folder; when the server removed that too, the one above it.
        if (::inotify_add_watch(m_inotify, folderOf(m_server).c_str(), events) < 0
            && ::inotify_add_watch(m_inotify, folderOf(folderOf(m_server)).c_str(), events) < 0) {
            ::close(m_inotify);
            m_inotify = -1;
            return;
        }
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
        m_watch = api->io_new(api, m_inotify, PA_IO_EVENT_INPUT, &PulseOutput::onFolderChanged, this);
    }

    void stopWatching()
    {
        pa_mainloop_api* api = m_loop ? pa_threaded_mainloop_get_api(m_loop) : nullptr;
        if (m_watch && api)
            api->io_free(m_watch);
        m_watch = nullptr;
        if (m_retry && api)
            api->time_free(m_retry);
        m_retry = nullptr;
        if (m_inotify >= 0)
            ::close(m_inotify);
        m_inotify = -1;
    }

    void streamBack()
    {
        m_reconnecting = false;
        m_backoffUsec = 0;
        stopWatching();
        m_connected.store(true);
        applyCork(false);
        if (m_listener)
            m_listener();
    }

    static void onContextState(pa_context* context, void* self)
    {
        auto* output = static_cast<PulseOutput*>(self);
        pa_threaded_mainloop_signal(output->m_loop, 0);
        if (context != output->m_context || output->m_closing)
            return;
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY && output->m_reconnecting && !output->m_stream) {
            if (!output->startStream())
                output->later(0, &PulseOutput::onAttemptFailed);
        } else if (!PA_CONTEXT_IS_GOOD(state)) {
            if (output->m_connected.load())
                output->lost();
            else if (output->m_reconnecting)
                output->later(0, &PulseOutput::onAttemptFailed);
        }
    }

    static void onStreamState(pa_stream* stream, void* self)
    {
        auto* output = static_cast<PulseOutput*>(self);
        pa_threaded_mainloop_signal(output->m_loop, 0);
        if (stream != output->m_stream || output->m_closing)
            return;
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY && output->m_reconnecting)
            output->streamBack();
        else if (!PA_STREAM_IS_GOOD(state)) {
            if (output->m_connected.load())
                output->lost();
            else if (output->m_reconnecting)
                output->later(0, &PulseOutput::onAttemptFailed);
        }
    }

    static void onAttempt(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self)
    {
        auto* output = static_cast<PulseOutput*>(self);
        api->time_free(event);
        if (output->m_retry == event)
            output->m_retry = nullptr;
        output->attempt();
    }

    static void onAttemptFailed(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self)
    {
        auto* output = static_cast<PulseOutput*>(self);
        api->time_free(event);
        if (output->m_retry == event)
            output->m_retry = nullptr;
        output->destroyStream();
        output->destroyContext();
        output->retryLater();
    }

    static void onFolderChanged(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self)
    {
        auto* output = static_cast<PulseOutput*>(self);
        char events[4096];
        while (::read(fd, events, sizeof events) > 0) {
        }
        if (output->m_reconnecting && !output->m_context && output->socketExists())
            output->attempt();
    }

    static void onRouteChanged(pa_stream* stream, void* self)
    {
        // Another sink, the sink suspended or woken, or playback started: the timing is
        // another one now.
        auto* output = static_cast<PulseOutput*>(self);
        if (stream == output->m_stream)
            output->askTiming();
    }

    static void onUnderflow(pa_stream* stream, void* self)
    {
        // The sink ran dry (a song came late): the sound that comes next is slotted in
        // with a rewind as a start is, and gets the same silence in front.
        auto* output = static_cast<PulseOutput*>(self);
        if (stream == output->m_stream && output->m_active && !output->m_paused)
            output->m_leadInFrames = output->m_sinkLeadInFrames;
    }

    static void onSuccess(pa_stream*, int, void* self)
    {
        pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->m_loop, 0);
    }

    static void onWrite(pa_stream*, std::size_t bytes, void* self)
    {
        auto* output = static_cast<PulseOutput*>(self);
        if (output->m_active && !output->m_paused)
            output->write(bytes);
    }

    struct Timing {
        std::size_t latency = 0;
        std::int64_t written = 0;
        Clock::time_point when{};
    };

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;        // the lock
    pa_stream* m_stream = nullptr;          // the lock
    std::string m_server;                   // the lock: the socket of the server first found
    bool m_active = false;                  // the lock: sound is wanted
    bool m_paused = false;                  // the lock: what is queued is held
    bool m_closing = false;                 // the lock
    bool m_reconnecting = false;            // the lock: lost, and looking for a server
    pa_usec_t m_backoffUsec = 0;            // the lock
    std::atomic<bool> m_connected{false};   // written under the lock
    pa_volume_t m_volume = PA_VOLUME_NORM;  // the lock
    std::int64_t m_written = 0;             // the lock: frames written since the stream was made or flushed
    std::size_t m_leadInFrames = 0;         // the lock: silence still to go before the first sound
    std::size_t m_sinkLeadInFrames = 0;     // the lock: the lead-in the sink asked for at the last start
    std::size_t m_heldLatency = 0;          // the lock: unheard frames while paused or lost
    mutable Timing m_lastTiming;            // the lock
    Clock::time_point m_settleUntil{};      // the lock: timing is asked for often until then
    int m_inotify = -1;                     // the lock
    pa_io_event* m_watch = nullptr;         // the lock
    pa_time_event* m_retry = nullptr;       // the lock
    pa_time_event* m_timingPoll = nullptr;  // the lock
    int m_rate = 44100;
    Callback m_callback;
    Listener m_listener;
    std::vector<float> m_mix = std::vector<float>(kMixFrames * 2);  // the lock
};

} // namespace

std::unique_ptr<AudioOutput> makePulseOutput()
{
    return std::make_unique<PulseOutput>();
}

} // namespace fsound
