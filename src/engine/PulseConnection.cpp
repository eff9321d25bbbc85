#include "PulseOutput.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

// The connection to the sound server: made at open, lost with the server, and made
// again when a server answers.

namespace fsound {

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string socketPathOf(const char* server)
{
    std::string path = server ? server : "";
    if (path.rfind("unix:", 0) == 0)
        path.erase(0, 5);
    if (path.empty() || path[0] != '/')
        return {};
    return path;
}

bool PulseOutput::startContext()
{
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Sorvel");
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    m_context = Pulse().context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Sorvel", props);
    pa_proplist_free(props);
    if (!m_context)
        return failed("pa_context_new");
    pa_context_set_state_callback(m_context, &PulseOutput::onContextState, this);
    const char* server = m_server.empty() ? nullptr : m_server.c_str();
    const int result = Pulse().context_connect(m_context, server, PA_CONTEXT_NOAUTOSPAWN, nullptr);
    return result >= 0 || failed("pa_context_connect", -result);
}

bool PulseOutput::waitForContext()
{
    for (;;) {
        const pa_context_state_t state = Pulse().context_get_state(m_context);
        if (state == PA_CONTEXT_READY)
            return true;
        if (!PA_CONTEXT_IS_GOOD(state))
            return failed("pa_context_connect", contextError());
        pa_threaded_mainloop_wait(m_loop);
    }
}

void PulseOutput::destroyContext()
{
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

// The server went away, killed our stream or refused a call on it. The output holds
// from here on: when a server answers again nothing plays until the library is told to
// go on, after it has put its streams back where they were heard last (what the old
// server held is gone with it).
void PulseOutput::lost(const Failure& cause)
{
    if (!m_connected.load() || m_closing)
        return;
    if (!m_paused)
        m_heldLatency = latencyAtLoss();
    m_paused = true;
    m_lostBecause = cause;
    m_losses.fetch_add(1);
    m_connected.store(false);
    m_reconnecting = true;
    if (m_listener)
        m_listener();
    watchForServer();
    // The context cannot be freed inside its own callback: the rest happens next. A
    // call refused again before any sound got through is not tried again at once.
    later(m_backoffUsec, &PulseOutput::onAttempt);
    m_backoffUsec = nextBackoff();
}

pa_usec_t PulseOutput::nextBackoff() const
{
    return std::clamp<pa_usec_t>(m_backoffUsec * 2, 100 * 1000, 10 * kRetryUsec);
}

void PulseOutput::later(pa_usec_t usec, pa_time_event_cb_t callback)
{
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
    if (m_retry)
        api->time_free(m_retry);
    timeval when{};
    pa_timeval_add(pa_gettimeofday(&when), usec);
    m_retry = api->time_new(api, &when, callback, this);
}

bool PulseOutput::socketExists() const
{
    struct stat info {};
    return !m_server.empty() && ::stat(m_server.c_str(), &info) == 0;
}

// One try at a new connection; its state callbacks go on from there.
void PulseOutput::attempt()
{
    if (m_closing || !m_reconnecting)
        return;
    destroyStream();
    destroyContext();
    if (!startContext()) {
        destroyContext();
        retryLater();
    }
}

// A try failed. While the server's socket is missing the folder watch calls again
// when it appears; a socket that is there but does not answer (a server still
// starting, or one that crashed) is tried again less and less often.
void PulseOutput::retryLater()
{
    if (m_inotify >= 0 && !socketExists())
        return;
    m_backoffUsec = nextBackoff();
    later(m_backoffUsec, &PulseOutput::onAttempt);
}

void PulseOutput::watchForServer()
{
    if (m_inotify >= 0 || m_server.empty())
        return;
    m_inotify = Pulse().inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0)
        return;
    const std::uint32_t events = IN_CREATE | IN_MOVED_TO | IN_ATTRIB;
    // The socket's folder; when the server removed that too, the one above it.
    if (Pulse().inotify_add_watch(m_inotify, folderOf(m_server).c_str(), events) < 0
        && Pulse().inotify_add_watch(m_inotify, folderOf(folderOf(m_server)).c_str(), events) < 0) {
        ::close(m_inotify);
        m_inotify = -1;
        return;
    }
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
    m_watch = api->io_new(api, m_inotify, PA_IO_EVENT_INPUT, &PulseOutput::onFolderChanged, this);
}

void PulseOutput::stopWatching()
{
    pa_mainloop_api* api = m_loop ? pa_threaded_mainloop_get_api(m_loop) : nullptr;
    if (m_watch && api)
        api->io_free(m_watch);
    m_watch = nullptr;
    if (m_retry && api)
        api->time_free(m_retry);
    m_retry = nullptr;
    if (m_inotify >= 0)
        ::close(m_inotify);
    m_inotify = -1;
}

void PulseOutput::streamBack()
{
    m_reconnecting = false;
    stopWatching();
    m_connected.store(true);
    applyCork(false);
    if (m_listener)
        m_listener();
}

void PulseOutput::onContextState(pa_context* context, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    pa_threaded_mainloop_signal(output->m_loop, 0);
    if (context != output->m_context || output->m_closing)
        return;
    const pa_context_state_t state = Pulse().context_get_state(context);
    if (state == PA_CONTEXT_READY) {
        // The master volume shown is the default sink's: a change to it made elsewhere
        // is told as it happens, and on every new connection. The sinks' levels now are
        // where changes are counted from.
        output->m_sinkLevels.clear();
        if (pa_operation* op = pa_context_get_sink_info_list(context, &PulseOutput::onSinkSeen, output))
            pa_operation_unref(op);
        pa_context_set_subscribe_callback(context, &PulseOutput::onServerEvent, output);
        if (pa_operation* op = pa_context_subscribe(
                context, static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER), nullptr, nullptr))
            pa_operation_unref(op);
        if (output->m_reconnecting)
            output->tellSinkChange();  // perhaps another server: its volume may be another
    }
    if (state == PA_CONTEXT_READY && output->m_reconnecting && !output->m_stream) {
        if (!output->startStream())
            output->later(0, &PulseOutput::onAttemptFailed);
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
        if (output->m_connected.load())
            output->lost({});
        else if (output->m_reconnecting)
            output->later(0, &PulseOutput::onAttemptFailed);
    }
}

void PulseOutput::onServerEvent(pa_context* context, pa_subscription_event_type_t type, std::uint32_t index, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    if (context != output->m_context || output->m_closing)
        return;
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
        output->tellSinkChange();  // the default sink may be another
    } else if (facility == PA_SUBSCRIPTION_EVENT_SINK && kind == PA_SUBSCRIPTION_EVENT_CHANGE) {
        // A sink changes when a stream starts or stops on it too: its level says.
        if (pa_operation* op = pa_context_get_sink_info_by_index(context, index, &PulseOutput::onSinkChanged, output))
            pa_operation_unref(op);
    } else if (facility == PA_SUBSCRIPTION_EVENT_SINK && kind == PA_SUBSCRIPTION_EVENT_REMOVE) {
        output->m_sinkLevels.erase(index);
    }
}

void PulseOutput::onSinkSeen(pa_context*, const pa_sink_info* info, int last, void* self)
{
    if (last || !info)
        return;
    static_cast<PulseOutput*>(self)->m_sinkLevels[info->index] = {pa_cvolume_max(&info->volume), info->mute};
}

void PulseOutput::onSinkChanged(pa_context* context, const pa_sink_info* info, int last, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    if (last || !info || context != output->m_context || output->m_closing)
        return;
    const std::pair level{pa_cvolume_max(&info->volume), info->mute};
    const auto seen = output->m_sinkLevels.find(info->index);
    if (seen != output->m_sinkLevels.end() && seen->second == level)
        return;
    output->m_sinkLevels[info->index] = level;
    output->tellSinkChange();
}

void PulseOutput::tellSinkChange()
{
    m_sinkChanges.fetch_add(1);
    if (m_listener)
        m_listener();
}

void PulseOutput::onAttempt(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    api->time_free(event);
    if (output->m_retry == event)
        output->m_retry = nullptr;
    output->attempt();
}

void PulseOutput::onAttemptFailed(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    api->time_free(event);
    if (output->m_retry == event)
        output->m_retry = nullptr;
    output->destroyStream();
    output->destroyContext();
    output->retryLater();
}

void PulseOutput::onFolderChanged(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    char events[4096];
    while (::read(fd, events, sizeof events) > 0) {
    }
    if (output->m_reconnecting && !output->m_context && output->socketExists())
        output->attempt();
}

} // namespace fsound
