#include "session/routeprep.h"

#include "platform/codepage.h"
#include "platform/netconfig_netlink.h"
#include "platform/netconfig_protocol.h"

#include <cstring>

quint32 G_dwNTEContext = 0;

namespace {

// After ScanAdapters has added an address the lookup runs once more; a second pass that still
// finds no direct route will not find one by adding addresses again.
constexpr int kPasses = 2;
constexpr int kFirstCandidate = 241;
constexpr int kLastCandidate = 247;
constexpr unsigned kDeleteSettleMs = 500;
// The longest a new address is given to become usable; the kernel is asked this often.
constexpr unsigned kAddSettleMs = 10000;
constexpr unsigned kReadyPollMs = 50;

quint32 WithLastOctet(quint32 address, int octet)
{
    auto* bytes = reinterpret_cast<unsigned char*>(&address);
    bytes[3] = static_cast<unsigned char>(octet);
    return address;
}

// The first six bytes, as a buffer preset with fill would hold them.
QByteArray FirstSix(const QByteArray& bytes, char fill)
{
    QByteArray six = bytes.left(6);
    six.append(6 - six.size(), fill);
    return six;
}

} // namespace

QString RouteText(const SRoute& route)
{
    if (!route.reachable)
        return u"ERROR"_qs;
    return route.localAddress ? AddressToText(route.localAddress) : QString();
}

quint32 MaskOrder(quint32 mask)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&mask);
    return quint32(bytes[0]) | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16 |
           quint32(bytes[3]) << 24;
}

CRoutePreparer::CRoutePreparer(INetConfig& net, SAdapterDetails& adapter, LogSink log)
    : m_net(net), m_adapter(adapter), m_log(std::move(log))
{
}

SRoute CRoutePreparer::PrepareRoute(quint32 device, quint32 mask)
{
    SRoute result = Prepare(device, mask);
    if (m_stopped)
        result = SRoute::Unreachable();
    Log(u"PrepareRoute strAPIP=%1 result=%2"_qs.arg(AddressToText(device), RouteText(result)));
    return result;
}

SRoute CRoutePreparer::Prepare(quint32 device, quint32 mask)
{
    for (int pass = 1;; ++pass) {
        quint32 routeMask = 0;
        quint32 ifIndex = 0;
        const bool found = m_net.LookupRoute(device, routeMask, ifIndex);
        if (found)
            ReadAdapter(ifIndex);
        if (!found || routeMask == 0) {
            if (pass == kPasses || m_stopped || RefusesTemporaryAddress(device, mask) ||
                ScanAdapters(device, mask) == 0) {
                DeleteTempAddress();
                return SRoute::Unreachable();
            }
            continue; // the temporary address now gives a direct route
        }
        const SRoute local = PickLocalAddress(ifIndex, device, mask);
        if (!local.reachable || m_stopped)
            return SRoute::Unreachable();
        if (!ArpProbe(device, local.localAddress, ifIndex))
            return SRoute::Unreachable();
        return local;
    }
}

void CRoutePreparer::ReadAdapter(quint32 ifIndex)
{
    QList<SNetAdapter> adapters;
    if (m_net.ReadAdapters(adapters)) {
        for (const SNetAdapter& adapter : adapters) {
            if (adapter.index != ifIndex)
                continue;
            std::memset(m_adapter.hardwareAddress, 0, sizeof m_adapter.hardwareAddress);
            std::memcpy(m_adapter.hardwareAddress, adapter.hardwareAddress.constData(),
                        size_t(qMin<qsizetype>(adapter.hardwareAddress.size(),
                                               sizeof m_adapter.hardwareAddress)));
            m_adapter.name = adapter.name;
            break;
        }
    }
}

SRoute CRoutePreparer::PickLocalAddress(quint32 ifIndex, quint32 device, quint32 mask)
{
    QList<SNetAdapter> adapters;
    if (!m_net.ReadAdapters(adapters))
        return SRoute::Via(0);
    const SNetAdapter* adapter = nullptr;
    for (const SNetAdapter& candidate : adapters) {
        if (candidate.index == ifIndex) {
            adapter = &candidate;
            break;
        }
    }
    if (!adapter)
        return SRoute::Via(0);

    bool outside = false;
    quint32 local = 0;
    for (const SNetAddress& entry : adapter->addresses) {
        if (MaskOrder(mask) > MaskOrder(entry.mask)) {
            // The device's subnet is narrower than this entry's.
            if ((device & mask) == (entry.address & mask)) {
                local = entry.address;
                outside = false;
            } else {
                outside = true;
            }
        } else {
            local = entry.address;
        }
    }
    if (!outside)
        return SRoute::Via(0);
    if (local != 0)
        return SRoute::Via(local);
    if (RefusesTemporaryAddress(device, mask))
        return SRoute::Unreachable();
    const QByteArray hardware(reinterpret_cast<const char*>(m_adapter.hardwareAddress),
                              sizeof m_adapter.hardwareAddress);
    const quint32 added = AddTempAddress(ifIndex, hardware, device, mask);
    return added ? SRoute::Via(added) : SRoute::Unreachable();
}

quint32 CRoutePreparer::AddTempAddress(quint32 ifIndex, const QByteArray& hardware, quint32 device,
                                       quint32 mask)
{
    for (int octet = kFirstCandidate; octet <= kLastCandidate && !m_stopped; ++octet) {
        const quint32 candidate = WithLastOctet(device, octet);
        if (TryCandidate(ifIndex, hardware, candidate, mask, device) != Candidate::Ours)
            continue;
        m_net.FlushNeighbours(ifIndex);
        QByteArray answer;
        if (!m_net.ArpRequest(ifIndex, device, candidate, answer)) {
            // The address stays; the device just does not answer from it.
            Log(u"ARP %1 from %2 failed: %3"_qs.arg(AddressToText(device),
                                                   AddressToText(candidate), m_net.LastError()));
            return 0;
        }
        return candidate;
    }
    return 0;
}

quint32 CRoutePreparer::ScanAdapters(quint32 device, quint32 mask)
{
    QList<SNetAdapter> adapters;
    if (!m_net.ReadAdapters(adapters)) {
        Log(u"ScanAdapters: %1"_qs.arg(m_net.LastError()));
        return 0;
    }
    for (const SNetAdapter& adapter : ScanOrder(adapters, m_preferredIfIndex)) {
        QByteArray hardware = adapter.hardwareAddress.left(8);
        hardware.append(8 - hardware.size(), '\0');
        for (int octet = kFirstCandidate; octet <= kLastCandidate && !m_stopped; ++octet) {
            const quint32 candidate = WithLastOctet(device, octet);
            if (TryCandidate(adapter.index, hardware, candidate, mask, device) != Candidate::Ours)
                continue;
            if (ArpProbe(device, candidate, adapter.index))
                return candidate;
            break; // one candidate per adapter: the device is not on this one
        }
        if (m_stopped)
            break;
    }
    return 0;
}

bool CRoutePreparer::ArpProbe(quint32 device, quint32 source, quint32 ifIndex)
{
    m_net.FlushNeighbours(ifIndex);
    QByteArray answer;
    if (m_net.ArpRequest(ifIndex, device, source, answer))
        return true;
    Log(u"ARP %1 from %2 failed: %3"_qs.arg(AddressToText(device),
                                           source ? AddressToText(source) : u"any"_qs,
                                           m_net.LastError()));
    return false;
}

void CRoutePreparer::DeleteTempAddress()
{
    // Once stopped, the helper takes nothing more from this preparation: the address is left
    // to the release that follows the stop, which still knows it.
    if (G_dwNTEContext == 0 || m_stopped)
        return;
    if (!m_net.DeleteAddress(G_dwNTEContext)) {
        Log(u"DeleteIPAddress failed: %1"_qs.arg(m_net.LastError()));
        if (!Wait(0))
            return;
    }
    G_dwNTEContext = 0;
    Wait(kDeleteSettleMs);
}

CRoutePreparer::Candidate CRoutePreparer::TryCandidate(quint32 ifIndex,
                                                       const QByteArray& hardware,
                                                       quint32 candidate, quint32 mask,
                                                       quint32 device)
{
    DeleteTempAddress();
    if (m_stopped)
        return Candidate::Failed;
    // Asked before the address is ours: added first, it would already have announced itself
    // and disturbed the host that holds it.
    QByteArray owner;
    if (!m_net.CandidateOwner(ifIndex, candidate, owner)) {
        Log(u"ARP %1 failed: %2"_qs.arg(AddressToText(candidate), m_net.LastError()));
        return Candidate::Failed;
    }
    if (FirstSix(owner, '\xFF') != FirstSix(hardware, '\0')) {
        Log(u"%1 is used by %2"_qs.arg(AddressToText(candidate),
                                       QString::fromLatin1(owner.toHex(':'))));
        return Candidate::Taken;
    }
    quint32 context = 0;
    if (!m_net.AddAddress(candidate, mask, ifIndex, device, context)) {
        Log(u"AddIPAddress %1 failed: %2"_qs.arg(AddressToText(candidate), m_net.LastError()));
        return Candidate::Failed;
    }
    G_dwNTEContext = context;
    if (!WaitUntilReady(ifIndex, candidate))
        return Candidate::Failed;
    return Candidate::Ours;
}

QString TemporaryAddressRefusal(quint32 device, quint32 mask)
{
    const int prefix = netconfig::PrefixLength(mask);
    if (prefix < 0)
        return u"the mask %1 is not contiguous"_qs.arg(AddressToText(mask));
    std::string why;
    if (netconfig::IsPrivateSubnet(device, prefix, why))
        return QString();
    return QString::fromStdString(why);
}

bool CRoutePreparer::RefusesTemporaryAddress(quint32 device, quint32 mask)
{
    const QString why = TemporaryAddressRefusal(device, mask);
    if (why.isEmpty())
        return false;
    Log(u"No temporary address for %1 / %2: %3"_qs.arg(AddressToText(device), AddressToText(mask),
                                                       why));
    return true;
}

// Windows needs seconds before a new address can be used, hence the fixed settle time there.
// Linux has no duplicate detection for IPv4 (the probe above did that): the address serves as
// soon as the kernel lists it, so the wait ends then. The bound stays for a kernel that never
// does.
bool CRoutePreparer::WaitUntilReady(quint32 ifIndex, quint32 address)
{
    for (unsigned waited = 0; !m_net.AddressReady(ifIndex, address); waited += kReadyPollMs) {
        if (waited >= kAddSettleMs) {
            Log(u"%1 not ready after %2 ms: %3"_qs.arg(AddressToText(address))
                    .arg(kAddSettleMs)
                    .arg(m_net.LastError()));
            break;
        }
        if (!Wait(qMin(kReadyPollMs, kAddSettleMs - waited)))
            return false;
    }
    return !m_stopped;
}

QList<SNetAdapter> ScanOrder(const QList<SNetAdapter>& adapters, quint32 preferredIfIndex)
{
    QList<SNetAdapter> order;
    for (const SNetAdapter& adapter : adapters) {
        if (adapter.type != kAdapterTypeEthernet && adapter.type != kAdapterTypeWireless)
            continue;
        if (!adapter.connected || adapter.addresses.isEmpty() ||
            adapter.addresses.first().address == 0)
            continue;
        if (preferredIfIndex != 0 && adapter.index == preferredIfIndex)
            order.prepend(adapter);
        else
            order.append(adapter);
    }
    return order;
}

bool CRoutePreparer::Wait(unsigned ms)
{
    if (m_stopped || !m_net.Wait(ms))
        m_stopped = true;
    return !m_stopped;
}

void CRoutePreparer::Log(const QString& line)
{
    if (m_log)
        m_log(ToAnsi(line));
}
