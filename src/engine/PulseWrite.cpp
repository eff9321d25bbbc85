#include "PulseOutput.h"

#include <algorithm>
#include <cmath>

// Handing sound to the server: what it has room for, mixed and sent as 16-bit samples.

namespace fsound {

void PulseOutput::writeWhatIsReady()
{
    const std::size_t room = pa_stream_writable_size(m_stream);
    if (room != static_cast<std::size_t>(-1) && room >= kFrameBytes)
        write(room);
}

void PulseOutput::write(std::size_t bytes)
{
    void* buffer = nullptr;
    std::size_t size = bytes - bytes % kFrameBytes;
    if (size == 0)
        return;
    const int begun = Pulse().stream_begin_write(m_stream, &buffer, &size);
    if (begun < 0 || !buffer) {
        failedWhilePlaying("pa_stream_begin_write", begun < 0 ? -begun : 0);
        return;
    }
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
    const int sent = Pulse().stream_write(m_stream, buffer, made * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
    // What was mixed and not sent was never heard: it counts as still to come.
    m_written += static_cast<std::int64_t>(made);
    if (sent < 0) {
        pa_stream_cancel_write(m_stream);
        failedWhilePlaying("pa_stream_write", -sent);
        return;
    }
    m_backoffUsec = 0;
    askTiming();
}

void PulseOutput::onWrite(pa_stream*, std::size_t bytes, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    if (output->m_active && !output->m_paused)
        output->write(bytes);
}

} // namespace fsound
