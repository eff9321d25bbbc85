#include "PulseOutput.h"

// The playback stream: made, corked, flushed and taken down, and its state news.

namespace fsound {

// Needs a ready connection: the caller holds the lock and was told it is ready.
bool PulseOutput::startStream()
{
    const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(m_rate), 2};
    m_stream = Pulse().stream_new(m_context, "Music", &sampleFormat, nullptr);
    if (!m_stream)
        return failed("pa_stream_new");
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
    const char* sink = m_device.empty() ? nullptr : m_device.c_str();
    const int result = Pulse().stream_connect_playback(m_stream, sink, &attr, flags, &volume, nullptr);
    if (result < 0)
        return failed("pa_stream_connect_playback", -result);
    // Made ahead of the sound (at start, on a new connection): it goes if none comes.
    if (!m_active)
        scheduleIdleEnd();
    return true;
}

bool PulseOutput::waitForStream()
{
    for (;;) {
        if (!m_stream)
            return failed("pa_stream_connect_playback");
        const pa_stream_state_t state = Pulse().stream_get_state(m_stream);
        if (state == PA_STREAM_READY)
            return true;
        // A sink that is not there fails here, asynchronously.
        if (!PA_STREAM_IS_GOOD(state))
            return failed("pa_stream_connect_playback", contextError());
        pa_threaded_mainloop_wait(m_loop);
    }
}

void PulseOutput::destroyStream()
{
    cancelIdleEnd();
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
void PulseOutput::applyCork(bool wait)
{
    if (!streamReady())
        return;
    const bool cork = !m_active || m_paused;
    if ((pa_stream_is_corked(m_stream) > 0) != cork) {
        pa_operation* op = Pulse().stream_cork(m_stream, cork ? 1 : 0, &PulseOutput::onSuccess, this);
        if (!op) {
            failedWhilePlaying("pa_stream_cork");
            return;
        }
        if (wait)
            waitFor(op);
        else
            runOperation(op);
    }
    if (!cork)
        writeWhatIsReady();
}

void PulseOutput::flush()
{
    // Counted from before the flush is sent: while its answer is awaited the lock is let
    // go, and the server, emptied, asks for sound that is written then. Reset after the
    // wait, those frames went uncounted, the latency read nothing unheard and the
    // position ran ahead by what was written (a seek showed 0.74 s too far).
    m_written = 0;
    pa_operation* op = Pulse().stream_flush(m_stream, &PulseOutput::onSuccess, this);
    if (!op)
        failedWhilePlaying("pa_stream_flush");
    waitFor(op);
    m_settleUntil = Clock::now() + std::chrono::microseconds(kSettleUsec);
}

// Waits for an operation off the mainloop thread. A connection that fails meanwhile
// cancels it, so this never waits for a server that is gone.
void PulseOutput::waitFor(pa_operation* operation)
{
    if (!operation)
        return;
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
        pa_threaded_mainloop_wait(m_loop);
    pa_operation_unref(operation);
}

void PulseOutput::runOperation(pa_operation* operation)
{
    if (operation)
        pa_operation_unref(operation);
}

void PulseOutput::onStreamState(pa_stream* stream, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    pa_threaded_mainloop_signal(output->m_loop, 0);
    if (stream != output->m_stream || output->m_closing)
        return;
    const pa_stream_state_t state = Pulse().stream_get_state(stream);
    if (state == PA_STREAM_READY && output->m_reconnecting) {
        output->streamBack();
    } else if (!PA_STREAM_IS_GOOD(state)) {
        const int error = output->contextError();
        if (output->m_connected.load()) {
            output->lost({"the playback stream", error});
        } else if (output->m_reconnecting) {
            // The server that answered has no sink of that name (any more): its default.
            if (error == PA_ERR_NOENTITY)
                output->m_device.clear();
            output->later(0, &PulseOutput::onAttemptFailed);
        }
    }
}

void PulseOutput::onRouteChanged(pa_stream* stream, void* self)
{
    // Another sink, the sink suspended or woken, or playback started: the timing is
    // another one now.
    auto* output = static_cast<PulseOutput*>(self);
    if (stream == output->m_stream)
        output->askTiming();
}

void PulseOutput::onUnderflow(pa_stream* stream, void* self)
{
    // The sink ran dry (a song came late): the sound that comes next is slotted in with
    // a rewind as a start is, and gets the same silence in front.
    // It stood still meanwhile: the clock asks where it stands.
    auto* output = static_cast<PulseOutput*>(self);
    if (stream != output->m_stream)
        return;
    output->askTiming();
    if (output->m_active && !output->m_paused)
        output->m_leadInFrames = output->m_sinkLeadInFrames;
}

void PulseOutput::onSuccess(pa_stream*, int, void* self)
{
    pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->m_loop, 0);
}

void PulseOutput::scheduleIdleEnd()
{
    cancelIdleEnd();
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
    timeval when{};
    pa_timeval_add(pa_gettimeofday(&when), kIdleStreamUsec);
    m_idleEnd = api->time_new(api, &when, &PulseOutput::onIdleEnd, this);
}

void PulseOutput::cancelIdleEnd()
{
    if (m_idleEnd) {
        pa_threaded_mainloop_get_api(m_loop)->time_free(m_idleEnd);
        m_idleEnd = nullptr;
    }
}

void PulseOutput::onIdleEnd(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    api->time_free(event);
    output->m_idleEnd = nullptr;
    // setActive(true) makes a stream again when it finds none.
    if (!output->m_active && !output->m_closing)
        output->destroyStream();
}

} // namespace fsound
