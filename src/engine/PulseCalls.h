#pragma once
// The PulseAudio calls whose failure the PulseAudio output handles, and the system calls
// that watch for a server that went away, as a table it calls through, so that a test can
// make a chosen call fail (tests/engine/PulseFaults.h) and see what the output does then.
// Every other call goes to the client library directly.

#include <pulse/pulseaudio.h>

#include <sys/inotify.h>

#include <cstdint>

namespace fsound {

struct PulseCalls {
    decltype(&pa_threaded_mainloop_new) threaded_mainloop_new = &pa_threaded_mainloop_new;
    decltype(&pa_threaded_mainloop_start) threaded_mainloop_start = &pa_threaded_mainloop_start;
    decltype(&pa_context_new_with_proplist) context_new_with_proplist = &pa_context_new_with_proplist;
    decltype(&pa_context_connect) context_connect = &pa_context_connect;
    decltype(&pa_context_get_state) context_get_state = &pa_context_get_state;
    decltype(&pa_stream_new) stream_new = &pa_stream_new;
    decltype(&pa_stream_connect_playback) stream_connect_playback = &pa_stream_connect_playback;
    decltype(&pa_stream_get_state) stream_get_state = &pa_stream_get_state;
    decltype(&pa_stream_begin_write) stream_begin_write = &pa_stream_begin_write;
    decltype(&pa_stream_write) stream_write = &pa_stream_write;
    decltype(&pa_stream_cork) stream_cork = &pa_stream_cork;
    decltype(&pa_stream_flush) stream_flush = &pa_stream_flush;
    decltype(&pa_stream_update_timing_info) stream_update_timing_info = &pa_stream_update_timing_info;
    decltype(&pa_stream_get_timing_info) stream_get_timing_info = &pa_stream_get_timing_info;
    int (*inotify_init1)(int) = &::inotify_init1;
    int (*inotify_add_watch)(int, const char*, std::uint32_t) = &::inotify_add_watch;
};

// The table the output calls through: the client library's own functions unless a test
// set others. Any thread.
const PulseCalls& Pulse();
// Replaces the table; null gives the library's own back. Only while no PulseAudio output
// is open, on the thread that opens them.
void SetPulseCalls(const PulseCalls* calls);

} // namespace fsound
