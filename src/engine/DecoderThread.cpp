#include "Library.h"

#include "DecodeModule.h"
#include "FileName.h"
#include "ReplayGainFile.h"

// The decoder thread: it decodes ahead into each playing or queued stream's ring and makes
// the seeks the window thread asks for; and the opener's open of a stream's file.

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
            if (stream->openState.load(std::memory_order_acquire) != OpenState::Open)
                continue;  // the opener wakes this thread once it is
            std::lock_guard guard(stream->decodeMutex);
            if (!settleRate(*stream))
                continue;
            if (stream->seeking())
                seek(*stream);
            news = fill(*stream) || news;
        }
        active.clear();  // a stream stopped meanwhile is released here, off the window thread
        if (news)
            output.dataReady();
        decoderWake.wait(seen, std::memory_order_acquire);
    }
}

// Decoder thread, stream's decodeMutex held: fixes the rate the stream is decoded at
// before its first fill. False while it waits for the output to take its own rate.
bool Library::settleRate(Stream& stream)
{
    if (stream.ringRate.load(std::memory_order_relaxed) > 0)
        return true;
    const int want = stream.wantRate.load(std::memory_order_acquire);
    const int own = stream.decoder.outRate();
    if (want == 0 && own != rate.load(std::memory_order_acquire)) {
        if (!stream.awaitsRate.exchange(true))
            tellNews();
        return false;
    }
    if (want > 0 && !stream.decoder.convertTo(want))
        stream.decoderFinished = true;  // no converter: it ends as a file that has no more
    stream.ringRate.store(want > 0 ? want : own, std::memory_order_release);
    stream.awaitsRate.store(false);
    return true;
}

// Decoder thread, stream's decodeMutex held: makes the seek the window thread asked for.
void Library::seek(Stream& stream)
{
    const unsigned asked = stream.seekAsked.load(std::memory_order_acquire);
    const std::int64_t ms = stream.seekMs.load(std::memory_order_acquire);
    stream.decoder.seekMs(ms);
    stream.pending.clear();
    stream.pendingPos = 0;
    stream.decoderFinished = false;
    OutputLock guard(output);
    stream.ring.reset();
    stream.pushedFrames.store(0);
    stream.consumedFrames.store(0);
    stream.startMs.store(ms);
    stream.decodeDone.store(false);
    stream.seekMade.store(asked, std::memory_order_release);  // asked again meanwhile: made again next round
}

// Opener: opens the stream's file. The window thread may wait a little for the result
// (FSOUND_Stream_Open) or hear of it through the news.
void Library::open(Stream& stream)
{
    OpenState state = OpenState::Failed;
    if (!stream.abandoned.load()) {
        std::lock_guard guard(stream.decodeMutex);
        // At the file's own rate: whether it is converted is known once it plays or is
        // queued (settleRate).
        if (stream.decoder.open(stream.path, 0, 2, stream.mode)) {
            stream.lengthMs.store(clampToInt(stream.decoder.durationMs()));
            stream.fileBytes.store(clampToInt(stream.decoder.fileBytes()));
            stream.sampleRate.store(stream.decoder.sampleRate());
            // Its tags are read here, off the window thread, before it can be heard.
            stream.replayGain.store(SongReplayGain(FileNameFromBytes(stream.path), FileNameFromBytes(stream.before),
                                                   FileNameFromBytes(stream.after)));
            state = OpenState::Open;
        } else {
            const bool missing = stream.decoder.failure() == OpenFailure::MissingModule;
            stream.openError = {missing ? OpenError::MissingLibrary : OpenError::NotAudio,
                                stream.decoder.failureDetail()};
        }
    }
    stream.openState.store(state, std::memory_order_release);
    stream.openedPromise.set_value();
    tellNews();
    poke();  // a stream already playing or queued is filled now
}

} // namespace fsound
