#include "Library.h"

#include "DecodeModule.h"

namespace fsound {

std::atomic<Library*> g_library{nullptr};
std::atomic<int> g_openWaitMs{8};

namespace {

// Why the last FSOUND_Stream_Open failed; any thread may ask.
std::mutex g_openErrorMutex;
OpenError g_openError;  // g_openErrorMutex

} // namespace

void setOpenError(OpenError error)
{
    std::lock_guard guard(g_openErrorMutex);
    g_openError = std::move(error);
}

void Library::followRate(int newRate)
{
    if (newRate <= 0 || newRate == rate.load())
        return;
    output.setRate(newRate);
    rate.store(newRate);
}

void Library::settleRates()
{
    std::vector<Stream*> waiting;
    {
        OutputLock guard(output);
        // One that has the output's rate by now settles by itself.
        for (Stream* stream : channels)
            if (stream && stream->playing.load() && stream->ringRate.load() == 0 && stream->awaitsRate.load()
                && stream->sampleRate.load() != rate.load())
                waiting.push_back(stream);
    }
    if (waiting.empty())
        return;
    if (activeChannels == 1 && waiting.size() == 1) {
        // It plays alone: the output starts again at its rate (nothing of it was heard).
        output.setActive(false);
        outputPaused = false;
        followRate(waiting.front()->sampleRate.load());
        output.setActive(true);
        syncOutputPause();
    } else {
        for (Stream* stream : waiting)
            stream->wantRate.store(rate.load());
    }
    poke();
}

void Library::syncOutputPause()
{
    bool anyPlaying = false;
    bool allPaused = true;
    {
        OutputLock guard(output);
        for (const Stream* stream : channels) {
            if (!stream || !stream->playing.load())
                continue;
            anyPlaying = true;
            allPaused = allPaused && stream->paused.load();
        }
    }
    const bool hold = anyPlaying && allPaused;
    if (hold != outputPaused) {
        outputPaused = hold;
        output.setPaused(hold);
    }
}

std::pair<Library*, std::shared_ptr<Stream>> lookUp(FSOUND_STREAM* handle)
{
    Library* lib = g_library.load();
    return {lib, lib ? lib->find(handle) : nullptr};
}

Progress progressOf(Library& lib, const Stream& stream)
{
    OutputLock guard(lib.output);
    Progress progress{stream.pushedFrames.load(std::memory_order_acquire),
                      stream.consumedFrames.load(std::memory_order_acquire),
                      static_cast<std::int64_t>(lib.output.latencyFrames())};
    // Once the queued song has the channel, the newest part of what the output holds is
    // that song's: of this stream, only what lies before it is still to be heard.
    if (stream.handedOver.load(std::memory_order_acquire) && stream.follower)
        progress.latency = std::max<std::int64_t>(
            0, progress.latency - stream.follower->consumedFrames.load(std::memory_order_acquire));
    return progress;
}

void Shutdown()
{
    Library* lib = g_library.exchange(nullptr);
    if (!lib)
        return;
    lib->opener.reset();  // the open under way finishes first
    lib->decoderStop.store(true);
    lib->poke();
    if (lib->decoderThread.joinable())
        lib->decoderThread.join();
    lib->output.close();
    if (lib->newsFd >= 0)
        ::close(lib->newsFd);
    delete lib;
}

int OutputRate()
{
    const Library* lib = g_library.load();
    return lib ? lib->rate.load() : 0;
}

int NewsDescriptor()
{
    Library* lib = g_library.load();
    return lib ? lib->newsFd : -1;
}

void TakeNews()
{
    Library* lib = g_library.load();
    std::uint64_t count = 0;
    if (lib && lib->newsFd >= 0)
        [[maybe_unused]] const auto got = ::read(lib->newsFd, &count, sizeof count);
    if (lib)
        lib->settleRates();
}

unsigned OutputSinkChanges()
{
    Library* lib = g_library.load();
    return lib ? lib->output.sinkChanges() : 0;
}

bool OutputConnected()
{
    Library* lib = g_library.load();
    if (!lib)
        return true;
    // A loss is told even when the output is back already, so that the caller puts its
    // streams back where they were heard; then the news that it is back follows.
    const unsigned losses = lib->output.losses();
    if (losses != lib->lossesTold) {
        lib->lossesTold = losses;
        lib->sayWhyLost();
        if (lib->output.connected())
            lib->tellNews();
        return false;
    }
    return lib->output.connected();
}

void PreloadDecoding()
{
    if (Library* lib = g_library.load()) {
        lib->preloadAsked.store(true);
        lib->poke();
    }
}

bool StreamOpening(FSOUND_STREAM* handle)
{
    auto stream = lookUp(handle).second;
    return stream && stream->openState.load(std::memory_order_acquire) == OpenState::Opening;
}

bool StreamOpenFailed(FSOUND_STREAM* handle, OpenError* why)
{
    auto stream = lookUp(handle).second;
    if (!stream || stream->openState.load(std::memory_order_acquire) != OpenState::Failed)
        return false;
    if (why)
        *why = stream->openError;
    return true;
}

void SetOpenWaitForTests(int ms)
{
    g_openWaitMs.store(std::max(ms, 0));
}

void HoldOpensForTests(bool hold)
{
    if (Library* lib = g_library.load())
        lib->opener->hold(hold);
}

OpenError LastOpenError()
{
    std::lock_guard guard(g_openErrorMutex);
    return g_openError;
}

bool Initialised()
{
    return g_library.load() != nullptr;
}

bool UsingSilentSink()
{
    Library* lib = g_library.load();
    return lib && &lib->output.driver() == &kSilentDriver;
}

const char* OutputName()
{
    Library* lib = g_library.load();
    return lib ? lib->output.driver().name : "";
}

} // namespace fsound
