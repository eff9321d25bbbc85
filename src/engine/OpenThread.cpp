#include "OpenThread.h"

#include "ThreadName.h"

namespace fsound {

OpenThread::OpenThread() : m_thread([this] { run(); }) {}

OpenThread::~OpenThread()
{
    {
        std::lock_guard guard(m_mutex);
        m_stop = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void OpenThread::post(std::function<void()> job)
{
    {
        std::lock_guard guard(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_all();
}

void OpenThread::hold(bool held)
{
    {
        std::lock_guard guard(m_mutex);
        m_held = held;
    }
    m_wake.notify_all();
}

void OpenThread::run()
{
    NameThisThread("sorvel-opener");
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || (!m_held && !m_jobs.empty()); });
        if (m_stop)
            return;
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        job();
        job = nullptr;  // what it holds is released here, not on the window thread
        lock.lock();
    }
}

} // namespace fsound
