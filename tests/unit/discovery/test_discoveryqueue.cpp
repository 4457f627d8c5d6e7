#include "discovery/discoveryqueue.h"
#include "discovery/udpmanager.h"
#include "platform/tickcount.h"

#include <QTest>

namespace {

// Runs the pacing with 300 ms ticks of a stepped clock and notes when queries go out and when
// the job leaves the queue, as offsets from the first tick.
struct Schedule {
    QList<std::uint32_t> sends;
    std::uint32_t leftQueueAt = 0;
};

Schedule RunOneScan(std::uint32_t firstTick)
{
    std::uint32_t now = firstTick;
    SetTickSourceForTest([&now] { return now; });
    Schedule schedule;
    QueueDiscovery(u"1"_qs);
    for (std::uint32_t offset = 0; offset <= 6000 && !G_mUDPQueue.isEmpty(); offset += 300) {
        now = firstTick + offset;
        AdvanceDiscoveryQueue([&](QByteArrayView) { schedule.sends.append(offset); });
        if (G_mUDPQueue.isEmpty())
            schedule.leftQueueAt = offset;
    }
    SetTickSourceForTest({});
    return schedule;
}

} // namespace

class TestDiscoveryQueue : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void waitRule_data();
    void waitRule();
    void scanSendsThreeQueries_data();
    void scanSendsThreeQueries();
    void lateTickSendsAtOnce();
    void queueingStartsAFreshList();
    void secondScanWaitsForTheFirst();
    void timerProcAnswersOnlyItsOwnTimer();
};

void TestDiscoveryQueue::init()
{
    G_mUDPQueue.clear();
    G_mAPList.clear();
}

void TestDiscoveryQueue::cleanup()
{
    SetTickSourceForTest({});
}

void TestDiscoveryQueue::waitRule_data()
{
    QTest::addColumn<std::uint32_t>("now");
    QTest::addColumn<std::uint32_t>("last");
    QTest::addColumn<bool>("over");
    QTest::newRow("just sent") << 1000u << 1000u << false;
    QTest::newRow("exactly 750 is not later") << 1750u << 1000u << false;
    QTest::newRow("751") << 1751u << 1000u << true;
    QTest::newRow("long ago") << 900000u << 1000u << true;
    // Sent shortly before the wrap, now just after it: 0x1010 ms have passed.
    QTest::newRow("counter wrapped, wait over") << 0x10u << 0xFFFFF000u << true;
    // last + 750 wraps to 0x1EE; a plain comparison would send at once.
    QTest::newRow("sum wraps, still waiting") << 0xFFFFFF10u << 0xFFFFFF00u << false;
    QTest::newRow("sum wraps, 750 after") << 0x1EEu << 0xFFFFFF00u << false;
    QTest::newRow("sum wraps, 751 after") << 0x1EFu << 0xFFFFFF00u << true;
}

void TestDiscoveryQueue::waitRule()
{
    QFETCH(std::uint32_t, now);
    QFETCH(std::uint32_t, last);
    QFETCH(bool, over);
    QCOMPARE(IsWaitOver(now, last, 750), over);
}

void TestDiscoveryQueue::scanSendsThreeQueries_data()
{
    QTest::addColumn<std::uint32_t>("firstTick");
    QTest::newRow("ordinary") << 5000000u;
    QTest::newRow("counter wraps during the scan") << 0xFFFFFA00u;
    QTest::newRow("wraps between sends") << 0u - 1000u;
    QTest::newRow("first send at tick 0") << 0u;
}

void TestDiscoveryQueue::scanSendsThreeQueries()
{
    QFETCH(std::uint32_t, firstTick);
    const Schedule schedule = RunOneScan(firstTick);
    QCOMPARE(schedule.sends, (QList<std::uint32_t>{0, 900, 1800}));
    QCOMPARE(schedule.leftQueueAt, 2700u);
}

void TestDiscoveryQueue::lateTickSendsAtOnce()
{
    std::uint32_t now = 70000;
    SetTickSourceForTest([&now] { return now; });
    QueueDiscovery(u"1"_qs);
    int sends = 0;
    const auto tick = [&] { AdvanceDiscoveryQueue([&](QByteArrayView) { ++sends; }); };
    tick();
    now += 5000; // the loop was held up by a modal run elsewhere
    tick();
    QCOMPARE(sends, 2);
    now += 751;
    tick();
    QCOMPARE(sends, 3);
    now += 751;
    tick();
    QVERIFY(G_mUDPQueue.isEmpty());
}

void TestDiscoveryQueue::queueingStartsAFreshList()
{
    G_mAPList.append(_STRU_AP_INFO{u"QZ-8061Tr"_qs, u"00:1A:2B:3C:4D:5E"_qs, {}, {}, {}, {}});
    QueueDiscovery(u"1"_qs);
    QVERIFY(G_mAPList.isEmpty());
    QCOMPARE(G_mUDPQueue.size(), 1);
    const _STRU_UDP_DATA& job = G_mUDPQueue.first();
    QCOMPARE(job.strTag, u"1"_qs);
    QCOMPARE(job.nType, 0);
    QCOMPARE(job.nParam, 0);
    QCOMPARE(job.dwLastTick, 0u);
    QCOMPARE(job.nSendsLeft, 3);
    QCOMPARE(job.dwIntervalMs, 750u);
}

void TestDiscoveryQueue::secondScanWaitsForTheFirst()
{
    std::uint32_t now = 10000;
    SetTickSourceForTest([&now] { return now; });
    QList<std::uint32_t> sends;
    QueueDiscovery(u"1"_qs);
    for (std::uint32_t offset = 0; offset <= 9000 && !G_mUDPQueue.isEmpty(); offset += 300) {
        now = 10000 + offset;
        if (offset == 1200) {
            G_mAPList.append(_STRU_AP_INFO{});
            QueueDiscovery(u"2"_qs);
            QVERIFY(G_mAPList.isEmpty());
        }
        AdvanceDiscoveryQueue([&](QByteArrayView first) {
            QCOMPARE(first.size(), 6);
            sends.append(offset);
        });
    }
    // The first job leaves at 2700; that tick belongs to it, so the second starts at 3000.
    QCOMPARE(sends, (QList<std::uint32_t>{0, 900, 1800, 3000, 3900, 4800}));
    QVERIFY(G_mUDPQueue.isEmpty());
}

void TestDiscoveryQueue::timerProcAnswersOnlyItsOwnTimer()
{
    QVERIFY(!G_pUDPManager);
    QueueDiscovery(u"1"_qs);
    DiscoveryTimerProc(9999);
    DiscoveryTimerProc(1);
    QCOMPARE(G_mUDPQueue.first().nSendsLeft, 3);
    DiscoveryTimerProc(9997);
    QCOMPARE(G_mUDPQueue.first().nSendsLeft, 2);
    QVERIFY(G_mUDPQueue.first().dwLastTick != 0);
}

QTEST_GUILESS_MAIN(TestDiscoveryQueue)
#include "test_discoveryqueue.moc"
