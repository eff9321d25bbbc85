#pragma once
// Makes a chosen PulseAudio call of the output (or one of its server watch) fail, through
// the table the output calls through (PulseCalls.h). While a PulseFaults exists every call goes through a wrapper
// that either fails it, as the client library fails it, or hands it on.

#include "PulseCalls.h"

#include <array>
#include <atomic>

namespace fixtures {

enum class PulseCall {
    MainloopNew,
    MainloopStart,
    ContextNew,
    ContextConnect,
    ContextState,     // answers PA_CONTEXT_FAILED
    StreamNew,
    ConnectPlayback,
    StreamState,      // answers PA_STREAM_FAILED
    BeginWrite,
    Write,
    Cork,
    Flush,
    UpdateTiming,
    TimingInfo,       // answers no timing
    TimingCorrupt,    // answers a timing whose indices the client library marked unusable
    WatchInit,        // inotify_init1
    WatchAdd,         // inotify_add_watch
    Count
};

class PulseFaults {
public:
    PulseFaults();
    ~PulseFaults();
    PulseFaults(const PulseFaults&) = delete;
    PulseFaults& operator=(const PulseFaults&) = delete;

    // The next `times` calls of `call` fail, after `skip` that go through.
    void fail(PulseCall call, int times = 1, int skip = 0);
    // How many calls of `call` were made to fail so far.
    int failed(PulseCall call) const;
    // How many calls of `call` were made, failed or not.
    int made(PulseCall call) const;
    void clear();

private:
    fsound::PulseCalls m_calls;
};

} // namespace fixtures
