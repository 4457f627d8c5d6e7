#include "fakenetconfig.h"
#include "session/routeprep.h"

#include <QTest>
#include <memory>

namespace {

quint32 Ip(const char* text)
{
    return CFakeNetConfig::Ip(text);
}

const quint32 kDevice = Ip("192.168.77.10");
const quint32 kMask24 = Ip("255.255.255.0");
const quint32 kMask16 = Ip("255.255.0.0");
const QByteArray kOurMac = QByteArray::fromHex("02000000000a");

SNetAddress Entry(const char* address, const char* mask)
{
    return {Ip(address), Ip(mask)};
}

// A route straight to the device's subnet once an address of ours is in it, otherwise only
// the default route (on defaultIf).
auto DefaultUntilAdded(CFakeNetConfig& net, quint32 defaultIf)
{
    return [&net, defaultIf](quint32, quint32& mask, quint32& ifIndex) {
        for (const auto& [context, added] : net.live) {
            if ((added.address & kMask24) == (kDevice & kMask24)) {
                mask = kMask24;
                ifIndex = added.ifIndex;
                return true;
            }
        }
        mask = 0;
        ifIndex = defaultIf;
        return true;
    };
}

} // namespace

class TestRoutePrep : public QObject {
    Q_OBJECT
private slots:
    void init();

    void maskOrder_data();
    void maskOrder();
    void pickLocalAddress_data();
    void pickLocalAddress();
    void pickLocalAddressWithoutTheAdapter();

    void sameSubnetAddsNothing();
    void sameSubnetSilentDeviceIsError();
    void narrowerSubnetAddsTheFirstCandidate();
    void candidateOfAnotherHostIsSkipped();
    void refusedCandidateIsSkippedWithoutDelay();
    void noFreeCandidateStopsAt247();
    void silentDeviceKeepsTheAddressAndGivesUp();
    void candidateCheckFailingMovesOn();

    void defaultRouteScansUsableAdaptersInOrder();
    void failedLookupScansToo();
    void scanWithoutAnswerRemovesTheAddress();
    void passesAreLimitedToTwo();
    void unreadableAdapterListIsError();
    void settleWaitEndsWhenTheAddressIsReady_data();
    void settleWaitEndsWhenTheAddressIsReady();
    void scanOrder_data();
    void scanOrder();
    void laptopAsksTheAdapterThatHeardTheDevice_data();
    void laptopAsksTheAdapterThatHeardTheDevice();
    void addressOnlyInsideAPrivateNetwork_data();
    void addressOnlyInsideAPrivateNetwork();

private:
    bool Logged(const char* text) const
    {
        for (const QByteArray& line : m_log) {
            if (line.contains(text))
                return true;
        }
        return false;
    }

    std::unique_ptr<CFakeNetConfig> m_net;
    SAdapterDetails m_adapter;
    QList<QByteArray> m_log;
};

void TestRoutePrep::init()
{
    m_net = std::make_unique<CFakeNetConfig>();
    m_adapter = SAdapterDetails();
    m_log.clear();
    G_dwNTEContext = 0;
}

void TestRoutePrep::maskOrder_data()
{
    QTest::addColumn<QString>("wider");
    QTest::addColumn<QString>("narrower");
    QTest::newRow("/16 < /24") << u"255.255.0.0"_qs << u"255.255.255.0"_qs;
    QTest::newRow("/24 < /25") << u"255.255.255.0"_qs << u"255.255.255.128"_qs;
    QTest::newRow("/0 < /8") << u"0.0.0.0"_qs << u"255.0.0.0"_qs;
    // The raw number decides, first octet least significant.
    QTest::newRow("raw: 255.0.0.0 < 0.0.0.255") << u"255.0.0.0"_qs << u"0.0.0.255"_qs;
}

void TestRoutePrep::maskOrder()
{
    QFETCH(QString, wider);
    QFETCH(QString, narrower);
    quint32 a = 0, b = 0;
    QVERIFY(TextToAddress(wider, a));
    QVERIFY(TextToAddress(narrower, b));
    QVERIFY(MaskOrder(b) > MaskOrder(a));
}

void TestRoutePrep::pickLocalAddress_data()
{
    QTest::addColumn<QList<SNetAddress>>("entries");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("addsAddress");
    const QString m24 = u"255.255.255.0"_qs;
    QTest::newRow("same subnet, same mask")
        << QList{Entry("192.168.77.2", "255.255.255.0")} << m24 << QString() << false;
    QTest::newRow("inside the narrower subnet")
        << QList{Entry("192.168.77.2", "255.255.0.0")} << m24 << QString() << false;
    QTest::newRow("outside the narrower subnet")
        << QList{Entry("192.168.0.2", "255.255.0.0")} << m24 << u"ERROR"_qs << true;
    QTest::newRow("no address at all")
        << QList{Entry("0.0.0.0", "0.0.0.0")} << m24 << u"ERROR"_qs << true;
    QTest::newRow("outside, then an entry as wide as the device's")
        << QList{Entry("192.168.0.2", "255.255.0.0"), Entry("172.16.0.1", "255.255.255.0")}
        << m24 << u"172.16.0.1"_qs << false;
    QTest::newRow("outside, then inside")
        << QList{Entry("192.168.0.2", "255.255.0.0"), Entry("192.168.77.5", "255.255.0.0")}
        << m24 << QString() << false;
    QTest::newRow("inside, then outside")
        << QList{Entry("192.168.77.5", "255.255.0.0"), Entry("192.168.0.2", "255.255.0.0")}
        << m24 << u"192.168.77.5"_qs << false;
    QTest::newRow("device subnet wider than the adapter's")
        << QList{Entry("192.168.77.2", "255.255.255.0")} << u"255.255.0.0"_qs << QString()
        << false;
}

void TestRoutePrep::pickLocalAddress()
{
    QFETCH(QList<SNetAddress>, entries);
    QFETCH(QString, mask);
    QFETCH(QString, expected);
    QFETCH(bool, addsAddress);
    m_net->adapters = {CFakeNetConfig::Adapter(2, "eth0", kAdapterTypeEthernet, entries)};
    // Every candidate refused: what is asked to be added shows in the journal only.
    for (int i = 241; i <= 247; ++i)
        m_net->addRefused.insert((kDevice & kMask24) | quint32(i) << 24);
    quint32 deviceMask = 0;
    QVERIFY(TextToAddress(mask, deviceMask));
    CRoutePreparer preparer(*m_net, m_adapter, nullptr);
    preparer.ReadAdapter(2); // as the route lookup does first: the candidates' owner is us
    QCOMPARE(RouteText(preparer.PickLocalAddress(2, kDevice, deviceMask)), expected);
    QCOMPARE(m_net->Journal().filter(u"add "_qs).size(), addsAddress ? 7 : 0);
}

void TestRoutePrep::pickLocalAddressWithoutTheAdapter()
{
    m_net->adapters = {CFakeNetConfig::Adapter(2, "eth0", kAdapterTypeEthernet,
                                              {Entry("192.168.0.2", "255.255.0.0")})};
    CRoutePreparer preparer(*m_net, m_adapter, nullptr);
    QCOMPARE(preparer.PickLocalAddress(3, kDevice, kMask24), SRoute::Via(0));
    m_net->adaptersFail = true;
    QCOMPARE(preparer.PickLocalAddress(2, kDevice, kMask24), SRoute::Via(0));
    QVERIFY(m_net->Journal().filter(u"add "_qs).isEmpty());
}

void TestRoutePrep::sameSubnetAddsNothing()
{
    auto eth = CFakeNetConfig::Adapter(2, "eth0", kAdapterTypeEthernet,
                                       {Entry("192.168.77.2", "255.255.255.0")});
    m_net->adapters = {eth};
    m_net->route = [](quint32, quint32& mask, quint32& ifIndex) {
        mask = kMask24;
        ifIndex = 2;
        return true;
    };
    m_net->arpAnswers = [](quint32, quint32 target, quint32 source) {
        return target == kDevice && source == 0;
    };
    CRoutePreparer preparer(*m_net, m_adapter, [this](const QByteArray& l) { m_log << l; });
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), QString());
    QCOMPARE(m_net->Journal(), (QStringList{u"route 192.168.77.10"_qs, u"adapters"_qs,
                                           u"adapters"_qs, u"flush if2"_qs,
                                           u"arp 192.168.77.10 from any if2"_qs}));
    QCOMPARE(G_dwNTEContext, 0u);
    QCOMPARE(m_adapter.name, u"eth0"_qs);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(m_adapter.hardwareAddress), 8),
             kOurMac + QByteArray(2, '\0'));
    QVERIFY(m_log.last().startsWith("PrepareRoute strAPIP=192.168.77.10 result="));
    QVERIFY(!Logged("failed"));
}

void TestRoutePrep::sameSubnetSilentDeviceIsError()
{
    m_net->adapters = {CFakeNetConfig::Adapter(2, "eth0", kAdapterTypeEthernet,
                                              {Entry("192.168.77.2", "255.255.255.0")})};
    m_net->route = [](quint32, quint32& mask, quint32& ifIndex) {
        mask = kMask24;
        ifIndex = 2;
        return true;
    };
    CRoutePreparer preparer(*m_net, m_adapter, [this](const QByteArray& l) { m_log << l; });
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), u"ERROR"_qs);
    QVERIFY(Logged("ARP 192.168.77.10 from any failed: no answer"));
}

// The PC 192.168.0.2/16, the device 192.168.77.10/24: the adapter's route is too wide.
class NarrowerSubnet {
public:
    static void Set(CFakeNetConfig& net)
    {
        net.adapters = {CFakeNetConfig::Adapter(2, "eth0", kAdapterTypeEthernet,
                                                {Entry("192.168.0.2", "255.255.0.0")})};
        net.route = [](quint32, quint32& mask, quint32& ifIndex) {
            mask = kMask16;
            ifIndex = 2;
            return true;
        };
        net.arpAnswers = [](quint32, quint32 target, quint32 source) {
            return target == kDevice && source != 0;
        };
    }
};

void TestRoutePrep::narrowerSubnetAddsTheFirstCandidate()
{
    NarrowerSubnet::Set(*m_net);
    CRoutePreparer preparer(*m_net, m_adapter, nullptr);
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), u"192.168.77.241"_qs);
    QCOMPARE(
        m_net->Journal(),
        (QStringList{u"route 192.168.77.10"_qs, u"adapters"_qs, u"adapters"_qs,
                     u"owner 192.168.77.241 if2"_qs, u"add 192.168.77.241/255.255.255.0 if2"_qs,
                     u"ready 192.168.77.241 if2"_qs, u"flush if2"_qs,
                     u"arp 192.168.77.10 from 192.168.77.241 if2"_qs, u"flush if2"_qs,
                     u"arp 192.168.77.10 from 192.168.77.241 if2"_qs}));
    QVERIFY(G_dwNTEContext != 0);
    QCOMPARE(m_net->live.size(), size_t(1));
    QCOMPARE(m_net->lastDevice, kDevice);
}

void TestRoutePrep::candidateOfAnotherHostIsSkipped()
{
    NarrowerSubnet::Set(*m_net);
    m_net->foreignOwners[Ip("192.168.77.241")] = QByteArray::fromHex("02ffffffff01");
    CRoutePreparer preparer(*m_net, m_adapter, [this](const QByteArray& l) { m_log << l; });
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), u"192.168.77.242"_qs);
    const QStringList journal = m_net->Journal();
    const auto at = journal.indexOf(u"owner 192.168.77.241 if2"_qs);
    QVERIFY(at > 0);
    // Found taken before it was added: the other host never sees our claim.
    QCOMPARE(journal.mid(at + 1, 3), (QStringList{u"owner 192.168.77.242 if2"_qs,
                                                  u"add 192.168.77.242/255.255.255.0 if2"_qs,
                                                  u"ready 192.168.77.242 if2"_qs}));
    QVERIFY(journal.filter(u"192.168.77.241/"_qs).isEmpty());
    QCOMPARE(m_net->live.size(), size_t(1));
    QCOMPARE(m_net->live.begin()->second.address, Ip("192.168.77.242"));
    QVERIFY(Logged("192.168.77.241 is used by 02:ff:ff:ff:ff:01"));
}

void TestRoutePrep::refusedCandidateIsSkippedWithoutDelay()
{
    NarrowerSubnet::Set(*m_net);
    m_net->addRefused.insert(Ip("192.168.77.241"));
    CRoutePreparer preparer(*m_net, m_adapter, [this](const QByteArray& l) { m_log << l; });
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), u"192.168.77.242"_qs);
    const QStringList journal = m_net->Journal();
    const auto at = journal.indexOf(u"add 192.168.77.241/255.255.255.0 if2"_qs);
    QCOMPARE(journal.mid(at + 1, 2), (QStringList{u"owner 192.168.77.242 if2"_qs,
                                                  u"add 192.168.77.242/255.255.255.0 if2"_qs}));
    QVERIFY(Logged("AddIPAddress 192.168.77.241 failed: refused"));
}

void TestRoutePrep::noFreeCandidateStopsAt247()
{
    NarrowerSubnet::Set(*m_net);
    for (int i = 241; i <= 248; ++i)
        m_net->foreignOwners[(kDevice & kMask24) | quint32(i) << 24] = "\x02\x01\x01\x01\x01\x01";
    CRoutePreparer preparer(*m_net, m_adapter, nullptr);
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), u"ERROR"_qs);
    const QStringList owners = m_net->Journal().filter(u"owner "_qs);
    QCOMPARE(owners.size(), 7);
    QCOMPARE(owners.last(), u"owner 192.168.77.247 if2"_qs);
    // Every candidate was somebody's: none was ever added.
    QVERIFY(m_net->Journal().filter(u"add "_qs).isEmpty());
    QCOMPARE(G_dwNTEContext, 0u);
    QVERIFY(m_net->live.empty());
    QVERIFY(m_net->Journal().filter(u"arp "_qs).isEmpty());
}

void TestRoutePrep::silentDeviceKeepsTheAddressAndGivesUp()
{
    NarrowerSubnet::Set(*m_net);
    m_net->arpAnswers = nullptr;
    CRoutePreparer preparer(*m_net, m_adapter, nullptr);
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), u"ERROR"_qs);
    QCOMPARE(m_net->Journal().filter(u"add "_qs).size(), 1);
    QCOMPARE(m_net->live.size(), size_t(1));
}

void TestRoutePrep::candidateCheckFailingMovesOn()
{
    NarrowerSubnet::Set(*m_net);
    m_net->ownerFails = true;
    CRoutePreparer preparer(*m_net, m_adapter, nullptr);
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), u"ERROR"_qs);
    QCOMPARE(m_net->Journal().filter(u"owner "_qs).size(), 7);
    QVERIFY(m_net->Journal().filter(u"add "_qs).isEmpty());
}

void TestRoutePrep::defaultRouteScansUsableAdaptersInOrder()
{
    m_net->adapters = {
        CFakeNetConfig::Adapter(1, "lo", kAdapterTypeLoopback, {Entry("127.0.0.1", "255.0.0.0")}),
        CFakeNetConfig::Adapter(2, "tun0", kAdapterTypeTunnel, {Entry("10.8.0.1", "255.255.255.0")}),
        CFakeNetConfig::Adapter(3, "eth0", kAdapterTypeEthernet, {Entry("0.0.0.0", "0.0.0.0")}),
        CFakeNetConfig::Adapter(4, "eth1", kAdapterTypeEthernet,
                                {Entry("10.77.0.1", "255.255.255.0")}, "02000000000b"),
        CFakeNetConfig::Adapter(5, "wlan0", kAdapterTypeWireless,
                                {Entry("10.78.0.1", "255.255.255.0")}, "02000000000c"),
    };
    m_net->route = DefaultUntilAdded(*m_net, 4);
    // The device is on the wireless adapter's wire only.
    m_net->arpAnswers = [](quint32 ifIndex, quint32 target, quint32) {
        return ifIndex == 5 && target == kDevice;
    };
    CRoutePreparer preparer(*m_net, m_adapter, nullptr);
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), QString());
    const QStringList journal = m_net->Journal();
    QCOMPARE(journal.filter(u"add "_qs),
             (QStringList{u"add 192.168.77.241/255.255.255.0 if4"_qs,
                          u"add 192.168.77.241/255.255.255.0 if5"_qs}));
    QCOMPARE(journal.filter(u"arp "_qs),
             (QStringList{u"arp 192.168.77.10 from 192.168.77.241 if4"_qs,
                          u"arp 192.168.77.10 from 192.168.77.241 if5"_qs,
                          u"arp 192.168.77.10 from any if5"_qs}));
    QCOMPARE(journal.filter(u"route "_qs).size(), 2);
    QCOMPARE(m_net->live.size(), size_t(1));
    QCOMPARE(m_net->live.begin()->second.ifIndex, 5u);
    QCOMPARE(m_adapter.name, u"wlan0"_qs);
}

void TestRoutePrep::failedLookupScansToo()
{
    m_net->adapters = {CFakeNetConfig::Adapter(4, "eth1", kAdapterTypeEthernet,
                                              {Entry("10.77.0.1", "255.255.255.0")})};
    auto routeOnceAdded = DefaultUntilAdded(*m_net, 4);
    m_net->route = [this, routeOnceAdded](quint32 d, quint32& mask, quint32& ifIndex) {
        return !m_net->live.empty() && routeOnceAdded(d, mask, ifIndex);
    };
    m_net->arpAnswers = [](quint32, quint32 target, quint32) { return target == kDevice; };
    CRoutePreparer preparer(*m_net, m_adapter, nullptr);
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), QString());
    QCOMPARE(m_net->live.size(), size_t(1));
}

void TestRoutePrep::scanWithoutAnswerRemovesTheAddress()
{
    m_net->adapters = {CFakeNetConfig::Adapter(4, "eth1", kAdapterTypeEthernet,
                                              {Entry("10.77.0.1", "255.255.255.0")})};
    m_net->route = DefaultUntilAdded(*m_net, 4);
    CRoutePreparer preparer(*m_net, m_adapter, nullptr);
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), u"ERROR"_qs);
    // One candidate per adapter, then the address goes again.
    const QStringList journal = m_net->Journal();
    QCOMPARE(journal.filter(u"add "_qs).size(), 1);
    QCOMPARE(journal.mid(journal.size() - 2),
             (QStringList{u"delete 192.168.77.241"_qs, u"wait 500"_qs}));
    QVERIFY(m_net->live.empty());
    QCOMPARE(G_dwNTEContext, 0u);
}

void TestRoutePrep::passesAreLimitedToTwo()
{
    m_net->adapters = {CFakeNetConfig::Adapter(4, "eth1", kAdapterTypeEthernet,
                                              {Entry("10.77.0.1", "255.255.255.0")})};
    // Even with our address in place only the default route leads to the device.
    m_net->route = [](quint32, quint32& mask, quint32& ifIndex) {
        mask = 0;
        ifIndex = 4;
        return true;
    };
    m_net->arpAnswers = [](quint32, quint32 target, quint32) { return target == kDevice; };
    CRoutePreparer preparer(*m_net, m_adapter, nullptr);
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), u"ERROR"_qs);
    const QStringList journal = m_net->Journal();
    QCOMPARE(journal.filter(u"route "_qs).size(), 2);
    QCOMPARE(journal.filter(u"add "_qs).size(), 1);
    QCOMPARE(journal.last(), u"wait 500"_qs);
    QVERIFY(m_net->live.empty());
}

void TestRoutePrep::unreadableAdapterListIsError()
{
    m_net->adaptersFail = true;
    m_net->route = [](quint32, quint32& mask, quint32& ifIndex) {
        mask = 0;
        ifIndex = 4;
        return true;
    };
    CRoutePreparer preparer(*m_net, m_adapter, nullptr);
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), u"ERROR"_qs);
    QVERIFY(m_net->Journal().filter(u"add "_qs).isEmpty());
}

void TestRoutePrep::settleWaitEndsWhenTheAddressIsReady_data()
{
    QTest::addColumn<int>("notReady");
    QTest::addColumn<bool>("interrupted");
    QTest::addColumn<unsigned>("waited");
    QTest::addColumn<QString>("result");
    QTest::newRow("ready at once") << 0 << false << 0u << u"192.168.77.241"_qs;
    QTest::newRow("ready after three looks") << 3 << false << 150u << u"192.168.77.241"_qs;
    // As long as ever, then on as before: the ARP steps decide.
    QTest::newRow("never ready") << -1 << false << 10000u << u"192.168.77.241"_qs;
    QTest::newRow("interrupted") << -1 << true << 0u << u"ERROR"_qs;
}

void TestRoutePrep::settleWaitEndsWhenTheAddressIsReady()
{
    QFETCH(int, notReady);
    QFETCH(bool, interrupted);
    QFETCH(unsigned, waited);
    QFETCH(QString, result);
    NarrowerSubnet::Set(*m_net);
    m_net->notReadyAnswers = notReady;
    m_net->interrupted = interrupted;
    CRoutePreparer preparer(*m_net, m_adapter, [this](const QByteArray& l) { m_log << l; });
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), result);
    QCOMPARE(m_net->waited, waited);
    QCOMPARE(preparer.Stopped(), interrupted);
    QCOMPARE(m_net->Journal().filter(u"add "_qs).size(), 1);
    QCOMPARE(Logged("not ready after 10000 ms: tentative"), notReady < 0 && !interrupted);
}

namespace
{

SNetAdapter Disconnected(SNetAdapter adapter)
{
    adapter.connected = false;
    return adapter;
}

} // namespace

void TestRoutePrep::scanOrder_data()
{
    QTest::addColumn<QList<SNetAdapter>>("adapters");
    QTest::addColumn<quint32>("preferred");
    QTest::addColumn<QStringList>("order");
    const auto eth0 = CFakeNetConfig::Adapter(2, "eth0", kAdapterTypeEthernet,
                                              {Entry("10.77.0.1", "255.255.255.0")});
    const auto wlan0 = CFakeNetConfig::Adapter(3, "wlan0", kAdapterTypeWireless,
                                               {Entry("10.78.0.1", "255.255.255.0")});
    const auto docker0 = CFakeNetConfig::Adapter(4, "docker0", kAdapterTypeEthernet,
                                                 {Entry("172.17.0.1", "255.255.0.0")});
    const auto eth1 = CFakeNetConfig::Adapter(5, "eth1", kAdapterTypeEthernet,
                                              {Entry("10.79.0.1", "255.255.255.0")});
    const auto lo =
        CFakeNetConfig::Adapter(1, "lo", kAdapterTypeLoopback, {Entry("127.0.0.1", "255.0.0.0")});
    const QList<SNetAdapter> all{lo, wlan0, docker0, eth0, eth1};
    QTest::newRow("no preference: list order")
        << all << 0u << QStringList{u"wlan0"_qs, u"docker0"_qs, u"eth0"_qs, u"eth1"_qs};
    QTest::newRow("the adapter that heard the device first, the rest in list order")
        << all << 2u << QStringList{u"eth0"_qs, u"wlan0"_qs, u"docker0"_qs, u"eth1"_qs};
    QTest::newRow("an adapter gone since the scan changes nothing")
        << all << 9u << QStringList{u"wlan0"_qs, u"docker0"_qs, u"eth0"_qs, u"eth1"_qs};
    QTest::newRow("preferred loopback is still no candidate")
        << all << 1u << QStringList{u"wlan0"_qs, u"docker0"_qs, u"eth0"_qs, u"eth1"_qs};
    QTest::newRow("without carrier: skipped, even when preferred")
        << QList<SNetAdapter>{wlan0, Disconnected(docker0), Disconnected(eth0), eth1} << 2u
        << QStringList{u"wlan0"_qs, u"eth1"_qs};
}

void TestRoutePrep::scanOrder()
{
    QFETCH(QList<SNetAdapter>, adapters);
    QFETCH(quint32, preferred);
    QFETCH(QStringList, order);
    QStringList names;
    for (const SNetAdapter& adapter : ScanOrder(adapters, preferred))
        names << adapter.name;
    QCOMPARE(names, order);
}

void TestRoutePrep::laptopAsksTheAdapterThatHeardTheDevice_data()
{
    QTest::addColumn<int>("bridges");
    QTest::newRow("docker0 without carrier") << 0;
    QTest::newRow("ten bridges with carrier") << 10;
}

// Wi-Fi with the default route first, a bridge without carrier, optionally many bridges up,
// and the device on the Ethernet adapter's wire: one address, on the Ethernet adapter only.
void TestRoutePrep::laptopAsksTheAdapterThatHeardTheDevice()
{
    QFETCH(int, bridges);
    m_net->adapters = {
        CFakeNetConfig::Adapter(2, "wlan0", kAdapterTypeWireless,
                                {Entry("10.0.0.5", "255.255.255.0")}, "02000000000b"),
        Disconnected(CFakeNetConfig::Adapter(3, "docker0", kAdapterTypeEthernet,
                                             {Entry("172.17.0.1", "255.255.0.0")})),
    };
    for (int i = 0; i < bridges; ++i) {
        const QByteArray address = "172.18." + QByteArray::number(i) + ".1";
        m_net->adapters.append(
            CFakeNetConfig::Adapter(quint32(10 + i), "br", kAdapterTypeEthernet,
                                    {Entry(address.constData(), "255.255.255.0")}));
    }
    m_net->adapters.append(CFakeNetConfig::Adapter(
        40, "eth0", kAdapterTypeEthernet, {Entry("10.78.0.1", "255.255.255.0")}, "02000000000c"));
    m_net->route = DefaultUntilAdded(*m_net, 2);
    m_net->arpAnswers = [](quint32 ifIndex, quint32 target, quint32) {
        return ifIndex == 40 && target == kDevice;
    };
    CRoutePreparer preparer(*m_net, m_adapter, nullptr);
    preparer.PreferAdapter(40);
    QCOMPARE(RouteText(preparer.PrepareRoute(kDevice, kMask24)), QString());
    QCOMPARE(m_net->Journal().filter(u"add "_qs),
             QStringList{u"add 192.168.77.241/255.255.255.0 if40"_qs});
    QCOMPARE(m_net->Journal().filter(u"owner "_qs).size(), 1);
    QCOMPARE(m_net->Journal().filter(u"ready "_qs).size(), 1);
}

void TestRoutePrep::addressOnlyInsideAPrivateNetwork_data()
{
    QTest::addColumn<SNetAddress>("pc");
    QTest::addColumn<QString>("routeMask"); // of the route to the device; 0.0.0.0: the default
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("why"); // logged; empty: no refusal
    const SNetAddress lan = Entry("10.77.0.1", "255.255.255.0");
    const QString none = u"0.0.0.0"_qs, error = u"ERROR"_qs;
    QTest::newRow("public device behind the default route")
        << lan << none << u"8.8.8.8"_qs << u"255.0.0.0"_qs << error << u"not a private network"_qs;
    QTest::newRow("/8 beyond 172.16.0.0/12") << lan << none << u"172.20.0.10"_qs << u"255.0.0.0"_qs
                                             << error << u"/8 reaches beyond 172.16.0.0/12"_qs;
    QTest::newRow("/15 beyond 192.168.0.0/16")
        << lan << none << u"192.168.77.10"_qs << u"255.254.0.0"_qs << error
        << u"/15 reaches beyond 192.168.0.0/16"_qs;
    QTest::newRow("/31") << lan << none << u"192.168.77.10"_qs << u"255.255.255.254"_qs << error
                         << u"between /8 and /30"_qs;
    QTest::newRow("public, narrower than the PC's public subnet")
        << Entry("8.0.0.2", "255.0.0.0") << u"255.0.0.0"_qs << u"8.8.8.8"_qs << u"255.255.255.0"_qs
        << error << u"not a private network"_qs;
    // Nothing is added for it, so nothing stands in its way.
    QTest::newRow("public, on the PC's own subnet")
        << Entry("8.8.8.2", "255.255.255.0") << u"255.255.255.0"_qs << u"8.8.8.8"_qs
        << u"255.255.255.0"_qs << QString() << QString();
}

void TestRoutePrep::addressOnlyInsideAPrivateNetwork()
{
    QFETCH(SNetAddress, pc);
    QFETCH(QString, routeMask);
    QFETCH(QString, device);
    QFETCH(QString, mask);
    QFETCH(QString, expected);
    QFETCH(QString, why);
    m_net->adapters = {CFakeNetConfig::Adapter(2, "eth0", kAdapterTypeEthernet, {pc})};
    m_net->route = [routeMask](quint32, quint32& found, quint32& ifIndex) {
        ifIndex = 2;
        return TextToAddress(routeMask, found);
    };
    m_net->arpAnswers = [](quint32, quint32, quint32) { return true; };
    CRoutePreparer preparer(*m_net, m_adapter, [this](const QByteArray& l) { m_log << l; });
    QCOMPARE(RouteText(preparer.PrepareRoute(Ip(qPrintable(device)), Ip(qPrintable(mask)))),
             expected);
    const QStringList journal = m_net->Journal();
    QVERIFY2(journal.filter(u"add "_qs).isEmpty() && journal.filter(u"owner "_qs).isEmpty(),
             qPrintable(journal.join(u", "_qs)));
    if (why.isEmpty()) {
        QVERIFY(!Logged("No temporary address"));
    } else {
        QVERIFY(Logged(qPrintable(u"No temporary address for %1 / %2: "_qs.arg(device, mask))));
        QVERIFY(Logged(why.toLatin1().constData()));
    }
}

QTEST_GUILESS_MAIN(TestRoutePrep)
#include "test_routeprep.moc"
