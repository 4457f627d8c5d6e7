#include "discovery/adapters.h"
#include "discovery/discoveryqueue.h"
#include "discovery/udpmanager.h"
#include "platform/tickcount.h"
#include "platform/windowtimers.h"
#include "replyfactory.h"

#include <QNetworkInterface>
#include <QProcess>
#include <QTest>
#include <QUdpSocket>

#include <cerrno>
#include <cstring>
#include <memory>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

// These tests open the real discovery port. They run only inside the private namespace the
// test wrapper makes, where a broadcast cannot leave the machine.
class TestUDPManager : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void adapterSelection_data();
    void adapterSelection();
    void systemAdaptersAreReadForReal();
    void portHeldElsewhereMakesEverySendRetry_data();
    void portHeldElsewhereMakesEverySendRetry();
    void repliesAreListed();
    void unusableDatagramsAreDropped_data();
    void unusableDatagramsAreDropped();
    void repliesFromBeforeAScanAreDiscarded();
    void networkDownClosesOtherErrorsDoNot();
    void outOfBandAndCloseOnlyMark();
    void scanPacesItsSendsInRealTime();
    void destructionStopsTheTimerFirst();
    void arrivalInterfaceNeedsWholePacketInfo();

private:
    // Every send asks for the adapters once, so counting the calls counts the sends.
    std::unique_ptr<CUDPManager> MakeManager(CWindowTimers* timers = nullptr);
    void SendToPort(const QByteArray& datagram);

    QList<std::uint32_t> m_sendTicks;
};

void TestUDPManager::initTestCase()
{
    if (!qEnvironmentVariableIsSet("KELDA_ISOLATED_INSIDE"))
        QSKIP("runs only through tests/tools/isolated");
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        if (interface.type() != QNetworkInterface::Loopback)
            QSKIP("the namespace has an interface besides loopback");
    }
}

void TestUDPManager::init()
{
    G_mUDPQueue.clear();
    G_mAPList.clear();
    m_sendTicks.clear();
}

void TestUDPManager::cleanup()
{
    G_pUDPManager = nullptr;
    SetTickSourceForTest({});
}

std::unique_ptr<CUDPManager> TestUDPManager::MakeManager(CWindowTimers* timers)
{
    return std::make_unique<CUDPManager>(1, nullptr, timers, [this] {
        m_sendTicks.append(GetTickCount());
        return std::vector<int>();
    });
}

void TestUDPManager::SendToPort(const QByteArray& datagram)
{
    QUdpSocket sender;
    QCOMPARE(sender.writeDatagram(datagram, QHostAddress::LocalHost, 13379), datagram.size());
}

void TestUDPManager::adapterSelection_data()
{
    QTest::addColumn<SAdapterInfo>("adapter");
    QTest::addColumn<bool>("selected");
    const SAdapterInfo usable{3, u"eth0"_qs, true, true, true, true};
    QTest::newRow("usable") << usable << true;
    SAdapterInfo adapter = usable;
    adapter.isUp = false;
    QTest::newRow("down") << adapter << false;
    adapter = usable;
    adapter.isRunning = false;
    QTest::newRow("no carrier") << adapter << false;
    adapter = usable;
    adapter.hasIPv4 = false;
    QTest::newRow("no IPv4 address") << adapter << false;
    adapter = usable;
    adapter.isEthernetOrWifi = false;
    QTest::newRow("loopback, tunnel, point-to-point") << adapter << false;
    adapter = usable;
    adapter.index = 0;
    QTest::newRow("no index") << adapter << false;
}

void TestUDPManager::adapterSelection()
{
    QFETCH(SAdapterInfo, adapter);
    QFETCH(bool, selected);
    const SAdapterInfo other{7, u"wlan0"_qs, true, true, true, true};
    const std::vector<int> expected = selected ? std::vector<int>{3, 7} : std::vector<int>{7};
    QCOMPARE(SelectDiscoveryAdapters({adapter, other}), expected);
}

void TestUDPManager::systemAdaptersAreReadForReal()
{
    QCOMPARE(ListDiscoveryAdapters(), std::vector<int>());
    const auto ip = [](const QString& command) {
        return QProcess::execute(u"ip"_qs, command.split(u' ')) == 0;
    };
    if (!ip(u"link add kd0 type veth peer name kd1"_qs))
        QSKIP("cannot add an adapter in this namespace");
    const int index = QNetworkInterface::interfaceIndexFromName(u"kd0"_qs);
    QVERIFY(index > 0);
    QVERIFY(ip(u"addr add 10.199.0.1/24 dev kd0"_qs));
    QVERIFY(ip(u"link set kd0 up"_qs));
    QCOMPARE(ListDiscoveryAdapters(), std::vector<int>()); // up, but its peer is not: no carrier
    QVERIFY(ip(u"link set kd1 up"_qs));
    // The carrier follows the peer asynchronously (the kernel's link watch).
    QTRY_COMPARE(ListDiscoveryAdapters(), std::vector<int>{index}); // kd1 has no IPv4 address
    QVERIFY(ip(u"link set kd0 down"_qs));
    QCOMPARE(ListDiscoveryAdapters(), std::vector<int>());
    QVERIFY(ip(u"link del kd0"_qs));
}

void TestUDPManager::portHeldElsewhereMakesEverySendRetry_data()
{
    QTest::addColumn<bool>("holderShares");
    QTest::newRow("exclusive holder") << false;
    QTest::newRow("holder allows reuse") << true;
}

void TestUDPManager::portHeldElsewhereMakesEverySendRetry()
{
    QFETCH(bool, holderShares);
    auto holder = std::make_unique<QUdpSocket>();
    QVERIFY(holder->bind(QHostAddress::AnyIPv4, 13379,
                         holderShares ? QAbstractSocket::ShareAddress
                                      : QAbstractSocket::DontShareAddress));
    auto manager = MakeManager();
    manager->SendDiscoveryQuery("\xFF\xFF\xFF\xFF\xFF\xFF");
    QVERIFY(!manager->IsOpen());
    QCOMPARE(manager->State(), 1);
    manager->SendDiscoveryQuery("\xFF\xFF\xFF\xFF\xFF\xFF");
    QCOMPARE(manager->State(), 1);
    QCOMPARE(m_sendTicks.size(), 0); // nothing left the machine
    holder.reset();
    manager->SendDiscoveryQuery("\xFF\xFF\xFF\xFF\xFF\xFF");
    QVERIFY(manager->IsOpen());
    QCOMPARE(manager->State(), 0);
    QCOMPARE(m_sendTicks.size(), 1);
}

void TestUDPManager::repliesAreListed()
{
    auto manager = MakeManager();
    manager->SendDiscoveryQuery("\xFF\xFF\xFF\xFF\xFF\xFF");
    QVERIFY(manager->IsOpen());
    SendToPort(MakeReply({}, 423));
    SendToPort(QByteArray(16, '\xFF'));
    ReplyFields foreign;
    foreign.model = "qz-8061Tr";
    SendToPort(MakeReply(foreign));
    SendToPort(MakeReply());
    ReplyFields again;
    again.mac = "00'1A2B3C4D5E";
    SendToPort(MakeReply(again));
    ReplyFields second;
    second.mac = "0a0b0c0d0e0f";
    second.model = "QZ-8061Tr\r\n";
    SendToPort(MakeReply(second, 1024));
    QTRY_COMPARE(G_mAPList.size(), 2);
    QCOMPARE(G_mAPList[0].strMAC, u"00:1A:2B:3C:4D:5E"_qs);
    QCOMPARE(G_mAPList[1].strMAC, u"0A:0B:0C:0D:0E:0F"_qs);
    QCOMPARE(G_mAPList[1].strModel, u"QZ-8061Tr"_qs);
    // Both came in over the loopback: that is the adapter the route worker will ask first.
    QCOMPARE(G_mAPList[0].dwInterfaceIndex, if_nametoindex("lo"));
    QCOMPARE(G_mAPList[1].dwInterfaceIndex, if_nametoindex("lo"));
    QVERIFY(manager->IsOpen());
    QCOMPARE(manager->State(), 0);
}

void TestUDPManager::unusableDatagramsAreDropped_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("1025 bytes") << MakeReply({}, 1025);
    QTest::newRow("65000 bytes") << MakeReply({}, 65000);
    QTest::newRow("empty") << QByteArray();
}

void TestUDPManager::unusableDatagramsAreDropped()
{
    QFETCH(QByteArray, datagram);
    auto manager = MakeManager();
    manager->SendDiscoveryQuery("\xFF\xFF\xFF\xFF\xFF\xFF");
    QVERIFY(manager->IsOpen());
    // Both wait in the socket before anyone reads: the reply behind the bad one must survive.
    SendToPort(datagram);
    SendToPort(MakeReply());
    QTRY_COMPARE(G_mAPList.size(), 1);
    QVERIFY(manager->IsOpen());
    QCOMPARE(manager->State(), 0);
}

void TestUDPManager::repliesFromBeforeAScanAreDiscarded()
{
    auto manager = MakeManager();
    manager->SendDiscoveryQuery("\xFF\xFF\xFF\xFF\xFF\xFF");
    SendToPort(MakeReply());
    SendToPort(MakeReply({}, 1025));
    manager->DiscardWaitingReplies();
    QTest::qWait(20);
    QVERIFY(G_mAPList.isEmpty());
    QVERIFY(manager->IsOpen());
    SendToPort(MakeReply());
    QTRY_COMPARE(G_mAPList.size(), 1);
}

void TestUDPManager::networkDownClosesOtherErrorsDoNot()
{
    auto manager = MakeManager();
    manager->SendDiscoveryQuery("\xFF\xFF\xFF\xFF\xFF\xFF");
    // Loopback delivers within the send; without the event loop nobody has read it yet, so
    // the call below is what reads it.
    SendToPort(MakeReply());
    QVERIFY(G_mAPList.isEmpty());
    // Any error but "network down" is disregarded and the datagram is read as usual.
    manager->OnReceive(ECONNREFUSED);
    QCOMPARE(G_mAPList.size(), 1);
    QVERIFY(manager->IsOpen());
    manager->OnReceive(ENETDOWN);
    QVERIFY(!manager->IsOpen());
    QCOMPARE(manager->State(), 1);
    manager->OnReceive(0); // a late notification for the closed socket
    QVERIFY(!manager->IsOpen());
}

void TestUDPManager::outOfBandAndCloseOnlyMark()
{
    auto manager = MakeManager();
    manager->SendDiscoveryQuery("\xFF\xFF\xFF\xFF\xFF\xFF");
    manager->OnOutOfBandData();
    QVERIFY(manager->IsOpen());
    QCOMPARE(manager->State(), 1);
    // Still open, so replies still arrive until the next send re-creates it.
    SendToPort(MakeReply());
    QTRY_COMPARE(G_mAPList.size(), 1);
    manager->SendDiscoveryQuery("\xFF\xFF\xFF\xFF\xFF\xFF");
    QCOMPARE(manager->State(), 0);
    manager->OnClose();
    QVERIFY(manager->IsOpen());
    QCOMPARE(manager->State(), 1);
}

void TestUDPManager::scanPacesItsSendsInRealTime()
{
    CWindowTimers timers;
    auto manager = MakeManager(&timers);
    G_pUDPManager = manager.get();
    timers.SetTimer(9997, 300, DiscoveryTimerProc);
    const std::uint32_t queued = GetTickCount();
    QueueDiscovery(u"1"_qs);
    QTRY_VERIFY_WITH_TIMEOUT(G_mUDPQueue.isEmpty(), 6000);
    const std::uint32_t finished = GetTickCount();
    QCOMPARE(m_sendTicks.size(), 3);
    for (int i = 1; i < 3; ++i) {
        const std::uint32_t gap = m_sendTicks[i] - m_sendTicks[i - 1];
        QVERIFY2(gap > 750 && gap < 1300, qPrintable(QString::number(gap)));
    }
    const std::uint32_t total = finished - queued;
    QVERIFY2(total > 2500 && total < 3800, qPrintable(QString::number(total)));
}

void TestUDPManager::destructionStopsTheTimerFirst()
{
    CWindowTimers timers;
    auto manager = MakeManager(&timers);
    G_pUDPManager = manager.get();
    timers.SetTimer(9997, 300, DiscoveryTimerProc);
    QueueDiscovery(u"1"_qs);
    QTRY_COMPARE(m_sendTicks.size(), 1);
    SendToPort(MakeReply());
    QTRY_COMPARE(G_mAPList.size(), 1);
    manager.reset();
    QVERIFY(!timers.IsRunning(9997));
    QVERIFY(!G_pUDPManager);
    QVERIFY(G_mUDPQueue.isEmpty());
    QVERIFY(G_mAPList.isEmpty());
}

void TestUDPManager::arrivalInterfaceNeedsWholePacketInfo()
{
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int)) + CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    // Another option's data first: the packet info is found behind it.
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_TTL;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    header = CMSG_NXTHDR(&message, header);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = 7;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    QCOMPARE(ArrivalInterface(message), 7u);

    message.msg_flags = MSG_CTRUNC;
    QCOMPARE(ArrivalInterface(message), 0u);
    message.msg_flags = 0;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo) - 4);
    QCOMPARE(ArrivalInterface(message), 0u);
    message.msg_controllen = 0;
    QCOMPARE(ArrivalInterface(message), 0u);
}

QTEST_GUILESS_MAIN(TestUDPManager)
#include "test_udpmanager.moc"
