#pragma once
// The opener [sorvel-opener]: runs the library's file opens (probing, reading headers,
// decoding the first chunk) one at a time, in the order posted. Off the window thread,
// so that no file, however slow or damaged, holds the windows up; off the decoder
// thread, so that a slow open of the song queued next never starves the one that plays.
// Sleeps on a condition variable while there is nothing to open: idle, it never wakes.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace fsound {

class OpenThread {
public:
    OpenThread();
    // Lets the job under way finish, drops the others and joins.
    ~OpenThread();
    OpenThread(const OpenThread&) = delete;
    OpenThread& operator=(const OpenThread&) = delete;

    // Any thread.
    void post(std::function<void()> job);
    // Tests: while held, posted jobs wait (the job under way finishes).
    void hold(bool held);

private:
    void run();

    std::mutex m_mutex;                        // guards everything below
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stop = false;
    bool m_held = false;
    std::thread m_thread;                      // last: starts once the rest is made
};

} // namespace fsound
