#include "Library.h"

#include "FullScale.h"

#include <cstdint>

// The device callback's side of the library: what every playing stream can supply, and
// the mix of it into the output's buffer.

namespace fsound {

namespace {

// Output lock held: the frames a stream and the songs queued behind it can supply now.
// Once the last of them is decoded to its end and nothing more is awaited behind it, any
// number (the rest is closing silence).
std::size_t supplyOf(const Stream* stream, int rate)
{
    std::size_t frames = 0;
    for (; stream; stream = stream->follower) {
        if (!stream->ready() || stream->ringRate.load(std::memory_order_acquire) != rate)
            return frames;
        // The flag first: once it is set, what the ring holds is all there will be.
        const bool done = stream->decodeDone.load(std::memory_order_acquire);
        frames += stream->ring.readable() / 2;
        if (!done || (!stream->follower && stream->awaitFollower.load(std::memory_order_acquire)))
            return frames;
    }
    return SIZE_MAX;
}

} // namespace

// Output lock held: how many of `frames` every playing stream can supply.
std::size_t Library::readyFrames(std::size_t frames) const
{
    bool any = false;
    const int outputRate = rate.load(std::memory_order_relaxed);
    for (const Stream* stream : channels) {
        if (!stream || !stream->playing.load(std::memory_order_relaxed) || stream->paused.load(std::memory_order_relaxed))
            continue;
        any = true;
        frames = std::min(frames, supplyOf(stream, outputRate));
    }
    return any ? frames : 0;
}

// Device callback, output lock held.
std::size_t Library::mix(float* out, std::size_t frames, bool pad)
{
    if (!pad)
        frames = readyFrames(frames);
    if (frames == 0)
        return 0;
    std::fill(out, out + frames * 2, 0.0f);
    const float volumeGain = static_cast<float>(volume.load(std::memory_order_relaxed)) / 255.0f;
    const bool outputGain = outputHasVolume.load(std::memory_order_relaxed);
    const float gain = outputGain ? 1.0f : volumeGain;
    const int outputRate = rate.load(std::memory_order_relaxed);
    for (Stream*& slot : channels) {
        Stream* stream = slot;
        if (!stream || !stream->playing.load(std::memory_order_relaxed) || stream->paused.load(std::memory_order_relaxed)
            || !stream->ready() || stream->ringRate.load(std::memory_order_acquire) != outputRate)
            continue;  // a stream being opened or sought, or not yet at the output's rate, is silent
        std::size_t done = 0;
        std::size_t streamFrom = 0;  // where the current stream's share of the buffer began
        for (;;) {
            while (done < frames) {
                const std::size_t want = std::min(frames - done, kScratchFrames);
                const std::size_t got = stream->ring.read(scratch.data(), want * 2) / 2;
                // Taken after the read: a queued song opened meanwhile has its own by then.
                const float songGain = stream->songGain();
                float* dst = out + done * 2;
                // A gain of the song's own goes inside the bound, the volume outside it.
                for (std::size_t i = 0; i < got * 2; ++i)
                    dst[i] += gain * FullScale(songGain * scratch[i]);
                done += got;
                if (got < want)
                    break;
            }
            const bool ended = done < frames && stream->decodeDone.load(std::memory_order_acquire)
                               && stream->ring.readable() == 0;
            // Short of frames in the middle of a song (not before its first one is heard):
            // the padding is a dropout.
            if (done < frames && !ended
                && (done > 0 || stream->consumedFrames.load(std::memory_order_relaxed) > 0))
                starvedFrames.fetch_add(static_cast<std::int64_t>(frames - done), std::memory_order_relaxed);
            // A follower that waits for the output to take its own rate starts on its own.
            Stream* next = stream->follower;
            if (next && next->awaitsRate.load(std::memory_order_acquire))
                next = nullptr;
            if (!ended || !next) {
                // After the last sample the padding silence still counts, so the position
                // reaches the end even though nothing more is decoded.
                stream->consumedFrames.fetch_add(static_cast<std::int64_t>((ended ? frames : done) - streamFrom),
                                                 std::memory_order_release);
                break;
            }
            // The song queued behind this one goes on in the same buffer, from its next frame.
            stream->consumedFrames.fetch_add(static_cast<std::int64_t>(done - streamFrom), std::memory_order_release);
            next->channel = stream->channel;
            next->paused.store(false, std::memory_order_relaxed);
            next->playing.store(true, std::memory_order_relaxed);
            next->queued.store(false, std::memory_order_relaxed);
            stream->channel = -1;
            stream->playing.store(false, std::memory_order_relaxed);
            stream->handedOver.store(true, std::memory_order_release);
            slot = next;
            stream = next;
            streamFrom = done;
        }
        if (stream->ring.readable() < stream->ring.capacity() / 2
            && !stream->decodeDone.load(std::memory_order_relaxed)
            && !stream->feedAsked.exchange(true, std::memory_order_acq_rel))
            poke();
    }
    for (std::size_t i = 0; i < frames * 2; ++i)
        out[i] = FullScale(out[i]);  // streams mixed together
    // The spectrum shows what is heard, so it follows the volume either way.
    history.append(out, frames, outputGain ? volumeGain : 1.0f, rate.load(std::memory_order_relaxed));
    return frames;
}

} // namespace fsound
