#pragma once

#include "discovery/adapters.h"

#include <QByteArrayView>
#include <QObject>
#include <QPointer>
#include <cstdint>

class CWindowTimers;
class QSocketNotifier;

// The discovery socket: UDP port 13379 on every local address, broadcast enabled. It is
// created on the first send and again on the send after anything closed or spoilt it.
class CUDPManager : public QObject {
    Q_OBJECT
public:
    static constexpr unsigned kDiscoveryTimer = 9997;

    // state 1: the socket is to be created before the next send. ownerTimers run timer 9997,
    // which destruction stops first.
    CUDPManager(int state, QObject* owner, CWindowTimers* ownerTimers,
                AdapterSource adapters = ListDiscoveryAdapters);
    ~CUDPManager() override;

    // Frame destruction: empty the job queue and the found-device list, close the socket.
    void Shutdown();

    void SendDiscoveryQuery(QByteArrayView firstField);
    // Reads and drops every datagram that waits in the socket now.
    void DiscardWaitingReplies();
    bool CreateDiscoverySocket();
    void Close();

    // Socket notifications. errorCode is the error the socket reported with the data.
    void OnReceive(int errorCode);
    void OnOutOfBandData();
    void OnClose();

    int State() const { return m_nState; }
    bool IsOpen() const { return m_socket >= 0; }

private:
    void OnReadable();

    int m_nState;
    QPointer<CWindowTimers> m_ownerTimers;
    AdapterSource m_adapters;
    int m_socket = -1;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_exceptionNotifier = nullptr;
};

// The interface index an IP_PKTINFO message carries on a received datagram; 0 when there is none
// or the control data was cut short.
std::uint32_t ArrivalInterface(const struct msghdr& message);

// Timer procedure of timer 9997 on the frame: paces the head discovery job.
void DiscoveryTimerProc(unsigned timerId);

// The discovery socket, owned by the frame; null while it does not exist.
extern CUDPManager* G_pUDPManager;
