#pragma once

#include <QObject>

// Discovery socket and job queue. The frame creates it with state 1 (socket to be created on
// the first send) and drives it from timer 9997.
class CUDPManager : public QObject {
    Q_OBJECT
public:
    CUDPManager(int state, QObject* owner);
    ~CUDPManager() override;

    // Frame destruction: empty the job queue and the found-device list, close the socket.
    void Shutdown();

private:
    int m_nState;
};

void DiscoveryTimerProc(unsigned timerId);
