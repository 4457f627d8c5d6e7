#pragma once

#include "platform/netconfig.h"

#include <QByteArray>
#include <QString>

#include <functional>

// What the session keeps of the adapter that leads to the device.
struct SAdapterDetails {
    quint8 hardwareAddress[8] = {};
    QString name;
};

// Context of the one temporary address added now; 0 when there is none.
extern quint32 G_dwNTEContext;

// How the session reaches the device, as route preparation found it.
struct SRoute {
    // false: the device cannot be reached, and nothing is sent to it.
    bool reachable = false;
    // The local address the session socket binds to, in network byte order; 0: any, as the
    // routing table picks it.
    quint32 localAddress = 0;

    static SRoute Unreachable() { return {}; }
    static SRoute Via(quint32 local) { return {true, local}; }
    friend bool operator==(const SRoute&, const SRoute&) = default;
};

// A route as the log shows it: empty for any local address, the address, or "ERROR".
QString RouteText(const SRoute& route);

// Masks are compared as the 32-bit number of their four octets with the first octet least
// significant (a longer contiguous prefix compares greater).
quint32 MaskOrder(quint32 mask);

// Finds out how the PC reaches a device, adding a temporary address .241 to .247 in the
// device's subnet when it has to. Runs on the route worker thread; blocks for long periods.
// Addresses and masks are in network byte order.
class CRoutePreparer {
public:
    using LogSink = std::function<void(const QByteArray& line)>;

    CRoutePreparer(INetConfig& net, SAdapterDetails& adapter, LogSink log);

    [[nodiscard]] SRoute PrepareRoute(quint32 device, quint32 mask);

    // The adapter the device was heard on (0: unknown). ScanAdapters asks it first.
    void PreferAdapter(quint32 ifIndex) { m_preferredIfIndex = ifIndex; }

    void ReadAdapter(quint32 ifIndex);
    [[nodiscard]] SRoute PickLocalAddress(quint32 ifIndex, quint32 device, quint32 mask);
    // The address added, once the device answers from it; 0 when none.
    [[nodiscard]] quint32 AddTempAddress(quint32 ifIndex, const QByteArray& hardware,
                                         quint32 device, quint32 mask);
    [[nodiscard]] quint32 ScanAdapters(quint32 device, quint32 mask);
    [[nodiscard]] bool ArpProbe(quint32 device, quint32 source, quint32 ifIndex);
    // Removes the temporary address, if any, and gives the adapter 500 ms.
    void DeleteTempAddress();

    // Once the wait was interrupted, everything answers at once and the device is unreachable.
    bool Stopped() const { return m_stopped; }

private:
    enum class Candidate { Failed, Taken, Ours };

    SRoute Prepare(quint32 device, quint32 mask);
    Candidate TryCandidate(quint32 ifIndex, const QByteArray& hardware, quint32 candidate,
                           quint32 mask, quint32 device);
    // Until the address just added is usable, at most the settle time; false when interrupted.
    [[nodiscard]] bool WaitUntilReady(quint32 ifIndex, quint32 address);
    bool Wait(unsigned ms);
    void Log(const QString& line);
    // Logs why, when no temporary address may be made for the device.
    bool RefusesTemporaryAddress(quint32 device, quint32 mask);

    INetConfig& m_net;
    SAdapterDetails& m_adapter;
    LogSink m_log;
    quint32 m_preferredIfIndex = 0;
    bool m_stopped = false;
};

// Why no temporary address may be made for this device subnet; empty when one may. Only inside
// a private network: the subnet comes from a discovery reply, which anybody on the LAN can send.
QString TemporaryAddressRefusal(quint32 device, quint32 mask);

// The adapters ScanAdapters may try, in the order it tries them: Ethernet and 802.11 adapters
// that are connected and have an address, the preferred one first, the others in list order.
QList<SNetAdapter> ScanOrder(const QList<SNetAdapter>& adapters, quint32 preferredIfIndex);
