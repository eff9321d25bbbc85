#include "AudioOutput.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>
#include <cstdint>

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

// Output through the PulseAudio client library, which PipeWire desktops serve too.
// Threads: the library's own mainloop thread runs the write callback (the device
// callback); everything else takes the mainloop lock, which is the output lock.
class PulseOutput final : public AudioOutput {
public:
    ~PulseOutput() override { close(); }

    bool open(int rate, Callback callback) override
    {
        m_rate = rate > 0 ? rate : 44100;
        m_callback = std::move(callback);
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop)
            return false;
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Sorvel");
        pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
        m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Sorvel", props);
        pa_proplist_free(props);
        if (!m_context) {
            close();
            return false;
        }
        pa_context_set_state_callback(m_context, &PulseOutput::onContextState, this);
        // No autospawn: without a running server the caller falls back at once.
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0
            || pa_threaded_mainloop_start(m_loop) < 0) {
            close();
            return false;
        }
        pa_threaded_mainloop_lock(m_loop);
        bool ok = waitForContext() && createStream();
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
        destroyStream();
        if (m_context) {
            pa_context_set_state_callback(m_context, nullptr, nullptr);
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
            m_context = nullptr;
        }
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
        pa_usec_t usec = 0;
        int negative = 0;
        std::size_t frames = m_lastLatency;
        if (m_stream && pa_stream_get_latency(m_stream, &usec, &negative) == 0)
            frames = negative ? 0 : static_cast<std::size_t>(usec * static_cast<std::uint64_t>(m_rate) / 1000000);
        m_lastLatency = frames;
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
        if (active && (!m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY)) {
            destroyStream();
            if (!createStream())
                destroyStream();
        }
        if (m_stream && m_active != active) {
            if (!active)
                runOperation(pa_stream_flush(m_stream, nullptr, nullptr));
            runOperation(pa_stream_cork(m_stream, active ? 0 : 1, nullptr, nullptr));
        }
        m_active = active && m_stream;
        if (m_active)
            writeWhatIsReady();
        pa_threaded_mainloop_unlock(m_loop);
    }

    void discardQueued() override
    {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        if (m_stream)
            if (pa_operation* op = pa_stream_flush(m_stream, nullptr, nullptr))
                pa_operation_unref(op);
        pa_threaded_mainloop_unlock(m_loop);
    }

    void dataReady() override
    {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        if (m_active)
            writeWhatIsReady();
        pa_threaded_mainloop_unlock(m_loop);
    }

    bool setVolume(float gain) override
    {
        if (!m_loop)
            return false;
        pa_threaded_mainloop_lock(m_loop);
        m_volume = pa_sw_volume_from_linear(std::clamp(static_cast<double>(gain), 0.0, 1.0));
        if (m_stream) {
            pa_cvolume volume;
            pa_cvolume_set(&volume, 2, m_volume);
            if (pa_operation* op = pa_context_set_sink_input_volume(m_context, pa_stream_get_index(m_stream), &volume,
                                                                    nullptr, nullptr))
                pa_operation_unref(op);
        }
        pa_threaded_mainloop_unlock(m_loop);
        return true;
    }

    void lock() override { pa_threaded_mainloop_lock(m_loop); }
    void unlock() override { pa_threaded_mainloop_unlock(m_loop); }

private:
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

    void destroyStream()
    {
        if (!m_stream)
            return;
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
        m_lastLatency = 0;
    }

    bool createStream()
    {
        const pa_sample_spec sampleFormat{PA_SAMPLE_S16NE, static_cast<std::uint32_t>(m_rate), 2};
        m_stream = pa_stream_new(m_context, "Music", &sampleFormat, nullptr);
        if (!m_stream)
            return false;
        pa_stream_set_state_callback(m_stream, &PulseOutput::onStreamState, this);
        pa_stream_set_write_callback(m_stream, &PulseOutput::onWrite, this);
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
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING
                                                          | PA_STREAM_ADJUST_LATENCY);
        pa_cvolume volume;
        pa_cvolume_set(&volume, 2, m_volume);
        if (pa_stream_connect_playback(m_stream, nullptr, &attr, flags, &volume, nullptr) < 0)
            return false;
        for (;;) {
            const pa_stream_state_t state = pa_stream_get_state(m_stream);
            if (state == PA_STREAM_READY)
                return true;
            if (!PA_STREAM_IS_GOOD(state))
                return false;
            pa_threaded_mainloop_wait(m_loop);
        }
    }

    // Lock held (the mainloop thread, or a caller that took it).
    void writeWhatIsReady()
    {
        const std::size_t room = pa_stream_writable_size(m_stream);
        if (room != static_cast<std::size_t>(-1) && room >= kFrameBytes)
            write(room);
    }

    void write(std::size_t bytes)
    {
        void* buffer = nullptr;
        std::size_t size = bytes - bytes % kFrameBytes;
        if (size == 0 || pa_stream_begin_write(m_stream, &buffer, &size) < 0 || !buffer)
            return;
        auto* out = static_cast<std::int16_t*>(buffer);
        const std::size_t frames = size / kFrameBytes;
        std::size_t made = 0;
        while (made < frames) {
            const std::size_t want = std::min(frames - made, kMixFrames);
            const std::size_t got = m_callback(m_mix.data(), want, false);
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
        runOperation(pa_stream_update_timing_info(m_stream, nullptr, nullptr));
    }

    static void runOperation(pa_operation* operation)
    {
        if (operation)
            pa_operation_unref(operation);
    }

    static void onContextState(pa_context*, void* self)
    {
        pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->m_loop, 0);
    }

    static void onStreamState(pa_stream*, void* self)
    {
        pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->m_loop, 0);
    }

    static void onWrite(pa_stream*, std::size_t bytes, void* self)
    {
        auto* output = static_cast<PulseOutput*>(self);
        if (output->m_active)
            output->write(bytes);
    }

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;        // the lock
    pa_stream* m_stream = nullptr;          // the lock
    bool m_active = false;                  // the lock: a stream exists and takes sound
    pa_volume_t m_volume = PA_VOLUME_NORM;  // the lock
    mutable std::size_t m_lastLatency = 0;  // the lock
    int m_rate = 44100;
    Callback m_callback;
    std::vector<float> m_mix = std::vector<float>(kMixFrames * 2);  // the lock
};

} // namespace

std::unique_ptr<AudioOutput> makePulseOutput()
{
    return std::make_unique<PulseOutput>();
}

} // namespace fsound
