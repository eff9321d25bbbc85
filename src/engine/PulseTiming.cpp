#include "PulseOutput.h"

#include <algorithm>

// What was handed to the server and is not heard yet, and asking the server for it.

namespace fsound {

// What was handed over and is not heard yet, from the server's last timing: what
// its queue and its sink held then, less what the sink has played since, if it was
// playing. Worked out here rather than by the client library's smoothing, which was
// seen to run on before the sink had started and to stand still after it had (the
// clock ran 0.4 s ahead of the sound for the first second of a song).
// Until the server has told anything since the stream was made or flushed, nothing
// handed over counts as heard.
std::size_t PulseOutput::currentLatency() const
{
    if (!streamReady())
        return m_heldLatency;
    const pa_timing_info* timing = Pulse().stream_get_timing_info(m_stream);
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

// What stands unheard now that the server is gone: the last timing the server gave,
// carried on by the time since then.
std::size_t PulseOutput::latencyAtLoss() const
{
    const auto& [latency, written, when] = m_lastTiming;
    if (when == Clock::time_point{})
        return static_cast<std::size_t>(m_written);
    const double since = std::chrono::duration<double>(Clock::now() - when).count();
    const double heard = static_cast<double>(written) - static_cast<double>(latency) + since * m_rate;
    const double unheard = static_cast<double>(m_written) - std::clamp(heard, 0.0, static_cast<double>(m_written));
    return static_cast<std::size_t>(unheard);
}

// Asks the server for fresh timing. While sound is wanted but the server says its
// sink has not started playing it (it may still be waking, or refilling after an
// underrun), and for kSettleUsec after it started, it is asked again every
// kStartPollUsec: the first answers of a start are rough, and until the sink has
// started the position cannot move. Nothing is asked while corked.
void PulseOutput::askTiming()
{
    m_askedAt = Clock::now();
    runOperation(Pulse().stream_update_timing_info(m_stream, &PulseOutput::onTiming, this));
}

// After a write: a start, a flush, or a sink that moved or ran dry asks at once;
// otherwise an answer older than kTimingRefreshUsec is renewed.
void PulseOutput::refreshTiming()
{
    if (m_timingPoll)
        return;
    const auto now = Clock::now();
    if (now < m_settleUntil || now - m_askedAt >= std::chrono::microseconds(kTimingRefreshUsec))
        askTiming();
}

void PulseOutput::onTiming(pa_stream* stream, int, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    pa_threaded_mainloop_signal(output->m_loop, 0);
    if (stream != output->m_stream || output->m_closing || !output->m_active || output->m_paused
        || output->m_timingPoll)
        return;
    const pa_timing_info* timing = Pulse().stream_get_timing_info(stream);
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

void PulseOutput::onTimingPoll(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    api->time_free(event);
    output->m_timingPoll = nullptr;
    if (output->streamReady() && output->m_active && !output->m_paused)
        output->askTiming();
}

} // namespace fsound
