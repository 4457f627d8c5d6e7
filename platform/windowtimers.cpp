#include "platform/windowtimers.h"

#include <QTimer>

CWindowTimers::CWindowTimers(QObject* parent) : QObject(parent) {}

void CWindowTimers::SetTimer(unsigned id, int periodMs, TimerProc proc)
{
    KillTimer(id);
    auto* timer = new QTimer(this);
    // The pacing of the device conversation is counted in ticks: keep them accurate.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(periodMs);
    connect(timer, &QTimer::timeout, this, [id, proc = std::move(proc)] { proc(id); });
    m_timers[id] = timer;
    timer->start();
}

void CWindowTimers::KillTimer(unsigned id)
{
    const auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    QTimer* timer = it->second;
    m_timers.erase(it);
    timer->stop();
    // A callback may kill its own timer: delete later, never under our own feet.
    timer->deleteLater();
}

bool CWindowTimers::IsRunning(unsigned id) const
{
    return m_timers.count(id) != 0;
}
