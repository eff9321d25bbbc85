#pragma once
// Lightweight millisecond timers that call their handler on the user-interface thread.
// The timers of a program share one hidden object, a `TSimpleTimerHandler`, which holds
// the system timers (Qt's) and maps each tick back to its timer. Whoever builds the
// program owns the handler and hands it to each timer; it outlives them. Window thread only.
//
// A timer is stopped (not enabled, no system timer), running (enabled, system timer set)
// or enabled but idle (enabled, no system timer: after SetInterval(0) or an unassigned
// handler while running).

#include <QObject>

#include <cstdint>
#include <functional>
#include <unordered_map>

class TSimpleTimer;

using TSimpleTimerEvent = std::function<void(TSimpleTimer* sender)>;

class TSimpleTimerHandler : public QObject {
    Q_OBJECT
public:
    TSimpleTimerHandler() = default;
    ~TSimpleTimerHandler() override;
    TSimpleTimerHandler(const TSimpleTimerHandler&) = delete;
    TSimpleTimerHandler& operator=(const TSimpleTimerHandler&) = delete;

    // Timers alive, and timers whose system timer is set.
    std::uint32_t RefCount = 0;
    std::uint32_t ActiveCount = 0;
    // System timers set so far (a restart sets a new one), for tests.
    std::uint64_t TimersSet = 0;

    // Sets or kills the system timer of `timer`; false when the system refused.
    bool SetTimer(TSimpleTimer* timer, std::uint32_t interval);
    bool KillTimer(TSimpleTimer* timer);
    // One tick of the system timer `systemId` (what the timer message does): a one-shot
    // timer is disabled first, then its handler runs. Unknown ids are ignored.
    void TimerMessage(int systemId);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    std::unordered_map<int, TSimpleTimer*> m_bySystemId;
};

class TSimpleTimer : public QObject {
    Q_OBJECT
public:
    // Interval 1000 ms and no handler. `handler` holds the system timer; it must outlive
    // the timer.
    explicit TSimpleTimer(TSimpleTimerHandler& handler);
    TSimpleTimer(TSimpleTimerHandler& handler, std::uint32_t interval, TSimpleTimerEvent onTimer);
    ~TSimpleTimer() override;
    TSimpleTimer(const TSimpleTimer&) = delete;
    TSimpleTimer& operator=(const TSimpleTimer&) = delete;

    bool Enabled() const { return m_Enabled; }
    void SetEnabled(bool value);
    std::uint32_t Interval() const { return m_Interval; }
    void SetInterval(std::uint32_t value);
    const TSimpleTimerEvent& OnTimer() const { return m_OnTimer; }
    void SetOnTimer(TSimpleTimerEvent handler);
    // Stops (disabled) at its first tick, before the handler runs.
    bool OneShot = false;

    // False, changing nothing, with interval 0. A running timer restarts its period.
    bool Start();
    // Kills the system timer; `disable` also clears Enabled. False when none was set.
    bool Stop(bool disable);

    // Identity of the timer; the system timer of a running one is `SystemId`.
    std::uintptr_t TimerId() const { return m_TimerId; }
    int SystemId() const { return m_systemId; }

private:
    friend class TSimpleTimerHandler;
    void Initialize(std::uint32_t interval, TSimpleTimerEvent onTimer);

    TSimpleTimerHandler& m_handler;
    std::uintptr_t m_TimerId = 0;
    bool m_Enabled = false;
    std::uint32_t m_Interval = 0;
    TSimpleTimerEvent m_OnTimer;
    int m_systemId = 0;  // Qt's id of the system timer while one is set, else 0
};
