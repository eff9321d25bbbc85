#include "ListWriter.h"

#include "StringList.h"
#include "ThreadName.h"

#include <utility>

TempListWriter::~TempListWriter()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void TempListWriter::Save(const QString& fileName, QStringList paths)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_waiting = List{fileName, std::move(paths)};
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] {
            NameThisThread("sorvel-list");
            run();
        });
    m_changed.notify_all();
}

bool TempListWriter::Idle()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return !m_waiting && !m_writing;
}

void TempListWriter::Wait()
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_changed.wait(hold, [this] { return !m_waiting && !m_writing; });
}

void TempListWriter::run()
{
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        // What waits is written before the thread ends.
        m_changed.wait(hold, [this] { return m_stop || m_waiting; });
        if (!m_waiting)
            return;
        const List list = std::move(*m_waiting);
        m_waiting.reset();
        m_writing = true;
        hold.unlock();
        SvStringList lines;
        for (const QString& path : list.Paths)
            lines->Add(path);
        lines->SaveToFile(list.FileName);
        hold.lock();
        m_writing = false;
        m_changed.notify_all();
    }
}
