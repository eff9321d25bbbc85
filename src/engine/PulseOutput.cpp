#include "PulseOutput.h"

#include <algorithm>

// The PulseAudio output as the library sees it: open, close, active, paused, volume.

namespace fsound {

bool PulseOutput::open(const OutputRequest& request, OutputFailure& failure)
{
    m_rate = request.rate > 0 ? request.rate : 44100;
    m_callback = request.callback;
    m_listener = request.listener;
    m_device = request.device;
    m_loop = Pulse().threaded_mainloop_new();
    if (!m_loop) {
        failure.reason = describe({"pa_threaded_mainloop_new", 0});
        return false;
    }
    pa_threaded_mainloop_set_name(m_loop, "sorvel-pulse");
    if (Pulse().threaded_mainloop_start(m_loop) < 0) {
        failure.reason = describe({"pa_threaded_mainloop_start", 0});
        close();
        return false;
    }
    pa_threaded_mainloop_lock(m_loop);
    // No autospawn: without a running server the caller falls back at once.
    const bool ok = startContext() && waitForContext() && startStream() && waitForStream();
    if (ok) {
        m_server = socketPathOf(pa_context_get_server(m_context));
        m_connected.store(true);
    } else {
        failure.reason = describe(m_failure);
        failure.deviceRefused = !m_device.empty() && m_failure.error == PA_ERR_NOENTITY;
    }
    pa_threaded_mainloop_unlock(m_loop);
    if (!ok)
        close();
    return ok;
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
    pa_threaded_mainloop_lock(m_loop);
    const std::size_t frames = (m_paused || !m_connected.load()) ? m_heldLatency : currentLatency();
    pa_threaded_mainloop_unlock(m_loop);
    return frames;
}

void PulseOutput::setActive(bool active)
{
    // Idle, the stream stays but corked and flushed: it costs the server nothing,
    // and the sink keeps the latency set for it. A stream made only at the press
    // can wait for an idle sink's next wake-up, up to its whole latency (seconds),
    // before its first sound is heard.
    pa_threaded_mainloop_lock(m_loop);
    m_paused = false;
    if (active && m_connected.load() && !streamReady()) {
        destroyStream();
        if (!(startStream() && waitForStream())) {
            // A connection that cannot make a stream plays nothing: it is made anew.
            destroyStream();
            lost(m_failure);
        }
    }
    if (!active && streamReady() && m_active)
        flush();
    if (active && !m_active) {
        m_sinkLeadInFrames = leadInFrames();
        m_leadInFrames = m_sinkLeadInFrames;
    }
    m_active = active;
    applyCork(true);
    if (active)
        cancelIdleEnd();
    else if (m_stream)
        scheduleIdleEnd();
    pa_threaded_mainloop_unlock(m_loop);
}

void PulseOutput::setRate(int rate)
{
    // The idle stream goes; the next start makes one at the new rate on the same
    // connection.
    pa_threaded_mainloop_lock(m_loop);
    if (rate > 0 && rate != m_rate) {
        m_rate = rate;
        destroyStream();
    }
    pa_threaded_mainloop_unlock(m_loop);
}

void PulseOutput::setPaused(bool paused)
{
    pa_threaded_mainloop_lock(m_loop);
    if (paused && !m_paused) {
        m_paused = true;
        // Corking takes back from the sink what it had not played yet, so what is
        // queued is exactly what was not heard; fresh timing then says how much.
        applyCork(true);
        if (streamReady())
            waitFor(Pulse().stream_update_timing_info(m_stream, &PulseOutput::onSuccess, this));
        m_heldLatency = currentLatency();
    } else if (!paused && m_paused) {
        m_paused = false;
        applyCork(true);
    }
    pa_threaded_mainloop_unlock(m_loop);
}

void PulseOutput::discardQueued()
{
    pa_threaded_mainloop_lock(m_loop);
    if (streamReady())
        flush();
    if (m_paused)
        m_heldLatency = 0;
    pa_threaded_mainloop_unlock(m_loop);
}

void PulseOutput::dataReady()
{
    pa_threaded_mainloop_lock(m_loop);
    if (m_active && !m_paused && streamReady())
        writeWhatIsReady();
    pa_threaded_mainloop_unlock(m_loop);
}

bool PulseOutput::setVolume(float gain)
{
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

std::string PulseOutput::whyLost() const
{
    pa_threaded_mainloop_lock(m_loop);
    const Failure cause = m_lostBecause;
    pa_threaded_mainloop_unlock(m_loop);
    return cause.call ? "PulseAudio: " + describe(cause) : "the sound server does not answer";
}

std::string PulseOutput::describe(const Failure& failure)
{
    std::string text = std::string(failure.call ? failure.call : "the connection") + " failed";
    if (failure.error != PA_OK)
        text += std::string(": ") + pa_strerror(failure.error);
    return text;
}

bool PulseOutput::failed(const char* call, int error)
{
    m_failure = {call, error};
    return false;
}

void PulseOutput::failedWhilePlaying(const char* call, int error)
{
    failed(call, error);
    lost(m_failure);
}

int PulseOutput::contextError() const
{
    return m_context ? pa_context_errno(m_context) : 0;
}

namespace {

const PulseCalls kClientLibrary;
std::atomic<const PulseCalls*> g_calls{&kClientLibrary};

} // namespace

const PulseCalls& Pulse()
{
    return *g_calls.load(std::memory_order_acquire);
}

void SetPulseCalls(const PulseCalls* calls)
{
    g_calls.store(calls ? calls : &kClientLibrary, std::memory_order_release);
}

using PulseOps = DriverOf<PulseOutput>;
const OutputDriver kPulseDriver{
    .name = "pulse",
    .title = "PulseAudio",
    .open = PulseOps::open,
    .close = PulseOps::close,
    .latencyFrames = PulseOps::latencyFrames,
    .setActive = PulseOps::setActive,
    .setPaused = PulseOps::setPaused,
    .discardQueued = PulseOps::discardQueued,
    .connected = PulseOps::connected,
    .losses = PulseOps::losses,
    .whyLost = PulseOps::whyLost,
    .dataReady = PulseOps::dataReady,
    .setVolume = PulseOps::setVolume,
    .setRate = PulseOps::setRate,
    .lock = PulseOps::lock,
    .unlock = PulseOps::unlock,
    .sinkChanges = PulseOps::sinkChanges,
};

} // namespace fsound
