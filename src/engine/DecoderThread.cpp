#include "Library.h"

#include "DecodeModule.h"

// The decoder thread: it decodes ahead into each playing or queued stream's ring.

namespace fsound {

// Decoder thread, stream's decodeMutex held. True when it put anything in the ring.
bool Library::fill(Stream& stream)
{
    stream.feedAsked.store(false, std::memory_order_release);
    bool wroteAny = false;
    for (;;) {
        if (stream.pendingPos < stream.pending.size()) {
            const std::size_t left = stream.pending.size() - stream.pendingPos;
            const std::size_t room = stream.ring.writable() & ~std::size_t{1};
            const std::size_t wrote = stream.ring.write(stream.pending.data() + stream.pendingPos, std::min(left, room));
            stream.pendingPos += wrote;
            stream.pushedFrames.fetch_add(static_cast<std::int64_t>(wrote / 2), std::memory_order_release);
            wroteAny = wroteAny || wrote > 0;
            if (wrote < left)
                return wroteAny;  // ring full
            continue;
        }
        if (stream.decoderFinished) {
            const bool news = !stream.decodeDone.exchange(true, std::memory_order_release);
            if (news)
                tellNews();  // its length is known now, and when it will have played out
            return wroteAny || news;
        }
        stream.pending.clear();
        stream.pendingPos = 0;
        if (!stream.decoder.decodeChunk(stream.pending))
            stream.decoderFinished = true;
    }
}

void Library::feed()
{
    std::vector<std::shared_ptr<Stream>> active;
    for (;;) {
        const unsigned seen = decoderWake.load(std::memory_order_acquire);
        if (decoderStop.load())
            return;
        if (preloadAsked.exchange(false))
            FftModule();
        active.clear();
        {
            std::lock_guard guard(streamsMutex);
            for (auto& [id, stream] : streams)
                if (stream->playing.load(std::memory_order_relaxed) || stream->queued.load(std::memory_order_relaxed))
                    active.push_back(stream);
        }
        bool news = false;
        for (auto& stream : active) {
            std::lock_guard guard(stream->decodeMutex);
            news = fill(*stream) || news;
        }
        active.clear();  // a stream stopped meanwhile is released here, off the window thread
        if (news)
            output.dataReady();
        decoderWake.wait(seen, std::memory_order_acquire);
    }
}

} // namespace fsound
