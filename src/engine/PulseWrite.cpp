#include "PulseOutput.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

// Handing sound to the server: what it has room for, mixed and sent as float samples,
// with silence in front of the first sound of a start.

namespace fsound {

void PulseOutput::writeWhatIsReady()
{
    // A caller may have waited for the server with the lock let go (a cork), and the
    // stream may have been lost meanwhile.
    if (!streamReady())
        return;
    const std::size_t room = pa_stream_writable_size(m_stream);
    if (room != static_cast<std::size_t>(-1) && room >= kFrameBytes)
        write(room);
}

void PulseOutput::write(std::size_t bytes)
{
    std::size_t room = bytes / kFrameBytes;
    // Frames mixed before the buffer was taken (at most kMixFrames, which any buffer the
    // server lends holds: more would be cut off).
    std::size_t carried = 0;
    if (m_leadInFrames > 0) {
        // The lead-in goes out whole and right before the first sound: alone, it would
        // start the sink with nothing to follow it.
        const std::size_t lead = std::min(m_leadInFrames, room / 2);
        carried = m_callback(m_mix.data(), std::min(room - lead, kMixFrames), false);
        if (carried == 0)
            return;
        m_leadInFrames = 0;
        std::size_t wrote = 0;
        if (!writeSilence(lead, wrote)) {
            // Mixed and never sent: it counts as still to come.
            m_written += static_cast<std::int64_t>(carried);
            m_heldLatency += carried;
            return;
        }
        room -= wrote;
    }
    // The server lends at most one block (64 KiB) at a time: block after block until what
    // it asked for is handed over or the mix runs dry. One block alone is 85 ms at 96 kHz,
    // and the next request comes only once a quarter second has room: the sink ran dry.
    while (room > 0) {
        void* buffer = nullptr;
        std::size_t size = room * kFrameBytes;
        const int begun = Pulse().stream_begin_write(m_stream, &buffer, &size);
        if (begun < 0 || !buffer) {
            failedWhilePlaying("pa_stream_begin_write", begun < 0 ? -begun : 0);
            return;
        }
        auto* out = static_cast<float*>(buffer);
        const std::size_t frames = size / kFrameBytes;
        std::size_t made = 0;
        while (made < frames) {
            const std::size_t want = std::min(frames - made, kMixFrames);
            const std::size_t got =
                carried > 0 ? std::min(std::exchange(carried, 0), want) : m_callback(m_mix.data(), want, false);
            // The mix is bounded to full scale already; the server takes it as it is.
            std::copy_n(m_mix.data(), got * 2, out + made * 2);
            made += got;
            if (got < want)
                break;
        }
        if (made == 0) {
            pa_stream_cancel_write(m_stream);
            break;
        }
        const int sent = Pulse().stream_write(m_stream, buffer, made * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        // What was mixed and not sent was never heard: it counts as still to come.
        m_written += static_cast<std::int64_t>(made);
        if (sent < 0) {
            pa_stream_cancel_write(m_stream);
            failedWhilePlaying("pa_stream_write", -sent);
            return;
        }
        m_backoffUsec = 0;
        if (made < frames || frames == 0)
            break;  // the mix ran dry: the decoder thread writes the rest (dataReady)
        room -= std::min(room, frames);
    }
    refreshTiming();
}

// Hands up to `frames` of silence to the server; `wrote` says how many it took. False
// when it refused a call: the output is lost then.
bool PulseOutput::writeSilence(std::size_t frames, std::size_t& wrote)
{
    wrote = 0;
    while (wrote < frames) {
        void* buffer = nullptr;
        std::size_t size = (frames - wrote) * kFrameBytes;
        const int begun = Pulse().stream_begin_write(m_stream, &buffer, &size);
        if (begun < 0 || !buffer) {
            failedWhilePlaying("pa_stream_begin_write", begun < 0 ? -begun : 0);
            return false;
        }
        size -= size % kFrameBytes;
        if (size == 0) {
            pa_stream_cancel_write(m_stream);
            break;
        }
        std::memset(buffer, 0, size);
        const int sent = Pulse().stream_write(m_stream, buffer, size, nullptr, 0, PA_SEEK_RELATIVE);
        if (sent < 0) {
            pa_stream_cancel_write(m_stream);
            failedWhilePlaying("pa_stream_write", -sent);
            return false;
        }
        wrote += size / kFrameBytes;
        m_written += static_cast<std::int64_t>(size / kFrameBytes);
    }
    return true;
}

// Silence to put in front of the first sound of a start from idle (window thread). The
// server slots a stream that starts into its sink at once, rewinding the sink over what
// it had mixed ahead; but the sink's monitor, which records the desktop's sound, has
// passed that part on already, so a song starting there reached it without its first
// samples: as many as the sink's latency, a quarter of a second at most seen. With that
// much silence in front, the rewind takes silence, and the first sample comes no later
// than where a server that never rewinds puts it. None when the sink cannot be asked.
std::size_t PulseOutput::leadInFrames()
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

void PulseOutput::onWrite(pa_stream*, std::size_t bytes, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    if (output->m_active && !output->m_paused)
        output->write(bytes);
}

} // namespace fsound
