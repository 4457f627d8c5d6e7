#pragma once

#include "platform/netconfig.h"

#include <QByteArray>
#include <QString>

#include <functional>

// What the session keeps of the adapter that leads to the device.
struct SAdapterDetails {
    quint8 hardwareAddress[8] = {};
    quint32 index = 0;
    QString name;
    // Windows shows a connection name beside the adapter's; here both are the interface name.
    QString connectionName;
    bool dhcpEnabled = false;
};

// Context of the one temporary address added now; 0 when there is none.
extern quint32 G_dwNTEContext;

inline constexpr char kRouteError[] = "ERROR";

// Masks are compared as the 32-bit number of their four octets with the first octet least
// significant (a longer contiguous prefix compares greater).
quint32 MaskOrder(quint32 mask);

// Finds out how the PC reaches a device, adding a temporary address .241 to .247 in the
// device's subnet when it has to. Runs on the route worker thread; blocks for long periods.
// The answer: empty (normal routing, bind to any address), a local address to bind to, or
// "ERROR".
class CRoutePreparer {
public:
    using LogSink = std::function<void(const QByteArray& line)>;

    CRoutePreparer(INetConfig& net, SAdapterDetails& adapter, LogSink log);

    QString PrepareRoute(const QString& deviceAddress, const QString& deviceMask);

    // The adapter the device was heard on (0: unknown). ScanAdapters asks it first.
    void PreferAdapter(quint32 ifIndex) { m_preferredIfIndex = ifIndex; }

    void ReadAdapter(quint32 ifIndex);
    QString PickLocalAddress(quint32 ifIndex, quint32 device, quint32 mask);
    QString AddTempAddress(quint32 ifIndex, const QByteArray& hardware, quint32 device,
                           quint32 mask);
    QString ScanAdapters(quint32 device, quint32 mask);
    bool ArpProbe(quint32 device, quint32 source, quint32 ifIndex);
    // Removes the temporary address, if any, and gives the adapter 500 ms.
    void DeleteTempAddress();

    // Once the wait was interrupted, everything answers at once and the result is "ERROR".
    bool Stopped() const { return m_stopped; }

private:
    enum class Candidate { Failed, Taken, Ours };

    QString Prepare(const QString& deviceAddress, const QString& deviceMask);
    Candidate TryCandidate(quint32 ifIndex, const QByteArray& hardware, quint32 candidate,
                           quint32 mask, quint32 device);
    // Until the address just added is usable, at most the settle time; false when interrupted.
    bool WaitUntilReady(quint32 ifIndex, quint32 address);
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
