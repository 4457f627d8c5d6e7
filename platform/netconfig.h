#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// The host's network configuration as route preparation needs it: route lookup, the adapter
// list, temporary addresses, ARP and the ARP cache. Addresses and masks are IPv4 in network
// byte order. Implemented for Linux (netlink, and a privileged helper for what needs
// privileges) and by a scripted fake in the tests.

inline constexpr int kAdapterTypeOther = 1;
inline constexpr int kAdapterTypeEthernet = 6;
inline constexpr int kAdapterTypePpp = 23;
inline constexpr int kAdapterTypeLoopback = 24;
inline constexpr int kAdapterTypeWireless = 71;
inline constexpr int kAdapterTypeTunnel = 131;

struct SNetAddress {
    quint32 address = 0;
    quint32 mask = 0;
};

struct SNetAdapter {
    quint32 index = 0;
    QString name;
    QByteArray hardwareAddress;
    int type = kAdapterTypeOther;
    // Up with carrier. Windows lists an adapter without it with the address 0.0.0.0; here it
    // keeps its addresses, so this says what they are worth.
    bool connected = true;
    // Never empty: an adapter without an IPv4 address lists 0.0.0.0/0.0.0.0.
    QList<SNetAddress> addresses;
};

class INetConfig {
public:
    virtual ~INetConfig() = default;

    // The route to the destination: its mask (0 when only a default route leads there) and
    // the interface it leaves by.
    [[nodiscard]] virtual bool LookupRoute(quint32 destination, quint32& mask,
                                           quint32& ifIndex) = 0;
    [[nodiscard]] virtual bool ReadAdapters(QList<SNetAdapter>& adapters) = 0;
    // The address serves the one device: the PC gains a route to the device through it, not
    // one to the whole subnet.
    [[nodiscard]] virtual bool AddAddress(quint32 address, quint32 mask, quint32 ifIndex,
                                          quint32 device, quint32& context) = 0;
    virtual bool DeleteAddress(quint32 context) = 0;
    // The kernel lists the address on the adapter and it is no longer tentative: ready to send
    // from. A read that needs no privilege.
    [[nodiscard]] virtual bool AddressReady(quint32 ifIndex, quint32 address) = 0;
    // ARP request for the target from the source (0: any); the answering hardware address.
    [[nodiscard]] virtual bool ArpRequest(quint32 ifIndex, quint32 target, quint32 source,
                                          QByteArray& hardwareAddress) = 0;
    // Who answers for one of our own, freshly added addresses: our adapter's hardware address
    // when nobody else does, another host's when it uses the address too.
    [[nodiscard]] virtual bool CandidateOwner(quint32 ifIndex, quint32 candidate,
                                              QByteArray& hardwareAddress) = 0;
    virtual bool FlushNeighbours(quint32 ifIndex) = 0;

    // Blocks for ms; false, early, once Interrupt(true) is in force.
    virtual bool Wait(unsigned ms) = 0;
    virtual void Interrupt(bool interrupted) = 0;

    // Why the last failed operation of the calling thread failed.
    virtual QString LastError() const = 0;
    // Anything at start that limits what can be done (no helper, no privilege); empty if none.
    virtual QString StartupProblem() const = 0;
};

// The Linux implementation. It starts the privileged helper found next to the program (or in
// the build tree); helperPath overrides where it is looked for, an empty text means none.
std::shared_ptr<INetConfig> CreateSystemNetConfig();
std::shared_ptr<INetConfig> CreateSystemNetConfig(const QString& helperPath);

// Tests shorten the lifetime of added addresses (seconds; the helper bounds it).
void SetAddressLifetimeForTest(unsigned seconds);

QString AddressToText(quint32 address);
// Strict dotted quad; false for anything else.
[[nodiscard]] bool TextToAddress(QStringView text, quint32& address);
