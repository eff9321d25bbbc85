#include "PulseOutput.h"

#include <algorithm>

// The PulseAudio output as the library sees it: open, close, active, paused, volume.

namespace fsound {

bool PulseOutput::open(int rate, Callback callback, Listener listener)
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

void PulseOutput::close()
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

std::size_t PulseOutput::latencyFrames() const
{
    if (!m_loop)
        return 0;
    pa_threaded_mainloop_lock(m_loop);
    const std::size_t frames = (m_paused || !m_connected.load()) ? m_heldLatency : currentLatency();
    pa_threaded_mainloop_unlock(m_loop);
    return frames;
}

void PulseOutput::setActive(bool active)
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
    m_active = active;
    applyCork(true);
    pa_threaded_mainloop_unlock(m_loop);
}

void PulseOutput::setPaused(bool paused)
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

void PulseOutput::discardQueued()
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

void PulseOutput::dataReady()
{
    if (!m_loop)
        return;
    pa_threaded_mainloop_lock(m_loop);
    if (m_active && !m_paused && streamReady())
        writeWhatIsReady();
    pa_threaded_mainloop_unlock(m_loop);
}

bool PulseOutput::setVolume(float gain)
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

std::unique_ptr<AudioOutput> makePulseOutput()
{
    return std::make_unique<PulseOutput>();
}

} // namespace fsound
