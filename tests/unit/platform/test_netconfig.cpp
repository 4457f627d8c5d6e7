#include "platform/netconfig.h"
#include "platform/netconfig_arp.h"
#include "platform/netconfig_client.h"
#include "platform/netconfig_netlink.h"
#include "platform/netconfig_protocol.h"
#include "tools/netconfig-helper/helperservice.h"

#include <QProcess>
#include <QTest>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <net/if.h>
#include <linux/neighbour.h>
#include <memory>

// The netlink and ARP tests build their own veth pair inside the private network namespace
// each test runs in; nothing reaches the machine's network.
namespace {

std::uint32_t Ip(const char* text)
{
    in_addr address{};
    inet_pton(AF_INET, text, &address);
    return address.s_addr;
}

bool Run(const QString& command)
{
    QProcess process;
    process.start(u"sh"_qs, {u"-c"_qs, command});
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QString RunOutput(const QString& command)
{
    QProcess process;
    process.start(u"sh"_qs, {u"-c"_qs, command});
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

netconfig::MacAddress Mac(const char* hex)
{
    netconfig::MacAddress mac{};
    const QByteArray bytes = QByteArray::fromHex(hex);
    std::copy(bytes.begin(), bytes.begin() + 6, mac.begin());
    return mac;
}

bool HasAddress(std::uint32_t ifIndex, std::uint32_t address, std::uint32_t* lifetime = nullptr)
{
    std::vector<netconfig::AddressInfo> addresses;
    if (netconfig::ListAddresses(addresses) < 0)
        return false;
    for (const auto& info : addresses) {
        if (info.index == ifIndex && info.address == address) {
            if (lifetime)
                *lifetime = info.validLifetime;
            return true;
        }
    }
    return false;
}

} // namespace

class TestNetConfig : public QObject {
    Q_OBJECT
private slots:
    void arpEncodesEthernetIPv4();
    void arpDecodeRefusesForeignPackets_data();
    void arpDecodeRefusesForeignPackets();
    void conflictAndAnswerRules_data();
    void conflictAndAnswerRules();
    void helperPolicy_data();
    void helperPolicy();
    void deviceRoutePolicy_data();
    void deviceRoutePolicy();
    void networkRequestsAreLimitedInRate();
    void prefixAndMask();
    void textToAddressIsStrict();
    void unprivilegedHelperRefusesEverything();

    void init();
    void cleanup();
    void routeLookupGivesTheMatchedPrefix();
    void adapterListTypesAndAddresses();
    void addressesAreExclusiveAndFinite();
    void flushKeepsPermanentEntries();
    void arpResolvesAndProbes();
    void helperServiceRenewsOnlyWhatIsStillThere();
    void temporaryAddressRoutesOnlyTheDevice();
    void helperNeverTouchesAnAddressItDidNotAdd();
    void helperLeavesWhatIsNotItsOwn_data();
    void helperLeavesWhatIsNotItsOwn();
    void helperOverItsSocket();
    void withoutHelperAddingFailsAndArpUsesTheKernel();

private:
    bool m_haveLinks = false;
    std::unique_ptr<QProcess> m_far; // holds the far side's namespace
    std::uint32_t m_a = 0;           // kva: 10.77.0.1/24, the PC side
    QByteArray m_farMac;             // kvb: 10.77.0.2/24, in the far namespace
};

void TestNetConfig::arpEncodesEthernetIPv4()
{
    netconfig::ArpPacket packet;
    packet.operation = netconfig::kArpRequest;
    packet.senderHardware = Mac("020000000001");
    packet.senderAddress = Ip("10.0.0.1");
    packet.targetAddress = Ip("10.0.0.2");
    const auto bytes = netconfig::EncodeArp(packet);
    const QByteArray raw(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    QCOMPARE(raw.toHex(), QByteArray("0001080006040001"
                                     "020000000001"
                                     "0a000001"
                                     "000000000000"
                                     "0a000002"));
    // Ethernet pads short frames: a padded packet decodes the same.
    QByteArray padded = raw + QByteArray(18, '\0');
    const auto decoded = netconfig::DecodeArp(reinterpret_cast<const std::uint8_t*>(padded.data()),
                                              size_t(padded.size()));
    QVERIFY(decoded);
    QCOMPARE(decoded->operation, netconfig::kArpRequest);
    QVERIFY(decoded->senderHardware == packet.senderHardware);
    QCOMPARE(decoded->senderAddress, packet.senderAddress);
    QCOMPARE(decoded->targetAddress, packet.targetAddress);
}

void TestNetConfig::arpDecodeRefusesForeignPackets_data()
{
    QTest::addColumn<QByteArray>("hex");
    const QByteArray good = "00010800060400020200000000010a0000010000000000000a000002";
    QTest::newRow("short") << good.left(54);
    QTest::newRow("not Ethernet") << QByteArray("0006") + good.mid(4);
    QTest::newRow("not IPv4") << good.left(4) + "86dd" + good.mid(8);
    QTest::newRow("hardware length") << good.left(8) + "08" + good.mid(10);
    QTest::newRow("unknown operation") << good.left(12) + "0003" + good.mid(16);
}

void TestNetConfig::arpDecodeRefusesForeignPackets()
{
    QFETCH(QByteArray, hex);
    const QByteArray bytes = QByteArray::fromHex(hex);
    QVERIFY(!netconfig::DecodeArp(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                  size_t(bytes.size())));
}

void TestNetConfig::conflictAndAnswerRules_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("senderMac");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("conflict");
    QTest::addColumn<bool>("answersDevice");
    // Candidate 10.0.0.241, ours 020000000001, device 10.0.0.10.
    QTest::newRow("another host answers for the candidate")
        << 2 << u"02000000ffff"_qs << u"10.0.0.241"_qs << u"0.0.0.0"_qs << true << false;
    QTest::newRow("another host announces the candidate")
        << 1 << u"02000000ffff"_qs << u"10.0.0.241"_qs << u"10.0.0.241"_qs << true << false;
    QTest::newRow("another host probes the candidate at the same time")
        << 1 << u"02000000ffff"_qs << u"0.0.0.0"_qs << u"10.0.0.241"_qs << true << false;
    QTest::newRow("our own packet")
        << 2 << u"020000000001"_qs << u"10.0.0.241"_qs << u"10.0.0.10"_qs << false << false;
    QTest::newRow("the device answers")
        << 2 << u"02000000dddd"_qs << u"10.0.0.10"_qs << u"10.0.0.241"_qs << false << true;
    QTest::newRow("the device asks, it does not answer")
        << 1 << u"02000000dddd"_qs << u"10.0.0.10"_qs << u"10.0.0.241"_qs << false << false;
}

void TestNetConfig::conflictAndAnswerRules()
{
    QFETCH(int, operation);
    QFETCH(QString, senderMac);
    QFETCH(QString, sender);
    QFETCH(QString, target);
    QFETCH(bool, conflict);
    QFETCH(bool, answersDevice);
    netconfig::ArpPacket packet;
    packet.operation = std::uint16_t(operation);
    packet.senderHardware = Mac(senderMac.toLatin1().constData());
    packet.senderAddress = Ip(sender.toLatin1().constData());
    packet.targetAddress = Ip(target.toLatin1().constData());
    QCOMPARE(netconfig::ShowsConflict(packet, Ip("10.0.0.241"), Mac("020000000001")), conflict);
    QCOMPARE(netconfig::AnswersRequest(packet, Ip("10.0.0.10")), answersDevice);
}

void TestNetConfig::helperPolicy_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("prefix");
    QTest::addColumn<bool>("allowed");
    QTest::newRow(".241/24") << u"192.168.77.241"_qs << 24 << true;
    QTest::newRow(".247/24") << u"192.168.77.247"_qs << 24 << true;
    QTest::newRow(".240") << u"192.168.77.240"_qs << 24 << false;
    QTest::newRow(".248") << u"192.168.77.248"_qs << 24 << false;
    QTest::newRow("/8") << u"10.1.2.241"_qs << 8 << true;
    QTest::newRow("/7 is too wide") << u"10.1.2.241"_qs << 7 << false;
    QTest::newRow("/31") << u"192.168.77.241"_qs << 31 << false;
    QTest::newRow("/32") << u"192.168.77.241"_qs << 32 << false;
    QTest::newRow("loopback") << u"127.0.0.241"_qs << 24 << false;
    QTest::newRow("multicast") << u"224.0.0.241"_qs << 24 << false;
    QTest::newRow("this network") << u"0.0.0.241"_qs << 24 << false;
    QTest::newRow("/28 host") << u"192.168.77.241"_qs << 28 << true;
    QTest::newRow("/29 broadcast") << u"192.168.77.247"_qs << 29 << false;
    QTest::newRow("/28 network") << u"192.168.77.240"_qs << 28 << false;
    // Only inside a private network: a discovery reply can name any subnet.
    QTest::newRow("public") << u"8.8.8.241"_qs << 24 << false;
    QTest::newRow("public /8") << u"8.8.8.241"_qs << 8 << false;
    QTest::newRow("/8 outside 10/8") << u"172.20.0.241"_qs << 8 << false;
    QTest::newRow("172.16/12") << u"172.20.0.241"_qs << 12 << true;
    QTest::newRow("172.32 is public") << u"172.32.0.241"_qs << 24 << false;
    QTest::newRow("192.168/15") << u"192.168.77.241"_qs << 15 << false;
    QTest::newRow("192.168/16") << u"192.168.77.241"_qs << 16 << true;
    QTest::newRow("link-local") << u"169.254.3.241"_qs << 16 << true;
    QTest::newRow("link-local /15") << u"169.254.3.241"_qs << 15 << false;
}

void TestNetConfig::helperPolicy()
{
    QFETCH(QString, address);
    QFETCH(int, prefix);
    QFETCH(bool, allowed);
    std::string why;
    QCOMPARE(netconfig::IsAllowedTemporaryAddress(Ip(address.toLatin1().constData()),
                                                  std::uint32_t(prefix), why),
             allowed);
    QCOMPARE(why.empty(), allowed);
}

void TestNetConfig::deviceRoutePolicy_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("prefix");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("host of the subnet")
        << u"192.168.77.10"_qs << u"192.168.77.241"_qs << 24 << true;
    QTest::newRow("wide mask, far host") << u"10.200.3.4"_qs << u"10.1.2.241"_qs << 8 << true;
    QTest::newRow("outside the subnet")
        << u"192.168.78.10"_qs << u"192.168.77.241"_qs << 24 << false;
    QTest::newRow("a VPN's host beside a /24")
        << u"10.0.0.5"_qs << u"192.168.77.241"_qs << 24 << false;
    QTest::newRow("the address itself")
        << u"192.168.77.241"_qs << u"192.168.77.241"_qs << 24 << false;
    QTest::newRow("network") << u"192.168.77.0"_qs << u"192.168.77.241"_qs << 24 << false;
    QTest::newRow("broadcast") << u"192.168.77.255"_qs << u"192.168.77.241"_qs << 24 << false;
    QTest::newRow("none given") << u"0.0.0.0"_qs << u"192.168.77.241"_qs << 24 << false;
}

void TestNetConfig::deviceRoutePolicy()
{
    QFETCH(QString, device);
    QFETCH(QString, address);
    QFETCH(int, prefix);
    QFETCH(bool, allowed);
    std::string why;
    QCOMPARE(netconfig::IsAllowedDevice(Ip(device.toLatin1().constData()),
                                        Ip(address.toLatin1().constData()), std::uint32_t(prefix),
                                        why),
             allowed);
    QCOMPARE(why.empty(), allowed);
}

void TestNetConfig::networkRequestsAreLimitedInRate()
{
    // The loopback is refused for what it is; the limit answers before that, with EBUSY.
    CHelperService service(true);
    netconfig::HelperRequest flush;
    flush.op = std::uint32_t(netconfig::HelperOp::FlushNeighbours);
    flush.ifIndex = if_nametoindex("lo");
    netconfig::HelperRequest probe = flush;
    probe.op = std::uint32_t(netconfig::HelperOp::ProbeAddress);
    probe.address = Ip("192.168.77.241");
    const auto start = CHelperService::Clock::now();
    int served = 0;
    for (int i = 0; i < 100 && service.Handle(i % 2 ? flush : probe, start).error != EBUSY; ++i)
        ++served;
    QCOMPARE(served, 40);
    // A connect's worth comes back within seconds; the rest of the requests are not limited.
    netconfig::HelperRequest remove;
    remove.op = std::uint32_t(netconfig::HelperOp::DeleteAddress);
    QCOMPARE(service.Handle(remove, start).error, EINVAL);
    const auto later = start + std::chrono::seconds(1);
    served = 0;
    for (int i = 0; i < 100 && service.Handle(flush, later).error != EBUSY; ++i)
        ++served;
    QCOMPARE(served, 10);
    QCOMPARE(service.Handle(flush, start + std::chrono::seconds(60)).error, EINVAL);
}

void TestNetConfig::prefixAndMask()
{
    QCOMPARE(netconfig::PrefixLength(Ip("255.255.255.0")), 24);
    QCOMPARE(netconfig::PrefixLength(Ip("255.255.255.255")), 32);
    QCOMPARE(netconfig::PrefixLength(Ip("0.0.0.0")), 0);
    QCOMPARE(netconfig::PrefixLength(Ip("255.0.255.0")), -1);
    QCOMPARE(netconfig::MaskFromPrefix(20), Ip("255.255.240.0"));
    QCOMPARE(netconfig::MaskFromPrefix(0), 0u);
    QCOMPARE(netconfig::MaskFromPrefix(32), Ip("255.255.255.255"));
}

void TestNetConfig::textToAddressIsStrict()
{
    quint32 address = 0;
    QVERIFY(TextToAddress(u"192.168.77.10"_qs, address));
    QCOMPARE(address, Ip("192.168.77.10"));
    QCOMPARE(AddressToText(address), u"192.168.77.10"_qs);
    for (const QString& bad : {u""_qs, u"192.168.77"_qs, u" 192.168.77.10"_qs,
                               u"192.168.77.10x"_qs, u"ERROR"_qs, u"1.2.3.4\u0000"_qs})
        QVERIFY2(!TextToAddress(bad, address), qPrintable(bad));
}

void TestNetConfig::unprivilegedHelperRefusesEverything()
{
    CHelperService service(false);
    netconfig::HelperRequest hello;
    hello.op = std::uint32_t(netconfig::HelperOp::Hello);
    const auto reply = service.Handle(hello);
    QCOMPARE(reply.error, EPERM);
    QCOMPARE(reply.context, netconfig::kHelperProtocolVersion);
    QVERIFY(std::string(reply.message).find("CAP_NET_ADMIN") != std::string::npos);
    netconfig::HelperRequest add;
    add.op = std::uint32_t(netconfig::HelperOp::AddAddress);
    add.address = Ip("192.168.77.241");
    add.prefixLength = 24;
    QCOMPARE(service.Handle(add).error, EPERM);
    netconfig::HelperRequest old = hello;
    old.version = 99;
    QCOMPARE(CHelperService(true).Handle(old).error, EPROTO);
}

void TestNetConfig::init()
{
    const QByteArray name = QTest::currentTestFunction();
    static const QList<QByteArray> needLinks = {"routeLookupGivesTheMatchedPrefix",
                                                "adapterListTypesAndAddresses",
                                                "addressesAreExclusiveAndFinite",
                                                "flushKeepsPermanentEntries",
                                                "arpResolvesAndProbes",
                                                "helperServiceRenewsOnlyWhatIsStillThere",
                                                "temporaryAddressRoutesOnlyTheDevice",
                                                "helperNeverTouchesAnAddressItDidNotAdd",
                                                "helperLeavesWhatIsNotItsOwn",
                                                "helperOverItsSocket",
                                                "withoutHelperAddingFailsAndArpUsesTheKernel"};
    if (!needLinks.contains(name))
        return;
    // The far side gets a namespace of its own (a child of this test's private one): within
    // one namespace the kernel does not answer ARP from one of its own addresses.
    m_far = std::make_unique<QProcess>();
    m_far->start(u"unshare"_qs, {u"--net"_qs, u"--"_qs, u"sleep"_qs, u"600"_qs});
    m_haveLinks = m_far->waitForStarted(5000);
    QTest::qWait(100);
    const QString far = QString::number(m_far->processId());
    m_haveLinks = m_haveLinks &&
                  Run(u"ip link add name kva type veth peer name kvb && "
                      "ip link add name kvc type veth peer name kvd && "
                      "ip addr add 10.77.0.1/24 dev kva && ip link set kva up && "
                      "ip link set kvc up && ip link set kvb netns %1 && "
                      "nsenter -t %1 -n sh -c 'ip link set lo up && "
                      "ip addr add 10.77.0.2/24 dev kvb && ip link set kvb up'"_qs.arg(far));
    if (!m_haveLinks)
        QSKIP("cannot make veth pairs and a namespace here");
    m_a = if_nametoindex("kva");
    const QString link = RunOutput(u"nsenter -t %1 -n ip -br link show kvb"_qs.arg(far));
    m_farMac = QByteArray::fromHex(link.section(u' ', 2, 2, QString::SectionSkipEmpty)
                                       .remove(u':').toLatin1());
}

void TestNetConfig::cleanup()
{
    Run(u"ip link del kva 2>/dev/null; ip link del kvc 2>/dev/null; "
        "ip link del ktun 2>/dev/null; true"_qs);
    if (m_far) {
        m_far->kill();
        m_far->waitForFinished(5000);
        m_far.reset();
    }
    m_haveLinks = false;
}

void TestNetConfig::routeLookupGivesTheMatchedPrefix()
{
    std::uint8_t prefix = 99;
    std::uint32_t index = 0;
    QCOMPARE(netconfig::LookupRoute(Ip("10.77.0.9"), prefix, index), 0);
    QCOMPARE(prefix, 24);
    QCOMPARE(index, m_a);
    QVERIFY(netconfig::LookupRoute(Ip("192.168.77.10"), prefix, index) < 0);
    QVERIFY(Run(u"ip route add default via 10.77.0.254 dev kva"_qs));
    QCOMPARE(netconfig::LookupRoute(Ip("192.168.77.10"), prefix, index), 0);
    QCOMPARE(prefix, 0);
    QCOMPARE(index, m_a);
}

void TestNetConfig::adapterListTypesAndAddresses()
{
    QVERIFY(Run(u"ip addr add 10.79.0.1/16 dev kva"_qs));
    // kvd is down (its peer is up): its address stays. The loopback reports no state at all.
    QVERIFY(Run(u"ip addr add 10.80.0.1/24 dev kvd"_qs));
    // Ethernet-framed, a tunnel all the same.
    const bool tunnel = Run(u"ip tuntap add ktun mode tap"_qs);
    const auto net = CreateSystemNetConfig(QString());
    QList<SNetAdapter> adapters;
    QVERIFY(net->ReadAdapters(adapters));
    QHash<QString, SNetAdapter> byName;
    for (const SNetAdapter& adapter : adapters)
        byName.insert(adapter.name, adapter);
    QCOMPARE(byName.value(u"lo"_qs).type, kAdapterTypeLoopback);
    const SNetAdapter kva = byName.value(u"kva"_qs);
    QCOMPARE(kva.type, kAdapterTypeEthernet);
    QCOMPARE(kva.index, m_a);
    QCOMPARE(kva.hardwareAddress.size(), 6);
    QVERIFY(kva.connected);
    QVERIFY(byName.value(u"lo"_qs).connected);
    QVERIFY(!byName.value(u"kvc"_qs).connected);
    const SNetAdapter down = byName.value(u"kvd"_qs);
    QVERIFY(!down.connected);
    QCOMPARE(AddressToText(down.addresses.first().address), u"10.80.0.1"_qs);
    QCOMPARE(kva.addresses.size(), 2);
    QCOMPARE(AddressToText(kva.addresses.at(0).address), u"10.77.0.1"_qs);
    QCOMPARE(AddressToText(kva.addresses.at(0).mask), u"255.255.255.0"_qs);
    QCOMPARE(AddressToText(kva.addresses.at(1).mask), u"255.255.0.0"_qs);
    const SNetAdapter bare = byName.value(u"kvc"_qs);
    QCOMPARE(bare.type, kAdapterTypeEthernet);
    QCOMPARE(bare.addresses.size(), 1);
    QCOMPARE(bare.addresses.first().address, 0u);
    if (tunnel)
        QCOMPARE(byName.value(u"ktun"_qs).type, kAdapterTypeTunnel);
}

void TestNetConfig::addressesAreExclusiveAndFinite()
{
    const std::uint32_t candidate = Ip("10.77.0.241");
    QCOMPARE(netconfig::AddAddress(m_a, candidate, 24, 60, true), 0);
    std::uint32_t lifetime = 0;
    QVERIFY(HasAddress(m_a, candidate, &lifetime));
    QVERIFY(lifetime > 0 && lifetime <= 60);
    // Somebody's address is never taken over.
    QCOMPARE(netconfig::AddAddress(m_a, candidate, 24, 60, true), -EEXIST);
    QCOMPARE(netconfig::AddAddress(m_a, candidate, 24, 300, false), 0);
    QVERIFY(HasAddress(m_a, candidate, &lifetime));
    QVERIFY(lifetime > 60);
    QVERIFY(RunOutput(u"ip -4 addr show dev kva"_qs).contains(u"brd 10.77.0.255"_qs));
    QCOMPARE(netconfig::DeleteAddress(m_a, candidate, 24), 0);
    QVERIFY(!HasAddress(m_a, candidate));
    QVERIFY(netconfig::DeleteAddress(m_a, candidate, 24) < 0);
}

void TestNetConfig::flushKeepsPermanentEntries()
{
    QVERIFY(Run(u"ip neigh add 10.77.0.50 lladdr 02:00:00:00:00:50 dev kva nud stale && "
                "ip neigh add 10.77.0.51 lladdr 02:00:00:00:00:51 dev kva nud permanent && "
                "ip neigh add 10.77.0.52 lladdr 02:00:00:00:00:52 dev kvc nud stale"_qs));
    QCOMPARE(netconfig::FlushNeighbours(m_a), 0);
    netconfig::NeighbourInfo neighbour;
    QCOMPARE(netconfig::ReadNeighbour(m_a, Ip("10.77.0.50"), neighbour), -ENOENT);
    QCOMPARE(netconfig::ReadNeighbour(m_a, Ip("10.77.0.51"), neighbour), 0);
    QCOMPARE(neighbour.state, std::uint16_t(NUD_PERMANENT));
    QCOMPARE(netconfig::ReadNeighbour(if_nametoindex("kvc"), Ip("10.77.0.52"), neighbour), 0);
}

void TestNetConfig::arpResolvesAndProbes()
{
    const auto farMac = [this](const netconfig::MacAddress& mac) {
        return QByteArray(reinterpret_cast<const char*>(mac.data()), 6) == m_farMac;
    };
    auto result = netconfig::ResolveAddress(m_a, Ip("10.77.0.2"), Ip("10.77.0.1"), 2000);
    QCOMPARE(result.error, 0);
    QVERIFY(result.answered);
    QVERIFY(farMac(result.hardware));
    result = netconfig::ResolveAddress(m_a, Ip("10.77.0.99"), Ip("10.77.0.1"), 600);
    QCOMPARE(result.error, 0);
    QVERIFY(!result.answered);

    // A free candidate gets no answer; one the far side holds does.
    result = netconfig::ProbeAddress(m_a, Ip("10.77.0.241"), 600);
    QCOMPARE(result.error, 0);
    QVERIFY(!result.answered);
    QVERIFY(Run(u"nsenter -t %1 -n ip addr add 10.77.0.242/24 dev kvb"_qs.arg(m_far->processId())));
    result = netconfig::ProbeAddress(m_a, Ip("10.77.0.242"), 1000);
    QVERIFY(result.answered);
    QVERIFY(farMac(result.hardware));
    QVERIFY(netconfig::ResolveAddress(if_nametoindex("lo"), Ip("127.0.0.2"), 0, 100).error < 0);
}

void TestNetConfig::helperServiceRenewsOnlyWhatIsStillThere()
{
    CHelperService service(true);
    netconfig::HelperRequest add;
    add.op = std::uint32_t(netconfig::HelperOp::AddAddress);
    add.ifIndex = m_a;
    add.address = Ip("10.77.0.241");
    add.prefixLength = 24;
    add.device = Ip("10.77.0.2");
    add.value = 30;
    const auto added = service.Handle(add);
    QCOMPARE(added.error, 0);
    add.address = Ip("10.77.0.242");
    add.device = Ip("10.77.0.3");
    QCOMPARE(service.Handle(add).error, 0);
    QCOMPARE(service.AddressCount(), size_t(2));
    const auto now = CHelperService::Clock::now();
    QVERIFY(service.MillisecondsToNextRenewal(now) > 0);
    QVERIFY(service.MillisecondsToNextRenewal(now) <= 10001);

    // Somebody removes .242; renewal must not bring it back, and must extend .241.
    QVERIFY(Run(u"ip addr del 10.77.0.242/24 dev kva && "
                "ip addr change 10.77.0.241/24 dev kva valid_lft 12 preferred_lft 12"_qs));
    service.RenewDue(now + std::chrono::seconds(11));
    QCOMPARE(service.AddressCount(), size_t(1));
    QVERIFY(!HasAddress(m_a, Ip("10.77.0.242")));
    std::uint32_t lifetime = 0;
    QVERIFY(HasAddress(m_a, Ip("10.77.0.241"), &lifetime));
    QVERIFY(lifetime > 12);

    netconfig::HelperRequest remove;
    remove.op = std::uint32_t(netconfig::HelperOp::DeleteAddress);
    remove.context = added.context + 100;
    QCOMPARE(service.Handle(remove).error, EINVAL);
    remove.context = added.context;
    QCOMPARE(service.Handle(remove).error, 0);
    QVERIFY(!HasAddress(m_a, Ip("10.77.0.241")));
    QCOMPARE(service.Handle(remove).error, EINVAL);
}

void TestNetConfig::temporaryAddressRoutesOnlyTheDevice()
{
    const QString before = RunOutput(u"ip -4 route show"_qs);
    CHelperService service(true);
    netconfig::HelperRequest add;
    add.op = std::uint32_t(netconfig::HelperOp::AddAddress);
    add.ifIndex = m_a;
    add.address = Ip("10.20.0.241");
    add.prefixLength = 8; // a device that reports 255.0.0.0
    add.device = Ip("10.20.0.10");
    add.value = 30;
    const auto added = service.Handle(add);
    QCOMPARE(added.error, 0);
    QStringList gained = RunOutput(u"ip -4 route show"_qs).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : before.split(u'\n', Qt::SkipEmptyParts))
        gained.removeAll(line);
    QVERIFY2(gained.size() == 1, qPrintable(gained.join(u" | "_qs)));
    QVERIFY2(gained.first().startsWith(u"10.20.0.10 dev kva "_qs) &&
                 gained.first().contains(u"src 10.20.0.241"_qs),
             qPrintable(gained.first()));
    std::uint8_t prefix = 0;
    std::uint32_t index = 0;
    QCOMPARE(netconfig::LookupRoute(Ip("10.20.0.10"), prefix, index), 0);
    QCOMPARE(prefix, 32);
    QCOMPARE(index, m_a);
    QVERIFY(netconfig::LookupRoute(Ip("10.21.0.1"), prefix, index) < 0);

    // The kernel takes the route along with the address (as when its lifetime runs out); the
    // helper then has nothing left to delete.
    QVERIFY(Run(u"ip addr del 10.20.0.241/8 dev kva"_qs));
    QCOMPARE(RunOutput(u"ip -4 route show"_qs), before);
    netconfig::HelperRequest remove;
    remove.op = std::uint32_t(netconfig::HelperOp::DeleteAddress);
    remove.context = added.context;
    QCOMPARE(service.Handle(remove).error, 0);

    remove.context = service.Handle(add).context;
    QVERIFY(remove.context != 0);
    QCOMPARE(service.Handle(remove).error, 0);
    QCOMPARE(RunOutput(u"ip -4 route show"_qs), before);
    QVERIFY(!HasAddress(m_a, Ip("10.20.0.241")));
}

void TestNetConfig::helperLeavesWhatIsNotItsOwn_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("refusal");
    // The request: 10.77.5.241/24 for the device 10.77.5.10.
    QTest::newRow("host route at metric 100")
        << u"ip route add 10.77.5.10 dev kva metric 100"_qs << u"kva"_qs
        << u"a route to 10.77.5.10 is there already"_qs;
    QTest::newRow("host route in another table")
        << u"ip route add 10.77.5.10 dev kvc table 100"_qs << u"kva"_qs
        << u"a route to 10.77.5.10 is there already"_qs;
    QTest::newRow("subnet routed through another adapter")
        << u"ip route add 10.77.0.0/16 dev kvc metric 50"_qs << u"kva"_qs
        << u"routes 10.77.5.10 elsewhere"_qs;
    QTest::newRow("subnet blocked") << u"ip route add blackhole 10.77.5.0/24"_qs << u"kva"_qs
                                    << u"routes 10.77.5.10 elsewhere"_qs;
    QTest::newRow("same address, other prefix")
        << u"ip addr add 10.77.5.241/16 dev kvc"_qs << u"kva"_qs
        << u"is an address of the PC already (/16)"_qs;
    QTest::newRow("tap") << u"ip tuntap add ktun mode tap && ip link set ktun up"_qs << u"ktun"_qs
                         << u"ktun is a tunnel (tun)"_qs;
    QTest::newRow("vxlan")
        << u"ip link add ktun type vxlan id 42 dev kva dstport 4789 && ip link set ktun up"_qs
        << u"ktun"_qs << u"ktun is a tunnel (vxlan)"_qs;
    QTest::newRow("down") << QString() << u"kvd"_qs << u"kvd is down"_qs;
}

void TestNetConfig::helperLeavesWhatIsNotItsOwn()
{
    QFETCH(QString, setUp);
    QFETCH(QString, link);
    QFETCH(QString, refusal);
    if (!setUp.isEmpty() && !Run(setUp))
        QSKIP("cannot set this up here");
    const QString tables = u"ip -4 -o addr show; ip -4 route show table all"_qs;
    const QString before = RunOutput(tables);
    CHelperService service(true);
    netconfig::HelperRequest add;
    add.op = std::uint32_t(netconfig::HelperOp::AddAddress);
    add.ifIndex = if_nametoindex(link.toLatin1().constData());
    add.address = Ip("10.77.5.241");
    add.prefixLength = 24;
    add.device = Ip("10.77.5.10");
    add.value = 30;
    const auto reply = service.Handle(add);
    QVERIFY(reply.error != 0);
    QVERIFY2(QString::fromLatin1(reply.message).contains(refusal), reply.message);
    QCOMPARE(service.AddressCount(), size_t(0));
    QCOMPARE(RunOutput(tables), before);
}

void TestNetConfig::helperNeverTouchesAnAddressItDidNotAdd()
{
    CHelperService service(true);
    const auto start = CHelperService::Clock::now();
    netconfig::HelperRequest add;
    add.op = std::uint32_t(netconfig::HelperOp::AddAddress);
    add.ifIndex = m_a;
    add.prefixLength = 24;
    add.value = 30;
    add.address = Ip("10.77.0.241");
    add.device = Ip("10.77.0.2");
    QCOMPARE(service.Handle(add, start).error, 0);
    // Somebody replaces ours with their own, permanent address: renewal leaves it alone.
    QVERIFY(Run(u"ip addr del 10.77.0.241/24 dev kva && sleep 0.05 && "
                "ip addr add 10.77.0.241/24 dev kva"_qs));
    service.RenewDue(start + std::chrono::seconds(11));
    QCOMPARE(service.AddressCount(), size_t(0));
    std::uint32_t lifetime = 0;
    QVERIFY(HasAddress(m_a, Ip("10.77.0.241"), &lifetime));
    QCOMPARE(lifetime, 0xFFFFFFFFu);

    // Held up (stopped) past the lifetime: by then the kernel has removed ours, so whatever
    // stands there is not ours to renew or delete, at exit or on request.
    add.address = Ip("10.77.0.242");
    add.device = Ip("10.77.0.3");
    QCOMPARE(service.Handle(add, start).error, 0);
    add.address = Ip("10.77.0.243");
    add.device = Ip("10.77.0.4");
    const auto third = service.Handle(add, start);
    QCOMPARE(third.error, 0);
    const auto late = start + std::chrono::seconds(31);
    netconfig::HelperRequest remove;
    remove.op = std::uint32_t(netconfig::HelperOp::DeleteAddress);
    remove.context = third.context;
    QCOMPARE(service.Handle(remove, late).error, 0);
    QVERIFY(HasAddress(m_a, Ip("10.77.0.243")));
    service.DeleteAll(late);
    QVERIFY(HasAddress(m_a, Ip("10.77.0.242")));
    QCOMPARE(service.AddressCount(), size_t(0));
}

void TestNetConfig::helperOverItsSocket()
{
    // The helper gives up root for nobody; a user namespace of ours maps root alone.
    bool nobodyMapped = false;
    for (const QString& line : RunOutput(u"cat /proc/self/uid_map"_qs).split(u'\n')) {
        const QStringList range = line.simplified().split(u' ');
        if (range.size() == 3)
            nobodyMapped |= range[0].toULongLong() <= 65534 &&
                            65534 < range[0].toULongLong() + range[2].toULongLong();
    }
    if (!nobodyMapped)
        QSKIP("the user nobody does not exist in this user namespace");
    netconfig::HelperClient client;
    std::string why;
    QVERIFY2(client.Start(KELDA_HELPER_PATH, why), why.c_str());
    QVERIFY(client.Usable());

    const auto call = [&client](netconfig::HelperRequest request) {
        netconfig::HelperReply reply;
        std::string failure;
        if (!client.Call(request, reply, 5000, failure))
            reply.error = -1;
        return reply;
    };
    // The refusals are checked over the wire in the e2e suite; here the round trip.
    netconfig::HelperRequest add;
    add.op = std::uint32_t(netconfig::HelperOp::AddAddress);
    add.ifIndex = m_a;
    add.prefixLength = 24;
    add.value = 60;
    add.address = Ip("10.77.0.241");
    add.device = Ip("10.77.0.2");
    QCOMPARE(call(add).error, 0);
    QVERIFY(HasAddress(m_a, Ip("10.77.0.241")));

    netconfig::HelperRequest arp;
    arp.op = std::uint32_t(netconfig::HelperOp::ResolveAddress);
    arp.ifIndex = m_a;
    arp.address = Ip("10.77.0.2");
    arp.source = Ip("10.77.0.241");
    arp.value = 1000;
    const auto reply = call(arp);
    QCOMPARE(reply.error, 0);
    QVERIFY(reply.answered);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(reply.hardware), 6), m_farMac);

    // Our end closes: the helper removes what it added and ends.
    const pid_t pid = client.Pid();
    client.Stop();
    QVERIFY(!HasAddress(m_a, Ip("10.77.0.241")));
    QVERIFY(::kill(pid, 0) != 0);
}

void TestNetConfig::withoutHelperAddingFailsAndArpUsesTheKernel()
{
    const auto net = CreateSystemNetConfig(u"/nonexistent/kelda-netconfig-helper"_qs);
    QVERIFY(net->StartupProblem().contains(u"not found"_qs));
    quint32 context = 0;
    QVERIFY(
        !net->AddAddress(Ip("10.77.0.241"), Ip("255.255.255.0"), m_a, Ip("10.77.0.2"), context));
    QVERIFY(net->LastError().contains(u"not found"_qs));
    QVERIFY(!HasAddress(m_a, Ip("10.77.0.241")));
    QByteArray hardware;
    QVERIFY2(net->ArpRequest(m_a, Ip("10.77.0.2"), 0, hardware), qPrintable(net->LastError()));
    QCOMPARE(hardware.size(), 6);
    QVERIFY(!net->ArpRequest(m_a, Ip("10.77.0.99"), 0, hardware));
}

QTEST_GUILESS_MAIN(TestNetConfig)
#include "test_netconfig.moc"
