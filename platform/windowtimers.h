#pragma once

#include <QObject>

#include <functional>
#include <map>

class QTimer;

// Window timers by numeric id, as the pages and the frame know them (9997, 9999, 1, 100, ...).
// Setting an id that runs already restarts it with the new period and callback.
class CWindowTimers : public QObject {
    Q_OBJECT
public:
    using TimerProc = std::function<void(unsigned id)>;

    explicit CWindowTimers(QObject* parent = nullptr);

    void SetTimer(unsigned id, int periodMs, TimerProc proc);
    void KillTimer(unsigned id);
    bool IsRunning(unsigned id) const;

private:
    std::map<unsigned, QTimer*> m_timers;
};
