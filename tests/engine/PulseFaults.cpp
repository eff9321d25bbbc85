#include "PulseFaults.h"

#include <cerrno>

namespace fixtures {

namespace {

constexpr auto kCalls = static_cast<std::size_t>(PulseCall::Count);

struct Plan {
    std::atomic<int> skip{0};
    std::atomic<int> times{0};
    std::atomic<int> failed{0};
    std::atomic<int> made{0};
};
std::array<Plan, kCalls> g_plans;

Plan& plan(PulseCall call)
{
    return g_plans[static_cast<std::size_t>(call)];
}

// Whether this call of `call` is one to fail. The output makes its calls under the
// mainloop lock, one at a time.
bool fails(PulseCall call)
{
    Plan& p = plan(call);
    p.made.fetch_add(1);
    if (p.times.load() <= 0)
        return false;
    if (p.skip.load() > 0) {
        p.skip.fetch_sub(1);
        return false;
    }
    p.times.fetch_sub(1);
    p.failed.fetch_add(1);
    return true;
}

pa_threaded_mainloop* mainloopNew()
{
    return fails(PulseCall::MainloopNew) ? nullptr : pa_threaded_mainloop_new();
}

int mainloopStart(pa_threaded_mainloop* loop)
{
    return fails(PulseCall::MainloopStart) ? -PA_ERR_INTERNAL : pa_threaded_mainloop_start(loop);
}

pa_context* contextNew(pa_mainloop_api* api, const char* name, const pa_proplist* props)
{
    return fails(PulseCall::ContextNew) ? nullptr : pa_context_new_with_proplist(api, name, props);
}

int contextConnect(pa_context* context, const char* server, pa_context_flags_t flags, const pa_spawn_api* spawn)
{
    return fails(PulseCall::ContextConnect) ? -PA_ERR_CONNECTIONREFUSED
                                            : pa_context_connect(context, server, flags, spawn);
}

pa_context_state_t contextState(const pa_context* context)
{
    return fails(PulseCall::ContextState) ? PA_CONTEXT_FAILED : pa_context_get_state(context);
}

pa_stream* streamNew(pa_context* context, const char* name, const pa_sample_spec* format, const pa_channel_map* map)
{
    return fails(PulseCall::StreamNew) ? nullptr : pa_stream_new(context, name, format, map);
}

int connectPlayback(pa_stream* stream, const char* device, const pa_buffer_attr* attr, pa_stream_flags_t flags,
                    const pa_cvolume* volume, pa_stream* sync)
{
    return fails(PulseCall::ConnectPlayback) ? -PA_ERR_INVALID
                                             : pa_stream_connect_playback(stream, device, attr, flags, volume, sync);
}

pa_stream_state_t streamState(const pa_stream* stream)
{
    return fails(PulseCall::StreamState) ? PA_STREAM_FAILED : pa_stream_get_state(stream);
}

int beginWrite(pa_stream* stream, void** data, std::size_t* bytes)
{
    return fails(PulseCall::BeginWrite) ? -PA_ERR_BADSTATE : pa_stream_begin_write(stream, data, bytes);
}

int write(pa_stream* stream, const void* data, std::size_t bytes, pa_free_cb_t free, int64_t offset,
          pa_seek_mode_t seek)
{
    return fails(PulseCall::Write) ? -PA_ERR_BADSTATE : pa_stream_write(stream, data, bytes, free, offset, seek);
}

pa_operation* cork(pa_stream* stream, int corked, pa_stream_success_cb_t done, void* user)
{
    return fails(PulseCall::Cork) ? nullptr : pa_stream_cork(stream, corked, done, user);
}

pa_operation* flush(pa_stream* stream, pa_stream_success_cb_t done, void* user)
{
    return fails(PulseCall::Flush) ? nullptr : pa_stream_flush(stream, done, user);
}

pa_operation* updateTiming(pa_stream* stream, pa_stream_success_cb_t done, void* user)
{
    return fails(PulseCall::UpdateTiming) ? nullptr : pa_stream_update_timing_info(stream, done, user);
}

const pa_timing_info* timingInfo(pa_stream* stream)
{
    if (fails(PulseCall::TimingInfo))
        return nullptr;
    const pa_timing_info* timing = pa_stream_get_timing_info(stream);
    if (!timing || !fails(PulseCall::TimingCorrupt))
        return timing;
    // Called under the mainloop lock, one at a time; the write index and the read index
    // in turn, so that each is seen unusable.
    static pa_timing_info corrupt;
    corrupt = *timing;
    corrupt.write_index_corrupt = plan(PulseCall::TimingCorrupt).failed.load() % 2;
    corrupt.read_index_corrupt = !corrupt.write_index_corrupt;
    return &corrupt;
}

int watchInit(int flags)
{
    if (fails(PulseCall::WatchInit)) {
        errno = EMFILE;
        return -1;
    }
    return ::inotify_init1(flags);
}

int watchAdd(int fd, const char* path, std::uint32_t events)
{
    if (fails(PulseCall::WatchAdd)) {
        errno = ENOSPC;
        return -1;
    }
    return ::inotify_add_watch(fd, path, events);
}

} // namespace

PulseFaults::PulseFaults()
{
    clear();
    m_calls.threaded_mainloop_new = &mainloopNew;
    m_calls.threaded_mainloop_start = &mainloopStart;
    m_calls.context_new_with_proplist = &contextNew;
    m_calls.context_connect = &contextConnect;
    m_calls.context_get_state = &contextState;
    m_calls.stream_new = &streamNew;
    m_calls.stream_connect_playback = &connectPlayback;
    m_calls.stream_get_state = &streamState;
    m_calls.stream_begin_write = &beginWrite;
    m_calls.stream_write = &write;
    m_calls.stream_cork = &cork;
    m_calls.stream_flush = &flush;
    m_calls.stream_update_timing_info = &updateTiming;
    m_calls.stream_get_timing_info = &timingInfo;
    m_calls.inotify_init1 = &watchInit;
    m_calls.inotify_add_watch = &watchAdd;
    fsound::SetPulseCalls(&m_calls);
}

PulseFaults::~PulseFaults()
{
    fsound::SetPulseCalls(nullptr);
    clear();
}

void PulseFaults::fail(PulseCall call, int times, int skip)
{
    plan(call).skip.store(skip);
    plan(call).times.store(times);
}

int PulseFaults::failed(PulseCall call) const
{
    return plan(call).failed.load();
}

int PulseFaults::made(PulseCall call) const
{
    return plan(call).made.load();
}

void PulseFaults::clear()
{
    for (Plan& p : g_plans) {
        p.times.store(0);
        p.skip.store(0);
        p.failed.store(0);
        p.made.store(0);
    }
}

} // namespace fixtures
