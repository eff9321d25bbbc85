#include "Simpletimer.h"

#include <QTimerEvent>

TSimpleTimerHandler::~TSimpleTimerHandler()
{
    // A timer that outlived its handler would tick into nothing: none may.
    Q_ASSERT(RefCount == 0);
}

bool TSimpleTimerHandler::SetTimer(TSimpleTimer* timer, std::uint32_t interval)
{
    if (interval > static_cast<std::uint32_t>(INT32_MAX))
        return false;
    const int id = startTimer(static_cast<int>(interval), Qt::PreciseTimer);
    if (id == 0)
        return false;
    timer->m_systemId = id;
    m_bySystemId[id] = timer;
    ++TimersSet;
    return true;
}

bool TSimpleTimerHandler::KillTimer(TSimpleTimer* timer)
{
    if (timer->m_systemId == 0)
        return false;
    killTimer(timer->m_systemId);
    m_bySystemId.erase(timer->m_systemId);
    timer->m_systemId = 0;
    return true;
}

void TSimpleTimerHandler::TimerMessage(int systemId)
{
    const auto found = m_bySystemId.find(systemId);
    if (found == m_bySystemId.end())
        return;
    TSimpleTimer* timer = found->second;
    if (timer->OneShot)
        timer->Stop(true);
    if (timer->m_OnTimer)
        timer->m_OnTimer(timer);
}

void TSimpleTimerHandler::timerEvent(QTimerEvent* event)
{
    TimerMessage(event->timerId());
}

TSimpleTimer::TSimpleTimer(TSimpleTimerHandler& handler) : m_handler(handler)
{
    Initialize(1000, {});
}

TSimpleTimer::TSimpleTimer(TSimpleTimerHandler& handler, std::uint32_t interval, TSimpleTimerEvent onTimer)
    : m_handler(handler)
{
    Initialize(interval, std::move(onTimer));
}

void TSimpleTimer::Initialize(std::uint32_t interval, TSimpleTimerEvent onTimer)
{
    m_TimerId = reinterpret_cast<std::uintptr_t>(this);
    OneShot = false;
    m_Enabled = false;
    m_Interval = interval;
    SetOnTimer(std::move(onTimer));
    ++m_handler.RefCount;
}

TSimpleTimer::~TSimpleTimer()
{
    if (m_Enabled)
        Stop(true);
    else if (m_systemId != 0)
        m_handler.KillTimer(this);
    if (m_handler.RefCount > 0)
        --m_handler.RefCount;
}

void TSimpleTimer::SetEnabled(bool value)
{
    if (value)
        Start();
    else
        Stop(true);
}

void TSimpleTimer::SetInterval(std::uint32_t value)
{
    if (value == m_Interval)
        return;
    m_Interval = value;
    if (!m_Enabled)
        return;
    if (value != 0)
        Start();
    else
        Stop(false);
}

void TSimpleTimer::SetOnTimer(TSimpleTimerEvent handler)
{
    m_OnTimer = std::move(handler);
    if (!m_OnTimer && m_Enabled)
        Stop(false);
}

bool TSimpleTimer::Start()
{
    if (m_Interval == 0)
        return false;
    if (m_Enabled)
        Stop(true);
    if (!m_handler.SetTimer(this, m_Interval))
        return false;
    m_Enabled = true;
    ++m_handler.ActiveCount;
    return true;
}

bool TSimpleTimer::Stop(bool disable)
{
    if (disable)
        m_Enabled = false;
    if (!m_handler.KillTimer(this))
        return false;
    if (m_handler.ActiveCount > 0)
        --m_handler.ActiveCount;
    return true;
}
