#include "Library.h"

// Songs queued behind each other, and when a stream has played out.

namespace fsound {

namespace {

bool sameFolder(const std::string& a, const std::string& b)
{
    const auto folderOf = [](const std::string& path) {
        const auto slash = path.rfind('/');
        return slash == std::string::npos ? std::string() : path.substr(0, slash);
    };
    return folderOf(a) == folderOf(b);
}

} // namespace

void unlink(Stream& stream)
{
    if (stream.follower) {
        stream.follower->leader = nullptr;
        stream.follower->queued.store(false);
        stream.follower = nullptr;
    }
    if (stream.leader) {
        stream.leader->follower = nullptr;
        stream.leader = nullptr;
    }
    stream.queued.store(false);
}

int StreamMsUntilPlayedOut(FSOUND_STREAM* handle)
{
    auto [lib, stream] = lookUp(handle);
    if (!stream || !stream->ready() || !stream->decodeDone.load(std::memory_order_acquire))
        return -1;
    const Progress progress = progressOf(*lib, *stream);
    const std::int64_t left = progress.pushed + progress.latency - progress.consumed;
    const std::int64_t rate = stream->framesRate(lib->rate);
    return left <= 0 ? 0 : clampToInt((left * 1000 + rate - 1) / rate);
}

bool StreamQueue(FSOUND_STREAM* handle, FSOUND_STREAM* nextHandle)
{
    auto [lib, stream] = lookUp(handle);
    auto next = lookUp(nextHandle).second;
    if (!stream || !next || stream == next)
        return false;
    {
        OutputLock guard(lib->output);
        if (stream->follower || stream->handedOver.load() || next->leader || next->playing.load()
            || next->channel >= 0)
            return false;
        // A song of the same folder (an album) is converted to the output's rate, so that
        // the join stays gapless; one of another folder keeps its own rate, and starts on
        // its own when that is not the output's.
        if (next->ringRate.load() == 0)
            next->wantRate.store(sameFolder(stream->path, next->path) ? lib->rate.load() : 0);
        stream->follower = next.get();
        next->leader = stream.get();
        next->queued.store(true);
    }
    lib->poke();  // decoding ahead starts now
    return true;
}

void StreamAwaitFollower(FSOUND_STREAM* handle, bool await)
{
    // A sound server that ran dry meanwhile asks for more, and gets the closing silence.
    if (auto stream = lookUp(handle).second)
        stream->awaitFollower.store(await, std::memory_order_release);
}

bool StreamUnqueue(FSOUND_STREAM* handle)
{
    auto [lib, stream] = lookUp(handle);
    if (!stream)
        return false;
    OutputLock guard(lib->output);
    Stream* next = stream->follower;
    if (!next)
        return false;
    const bool wasHandedOver = stream->handedOver.load();
    if (wasHandedOver && next->channel >= 0) {
        // Back on its channel, at its end; the follower plays no more.
        lib->channels[next->channel] = stream.get();
        stream->channel = next->channel;
        stream->playing.store(true);
        next->channel = -1;
        next->playing.store(false);
    }
    stream->handedOver.store(false);
    unlink(*stream);
    return wasHandedOver;
}

bool StreamHandedOver(FSOUND_STREAM* handle)
{
    auto stream = lookUp(handle).second;
    return stream && stream->handedOver.load(std::memory_order_acquire);
}

std::int64_t StarvedFrames()
{
    const Library* lib = g_library.load();
    return lib ? lib->starvedFrames.load(std::memory_order_relaxed) : 0;
}

bool StreamPlayedOut(FSOUND_STREAM* handle)
{
    auto [lib, stream] = lookUp(handle);
    if (!stream || !stream->ready() || !stream->decodeDone.load(std::memory_order_acquire))
        return false;
    const Progress progress = progressOf(*lib, *stream);
    return progress.consumed >= progress.pushed + progress.latency;
}

} // namespace fsound
