#include "fakenetconfig.h"
#include "platform/diaglog.h"
#include "platform/tickcount.h"
#include "platform/windowtimers.h"
#include "session/shutdownsignals.h"
#include "session/webmanager.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/socket.h>

namespace {

const QString kDevice = u"127.0.0.1"_qs;
const QString kSubnet = u"255.0.0.0"_qs;
// A device on another private subnet: preparation adds (the fake's) 10.99.0.241 for it.
const QString kOtherSubnetDevice = u"10.99.0.1"_qs;

// One listening device on 127.0.0.1:80 that keeps what each connection sent.
class CDevice : public QObject {
public:
    // What the device does with a connection once the request (up to the blank line and
    // contentLength more bytes) has arrived.
    std::function<void(QTcpSocket*)> answer;
    QList<QByteArray> requests;
    QList<QTcpSocket*> connections;
    QList<QHostAddress> peers;

    bool Listen(const QString& address = kDevice)
    {
        return m_server.listen(QHostAddress(address), 80);
    }

    CDevice()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                const qsizetype index = requests.size();
                requests.append(QByteArray());
                connections.append(socket);
                peers.append(socket->peerAddress());
                connect(socket, &QTcpSocket::readyRead, this, [this, socket, index] {
                    requests[index] += socket->readAll();
                    if (Complete(requests[index]) && answer && !m_answered.contains(index)) {
                        m_answered.insert(index);
                        answer(socket);
                    }
                });
            }
        });
    }

    static void Reset(QTcpSocket* socket)
    {
        const linger hard{1, 0};
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        socket->close();
    }

private:
    static bool Complete(const QByteArray& request)
    {
        const qsizetype end = request.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        const qsizetype length = request.indexOf("Content-Length: ");
        if (length < 0 || length > end)
            return true;
        const qsizetype value = request.mid(length + 16, request.indexOf('\r', length) - length - 16)
                                    .toLongLong();
        return request.size() >= end + 4 + value;
    }

    QTcpServer m_server;
    QSet<qsizetype> m_answered;
};

// A device that takes a request only as fast as the test lets it: a small receive window, and
// nothing read until Take().
class CSlowDevice : public QObject
{
public:
    static constexpr qsizetype kWindow = 8192;

    CSlowDevice()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* next = m_server.nextPendingConnection()) {
                next->setReadBufferSize(kWindow);
                socket = next;
            }
        });
    }

    bool Listen()
    {
        if (!m_server.listen(QHostAddress(u"127.0.0.1"_qs), 80))
            return false;
        const int window = int(kWindow);
        return ::setsockopt(int(m_server.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &window,
                            sizeof window) == 0;
    }

    // Reads up to `bytes` of the request, waiting a little real time for them to arrive, then
    // lets what is in flight settle.
    void Take(qsizetype bytes)
    {
        for (int spin = 0; spin < 2000 && bytes > 0; ++spin) {
            const QByteArray block = socket ? socket->read(bytes) : QByteArray();
            received += block.size();
            bytes -= block.size();
            if (bytes > 0)
                QTest::qWait(1);
        }
        QTest::qWait(20);
    }

    QTcpSocket* socket = nullptr;
    qsizetype received = 0;

private:
    QTcpServer m_server;
};

// An upload as the builder queues it: the text around the file, which is `size` bytes at
// Apply. The request's size on the wire.
qsizetype QueueUpload(CWEBManager& web, const QString& path, qint64 size,
                      const QString& before = u"--b\r\n"_qs)
{
    const QString after = u"\r\n--b--\r\n"_qs;
    const QString head = u"POST /goform/formUpload HTTP/1.1\r\nContent-Length: %1\r\n\r\n"_qs.arg(
        before.size() + size + after.size());
    web.AddCommand(u"UPLOAD"_qs, head + before + after, kDevice, kSubnet, path,
                   head.size() + before.size(), size);
    return head.size() + before.size() + size + after.size();
}

bool WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

qint32 HeadState()
{
    return G_mWebQueue.isEmpty() ? -1 : G_mWebQueue.first().dwResult;
}

QByteArray ReadLog()
{
    QFile file(LogFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestWebManager : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void addCommandStartsABurstOrJoinsIt();
    void addCommandLogLineIsBounded();
    void takeResultHandsOutInCompletionOrder();
    void pumpIgnoresOtherTimersAndAnEmptyQueue();
    void finishedCommandsMoveOnePerTick();

    void exchangeRunsThroughEveryState();
    void burstPreparesTheRouteOnce();
    void pumpWaitsForTheWorkerAndBindsItsAddress();
    void workerResultReachesOnlyTheSameCommand();
    void errorPreparationEndsTheBurst();
    void connectTimesOutAfterTenSeconds();
    void refusedConnectionTimesOut();
    void tickWrapRestartsTheStep();
    void startNearTheWrapDoesNotTimeOutAtOnce();

    void keepAliveDeviceTimesOutWithPartialData();
    void resetIsAnError();
    void dataFromAnotherPeerIsDiscarded();
    void lateNotificationsLeaveTheNextCommandAlone();
    void blockTextEndsAtAZeroByte();
    void endlessResponseIsCut();
    void uploadStreamsTheFile_data();
    void uploadStreamsTheFile();
    void largeUploadArrivesWhole();
    void fileShrinkingOnTheWayResetsTheUpload();
    void uploadLivesWhileItIsSent();
    void answerTimeCountsFromTheLastByte();

    void newConsoleDropsWhatTheLastOneLeft();
    void newConsolesFirstCommandPreparesItsOwnRoute();

    void preparationEndsWithinItsBound();
    void abandonedUploadIsCutOff_data();
    void abandonedUploadIsCutOff();
    void releaseRouteRemovesTheAddressAndStopsTheWorker();
    void destructionStopsTheQueueTimer();
    void shutdownSignalRunsTheCallback();

private:
    void Tick(std::uint32_t advanceMs = 800);
    // Pumps (800 ms of fake time per tick) until the condition holds.
    bool PumpUntil(const std::function<bool()>& condition, int maxTicks = 40);
    void SlowPreparation();
    // Queues an upload to the device and pumps until it is being sent; the request's size in
    // bytes, -1 on failure.
    qsizetype StartSlowUpload(CSlowDevice& device, QString* filePath = nullptr,
                              qsizetype size = qsizetype(2) * 1024 * 1024);

    std::shared_ptr<CFakeNetConfig> m_net;
    QTemporaryDir m_files;
    CWEBManager* m_web = nullptr;
    std::uint32_t m_tick = 0;
};

void TestWebManager::init()
{
    m_tick = 100000;
    SetTickSourceForTest([this] { return m_tick; });
    m_net = std::make_shared<CFakeNetConfig>();
    m_net->adapters = {CFakeNetConfig::Adapter(1, "lo", kAdapterTypeLoopback,
                                               {{CFakeNetConfig::Ip("127.0.0.1"),
                                                 CFakeNetConfig::Ip("255.0.0.0")}})};
    m_net->route = [](quint32, quint32& mask, quint32& ifIndex) {
        mask = CFakeNetConfig::Ip("255.0.0.0");
        ifIndex = 1;
        return true;
    };
    m_net->arpAnswers = [](quint32, quint32, quint32) { return true; };
    m_web = new CWEBManager(nullptr, m_net);
    G_pWEBManager = m_web;
    CWEBManager::SetResponseLimitForTest(qsizetype(64) * 1024 * 1024);
}

void TestWebManager::cleanup()
{
    delete m_web;
    m_web = nullptr;
    G_pWEBManager = nullptr;
    SetTickSourceForTest({});
    G_dwNTEContext = 0;
    QFile::remove(LogFilePath());
}

void TestWebManager::Tick(std::uint32_t advanceMs)
{
    m_tick += advanceMs;
    PumpQueue(CWEBManager::kQueueTimer);
}

bool TestWebManager::PumpUntil(const std::function<bool()>& condition, int maxTicks)
{
    for (int i = 0; i < maxTicks; ++i) {
        // Real time for the sockets and the worker, fake time for the time-outs.
        for (int spin = 0; spin < 10 && !condition(); ++spin)
            QTest::qWait(2);
        if (condition())
            return true;
        Tick();
    }
    return condition();
}

// The adapter's address lies outside the device's narrower subnet, so a temporary address is
// added and the preparation waits for it to become ready until released.
void TestWebManager::SlowPreparation()
{
    m_net->adapters.first().addresses = {
        {CFakeNetConfig::Ip("127.1.0.1"), CFakeNetConfig::Ip("255.0.0.0")}};
    m_net->HoldWaits(true);
}

void TestWebManager::addCommandStartsABurstOrJoinsIt()
{
    m_web->AddCommand(u"LANINFO"_qs, u"GET / HTTP/1.1\r\n\r\n"_qs, kDevice, kSubnet);
    m_web->AddCommand(u"UPLOAD"_qs, u"POST"_qs, kDevice, kSubnet, u"/tmp/fw.bin"_qs);
    QCOMPARE(G_mWebQueue.size(), 2);
    const _STRU_WEB_DATA& first = G_mWebQueue.at(0);
    QCOMPARE(first.dwResult, 0);
    QCOMPARE(first.dwTimeout, 100000u);
    QCOMPARE(first.dwStartTick, 0u);
    QCOMPARE(first.strData, u"GET / HTTP/1.1\r\n\r\n"_qs);
    QVERIFY(first.strFileName.isEmpty());
    const _STRU_WEB_DATA& second = G_mWebQueue.at(1);
    QCOMPARE(second.dwResult, 1);
    QCOMPARE(second.dwTimeout, 10000u);
    QCOMPARE(second.strFileName, u"/tmp/fw.bin"_qs);
    const QByteArray log = ReadLog();
    QVERIFY(log.contains("strID=LANINFO strAPIP=127.0.0.1 strAPSubnet=255.0.0.0\r\n"));
    QVERIFY(log.contains("strID=UPLOAD strAPIP=127.0.0.1 strAPSubnet=255.0.0.0\r\n"));
}

void TestWebManager::addCommandLogLineIsBounded()
{
    m_web->AddCommand(QString(3000, u'X'), QString(), kDevice, kSubnet);
    const QByteArray log = ReadLog();
    const qsizetype start = log.indexOf("strID=");
    QCOMPARE(log.indexOf("\r\n", start) - start, 1024);
}

void TestWebManager::takeResultHandsOutInCompletionOrder()
{
    qint32 result = 42;
    QString data = u"untouched"_qs;
    QCOMPARE(m_web->TakeResult(0, result, data), QString());
    QCOMPARE(result, 42);
    QCOMPARE(data, u"untouched"_qs);
    _STRU_WEB_DATA a;
    a.strID = u"LANINFO"_qs;
    a.dwResult = 4;
    a.strData = u"page"_qs;
    _STRU_WEB_DATA b = a;
    b.strID = u"WANINFO"_qs;
    b.dwResult = 7;
    b.strData.clear();
    G_mWebDone = {a, b};
    QCOMPARE(m_web->TakeResult(0, result, data), u"LANINFO"_qs);
    QCOMPARE(result, 4);
    QCOMPARE(data, u"page"_qs);
    QCOMPARE(m_web->TakeResult(0, result, data), u"WANINFO"_qs);
    QCOMPARE(result, 7);
    QCOMPARE(data, QString());
    QVERIFY(G_mWebDone.isEmpty());
}

void TestWebManager::pumpIgnoresOtherTimersAndAnEmptyQueue()
{
    Tick();
    QVERIFY(G_mWebQueue.isEmpty());
    m_web->AddCommand(u"LANINFO"_qs, QString(), kDevice, kSubnet);
    PumpQueue(9997);
    QCOMPARE(G_mWebQueue.first().dwStartTick, 0u);
    QVERIFY(!m_web->RouteWorkerRunning());
}

void TestWebManager::finishedCommandsMoveOnePerTick()
{
    for (qint32 state : {4, 5, 6, 7}) {
        _STRU_WEB_DATA record;
        record.strID = QString::number(state);
        record.dwResult = state;
        G_mWebQueue.append(record);
    }
    for (int moved = 1; moved <= 4; ++moved) {
        Tick();
        QCOMPARE(G_mWebDone.size(), moved);
        QCOMPARE(G_mWebDone.last().dwResult, moved + 3);
    }
    QVERIFY(G_mWebQueue.isEmpty());
}

void TestWebManager::exchangeRunsThroughEveryState()
{
    CDevice device;
    QVERIFY(device.Listen());
    device.answer = [](QTcpSocket* socket) {
        socket->write("HTTP/1.1 200 OK\r\n\r\n");
        socket->flush();
        socket->write(QByteArray("<html>caf\xe9</html>"));
        socket->disconnectFromHost();
    };
    const QString request = u"GET /02_02_02_homenet.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"_qs;
    m_web->AddCommand(u"LANINFO"_qs, request, kDevice, kSubnet);

    Tick(); // starts the worker
    QVERIFY(PumpUntil([] { return HeadState() == 1; }, 1));
    QCOMPARE(G_mstrLocalIP, QString());
    QCOMPARE(G_mWebQueue.first().dwStartTick, 0u);
    Tick(); // connects
    QCOMPARE(m_web->ConnectionState(), 1);
    QTRY_COMPARE(HeadState(), 2);
    QCOMPARE(m_web->ConnectionState(), 2);
    QCOMPARE(G_mWebQueue.first().dwStartTick, 0u);
    Tick(); // sends
    QCOMPARE(G_mWebQueue.first().dwTimeout, 18000u);
    QTRY_COMPARE(HeadState(), 4);
    QCOMPARE(device.requests, QList<QByteArray>{request.toLatin1()});
    QCOMPARE(m_web->ConnectionState(), 0);
    Tick(); // moves it
    qint32 result = 0;
    QString data;
    QCOMPARE(m_web->TakeResult(0, result, data), u"LANINFO"_qs);
    QCOMPARE(result, 4);
    QCOMPARE(data, u"HTTP/1.1 200 OK\r\n\r\n<html>caf\u00e9</html>"_qs);
    QVERIFY(ReadLog().contains(request.toLatin1()));
}

void TestWebManager::burstPreparesTheRouteOnce()
{
    CDevice device;
    QVERIFY(device.Listen());
    device.answer = [](QTcpSocket* socket) {
        socket->write("HTTP/1.1 200 OK\r\n\r\nok");
        socket->disconnectFromHost();
    };
    m_web->AddCommand(u"LANINFO"_qs, u"A\r\n\r\n"_qs, kDevice, kSubnet);
    m_web->AddCommand(u"WANINFO"_qs, u"B\r\n\r\n"_qs, kDevice, kSubnet);
    QVERIFY(PumpUntil([] { return G_mWebDone.size() == 2; }));
    QCOMPARE(G_mWebDone.at(0).dwResult, 4);
    QCOMPARE(G_mWebDone.at(1).dwResult, 4);
    QCOMPARE(device.requests, (QList<QByteArray>{"A\r\n\r\n", "B\r\n\r\n"}));
    QCOMPARE(m_net->Journal().filter(u"route "_qs).size(), 1);
}

void TestWebManager::pumpWaitsForTheWorkerAndBindsItsAddress()
{
    // Made local, so that the socket can bind to the temporary address the fake hands out.
    if (QProcess::execute(u"ip"_qs, {u"addr"_qs, u"replace"_qs, u"10.99.0.1/16"_qs, u"dev"_qs,
                                     u"lo"_qs}) != 0)
        QSKIP("cannot give the loopback a private subnet here");
    CDevice device;
    QVERIFY(device.Listen(kOtherSubnetDevice));
    device.answer = [](QTcpSocket* socket) { socket->disconnectFromHost(); };
    SlowPreparation();
    m_web->AddCommand(u"LANINFO"_qs, u"A\r\n\r\n"_qs, kOtherSubnetDevice, u"255.255.255.0"_qs);
    m_web->AddCommand(u"WANINFO"_qs, u"B\r\n\r\n"_qs, kOtherSubnetDevice, u"255.255.255.0"_qs);
    Tick();
    QVERIFY(m_web->RouteWorkerRunning());
    const _STRU_WEB_DATA head = G_mWebQueue.first();
    QCOMPARE(head.dwStartTick, m_tick);
    for (int i = 0; i < 4; ++i)
        Tick(24000); // past every time-out but the preparation's own: nothing moves meanwhile
    QCOMPARE(G_mWebQueue.first().dwResult, 0);
    QCOMPARE(G_mWebQueue.first().dwStartTick, head.dwStartTick);
    QCOMPARE(G_mWebQueue.at(1).dwStartTick, 0u);
    m_net->HoldWaits(false);
    QVERIFY(PumpUntil([] { return G_mWebDone.size() == 2; }));
    QCOMPARE(G_mstrLocalIP, u"10.99.0.241"_qs);
    QCOMPARE(device.peers.size(), 2);
    QCOMPARE(device.peers.at(0), QHostAddress(u"10.99.0.241"_qs));
    QCOMPARE(device.peers.at(1), QHostAddress(u"10.99.0.241"_qs));
}

void TestWebManager::workerResultReachesOnlyTheSameCommand()
{
    SlowPreparation();
    m_web->AddCommand(u"LANINFO"_qs, u"A"_qs, kOtherSubnetDevice, u"255.255.255.0"_qs);
    Tick();
    QVERIFY(m_web->RouteWorkerRunning());
    G_mWebQueue.first().strID = u"OTHER"_qs;
    m_net->HoldWaits(false);
    QVERIFY(PumpUntil([this] { return !m_web->RouteWorkerRunning(); }, 5));
    QCOMPARE(G_mstrLocalIP, u"10.99.0.241"_qs);
    QCOMPARE(HeadState(), 0);
    // The record kept its own start: only the preparation time-out ends it.
    const std::uint32_t started = G_mWebQueue.first().dwStartTick;
    QVERIFY(started != 0);
    m_tick = started + 100000;
    Tick(0);
    QCOMPARE(HeadState(), 0);
    Tick(1);
    QCOMPARE(HeadState(), 5);
}

void TestWebManager::errorPreparationEndsTheBurst()
{
    CDevice device;
    QVERIFY(device.Listen());
    m_net->arpAnswers = nullptr;
    m_web->AddCommand(u"LANINFO"_qs, u"A"_qs, kDevice, kSubnet);
    m_web->AddCommand(u"WANINFO"_qs, u"B"_qs, kDevice, kSubnet);
    QVERIFY(PumpUntil([] { return !G_mWebDone.isEmpty(); }));
    QCOMPARE(G_mWebDone.first().dwResult, 7);
    // Never sent, so nothing of the device's: its own request is no answer.
    QCOMPARE(G_mWebDone.first().strData, QString());
    QCOMPARE(G_mstrLocalIP, u"ERROR"_qs);
    // The one behind binds to "ERROR", which fails: it ends by the connect time-out.
    QCOMPARE(HeadState(), 1);
    Tick();
    const std::uint32_t started = G_mWebQueue.first().dwStartTick;
    QVERIFY(started != 0);
    m_tick = started + 10000;
    Tick(0);
    QCOMPARE(HeadState(), 1);
    Tick(1);
    QCOMPARE(HeadState(), 5);
    QCOMPARE(G_mWebQueue.first().strData, QString());
    QTest::qWait(20);
    QVERIFY(device.requests.isEmpty());
}

void TestWebManager::connectTimesOutAfterTenSeconds()
{
    // No route in this namespace: the connect fails at once and says nothing more.
    m_web->AddCommand(u"LANINFO"_qs, u"A"_qs, u"10.1.2.3"_qs, kSubnet);
    QVERIFY(PumpUntil([] { return HeadState() == 1 && G_mWebQueue.first().dwStartTick != 0; }));
    const std::uint32_t started = G_mWebQueue.first().dwStartTick;
    m_tick = started + 9999;
    Tick(0);
    QCOMPARE(HeadState(), 1);
    Tick(2);
    QCOMPARE(HeadState(), 5);
}

void TestWebManager::refusedConnectionTimesOut()
{
    m_web->AddCommand(u"LANINFO"_qs, u"A"_qs, kDevice, kSubnet);
    QVERIFY(PumpUntil([] { return !G_mWebDone.isEmpty(); }));
    QCOMPARE(G_mWebDone.first().dwResult, 5);
}

void TestWebManager::tickWrapRestartsTheStep()
{
    m_web->AddCommand(u"LANINFO"_qs, u"A"_qs, u"10.1.2.3"_qs, kSubnet);
    QVERIFY(PumpUntil([] { return HeadState() == 1; }));
    m_tick = 0xFFFFFF00u;
    Tick(0); // connect step starts just before the wrap
    QCOMPARE(G_mWebQueue.first().dwStartTick, 0xFFFFFF00u);
    m_tick = 5;
    Tick(0);
    QCOMPARE(HeadState(), 1);
    QCOMPARE(G_mWebQueue.first().dwStartTick, 5u);
    m_tick = 5 + 10001;
    Tick(0);
    QCOMPARE(HeadState(), 5);
}

void TestWebManager::startNearTheWrapDoesNotTimeOutAtOnce()
{
    m_web->AddCommand(u"LANINFO"_qs, u"A"_qs, u"10.1.2.3"_qs, kSubnet);
    QVERIFY(PumpUntil([] { return HeadState() == 1; }));
    // Start + time-out passes 2^32 here.
    m_tick = 0xFFFFF000u;
    Tick(0);
    Tick(0x100);
    QCOMPARE(HeadState(), 1);
    Tick(0xE00);
    QCOMPARE(HeadState(), 1);
}

void TestWebManager::keepAliveDeviceTimesOutWithPartialData()
{
    CDevice device;
    QVERIFY(device.Listen());
    device.answer = [](QTcpSocket* socket) { socket->write("HTTP/1.1 200 OK\r\n\r\npart"); };
    m_web->AddCommand(u"LANINFO"_qs, u"A\r\n\r\n"_qs, kDevice, kSubnet);
    QVERIFY(PumpUntil([] { return HeadState() == 3; }));
    const std::uint32_t sent = G_mWebQueue.first().dwStartTick;
    m_tick = sent + 18000;
    Tick(0);
    QCOMPARE(HeadState(), 3);
    Tick(1);
    QCOMPARE(HeadState(), 5);
    Tick();
    qint32 result = 0;
    QString data;
    m_web->TakeResult(0, result, data);
    QCOMPARE(result, 5);
    QCOMPARE(data, u"HTTP/1.1 200 OK\r\n\r\npart"_qs);
}

void TestWebManager::resetIsAnError()
{
    CDevice device;
    QVERIFY(device.Listen());
    device.answer = [](QTcpSocket* socket) {
        socket->write("HTTP/1.1 200 OK\r\n\r\npart");
        socket->flush();
        QTimer::singleShot(50, socket, [socket] { CDevice::Reset(socket); });
    };
    m_web->AddCommand(u"LANINFO"_qs, u"A\r\n\r\n"_qs, kDevice, kSubnet);
    QVERIFY(PumpUntil([] { return !G_mWebDone.isEmpty(); }));
    QCOMPARE(G_mWebDone.first().dwResult, 6);
    QCOMPARE(G_mWebDone.first().strData, u"HTTP/1.1 200 OK\r\n\r\npart"_qs);
}

void TestWebManager::dataFromAnotherPeerIsDiscarded()
{
    CDevice device;
    QVERIFY(device.Listen());
    device.answer = [](QTcpSocket* socket) {
        QTimer::singleShot(50, socket, [socket] {
            socket->write("HTTP/1.1 200 OK\r\n\r\nnot yours");
            socket->disconnectFromHost();
        });
    };
    m_web->AddCommand(u"LANINFO"_qs, u"A\r\n\r\n"_qs, kDevice, kSubnet);
    QVERIFY(PumpUntil([] { return HeadState() == 2 && G_mWebQueue.first().dwStartTick != 0; }));
    G_mWebQueue.first().strAPIP = u"127.0.0.9"_qs;
    QVERIFY(PumpUntil([] { return !G_mWebDone.isEmpty(); }));
    QCOMPARE(G_mWebDone.first().dwResult, 4);
    QCOMPARE(G_mWebDone.first().strData, QString());
}

void TestWebManager::lateNotificationsLeaveTheNextCommandAlone()
{
    CDevice device;
    QVERIFY(device.Listen());
    QTcpSocket* first = nullptr;
    device.answer = [&first](QTcpSocket* socket) {
        if (!first)
            first = socket; // keeps it open
    };
    m_web->AddCommand(u"LANINFO"_qs, u"A\r\n\r\n"_qs, kDevice, kSubnet);
    QVERIFY(PumpUntil([] { return HeadState() == 2 && G_mWebQueue.first().dwStartTick != 0; }));
    QTRY_VERIFY(first);
    m_web->AddCommand(u"WANINFO"_qs, u"B\r\n\r\n"_qs, kDevice, kSubnet);
    Tick(18001);
    QCOMPARE(HeadState(), 5);
    Tick(); // moved; the next command waits for its connect step
    QCOMPARE(G_mWebQueue.first().strID, u"WANINFO"_qs);
    first->write("HTTP/1.1 200 OK\r\n\r\nlate");
    first->disconnectFromHost();
    // The close comes after the data: once it has been seen, both notifications were handled.
    QTRY_COMPARE(m_web->ConnectionState(), 0);
    QCOMPARE(HeadState(), 1);
    QCOMPARE(G_mWebQueue.first().strData, u"B\r\n\r\n"_qs);
}

void TestWebManager::blockTextEndsAtAZeroByte()
{
    CDevice device;
    QVERIFY(device.Listen());
    device.answer = [](QTcpSocket* socket) {
        socket->write(QByteArray("abc\0def", 7));
        socket->disconnectFromHost();
    };
    m_web->AddCommand(u"LANINFO"_qs, u"A\r\n\r\n"_qs, kDevice, kSubnet);
    QVERIFY(PumpUntil([] { return !G_mWebDone.isEmpty(); }));
    QCOMPARE(G_mWebDone.first().strData, u"abc"_qs);
}

void TestWebManager::endlessResponseIsCut()
{
    CWEBManager::SetResponseLimitForTest(50000);
    CDevice device;
    QVERIFY(device.Listen());
    bool closedByUs = false;
    device.answer = [&closedByUs](QTcpSocket* socket) {
        connect(socket, &QTcpSocket::disconnected, socket, [&closedByUs] { closedByUs = true; });
        socket->write(QByteArray(120000, 'x'));
    };
    m_web->AddCommand(u"LANINFO"_qs, u"A\r\n\r\n"_qs, kDevice, kSubnet);
    QVERIFY(PumpUntil([] { return !G_mWebDone.isEmpty(); }));
    QCOMPARE(G_mWebDone.first().dwResult, 6);
    QVERIFY(G_mWebDone.first().strData.size() <= 50000);
    QVERIFY(G_mWebDone.first().strData.size() > 50000 - CWEBManager::kReceiveBlock);
    QTRY_VERIFY(closedByUs);
}

void TestWebManager::uploadStreamsTheFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("sizeAtApply");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QByteArray>("beforeSent");
    const QByteArray binary("\x00\x01\xff\x80?\r\n", 7);
    const QString part = u"--b\r\n"_qs;
    QTest::newRow("zero bytes included") << binary << true << 7 << part << QByteArray("--b\r\n");
    QTest::newRow("empty file") << QByteArray() << true << 0 << part << QByteArray("--b\r\n");
    // Text before the file that only the code page holds: one byte a character all the same.
    QTest::newRow("code page text before the file")
        << binary << true << 7 << u"--\u00fc\u20ac\r\n"_qs << QByteArray("--\xfc\x80\r\n");
    // Not the image the user applied: nothing of it goes out.
    QTest::newRow("shrank since Apply")
        << QByteArray("abcdef") << true << 9 << part << QByteArray();
}

void TestWebManager::uploadStreamsTheFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, exists);
    QFETCH(int, sizeAtApply);
    QFETCH(QString, before);
    QFETCH(QByteArray, beforeSent);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"fw.bin"_qs);
    QVERIFY(!exists || WriteFile(path, content));
    CDevice device;
    QVERIFY(device.Listen());
    device.answer = [](QTcpSocket* socket) {
        socket->write("HTTP/1.1 200 OK\r\n\r\n");
        socket->disconnectFromHost();
    };
    QueueUpload(*m_web, path, sizeAtApply, before);
    QVERIFY(PumpUntil([] { return !G_mWebDone.isEmpty(); }));
    const QByteArray log = ReadLog();
    QVERIFY(log.contains("HTML Upload..."));
    QVERIFY(!log.contains("formUpload"));
    if (beforeSent.isEmpty()) {
        QCOMPARE(G_mWebDone.first().dwResult, 6);
        QCOMPARE(G_mWebDone.first().strData, QString());
        QVERIFY(device.requests.isEmpty() || device.requests.first().isEmpty());
        QVERIFY(log.contains("HTML Upload failed: "));
        return;
    }
    QCOMPARE(G_mWebDone.first().dwResult, 4);
    QCOMPARE(device.requests.size(), 1);
    const QByteArray head = "POST /goform/formUpload HTTP/1.1\r\nContent-Length: " +
                            QByteArray::number(beforeSent.size() + sizeAtApply + 9) + "\r\n\r\n";
    QCOMPARE(device.requests.first(), head + beforeSent + content + "\r\n--b--\r\n");
}

void TestWebManager::largeUploadArrivesWhole()
{
    const qsizetype size = qsizetype(20) * 1024 * 1024;
    QByteArray content(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        content[i] = char((i * 7919) >> 3);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"big.bin"_qs);
    QVERIFY(WriteFile(path, content));
    CDevice device;
    QVERIFY(device.Listen());
    device.answer = [](QTcpSocket* socket) {
        socket->write("HTTP/1.1 200 OK\r\n\r\n");
        socket->disconnectFromHost();
    };
    const qsizetype total = QueueUpload(*m_web, path, size);
    QVERIFY(PumpUntil([] { return !G_mWebDone.isEmpty(); }, 200));
    QCOMPARE(G_mWebDone.first().dwResult, 4);
    const QByteArray& received = device.requests.first();
    const qsizetype at = received.indexOf("--b\r\n") + 5;
    QCOMPARE(received.size(), total);
    QCOMPARE(QCryptographicHash::hash(received.mid(at, size), QCryptographicHash::Sha256),
             QCryptographicHash::hash(content, QCryptographicHash::Sha256));
}

// The device must never take the beginning of one image and the end of another for an upload.
void TestWebManager::fileShrinkingOnTheWayResetsTheUpload()
{
    CSlowDevice device;
    QString path;
    // More than the system's send buffers hold, so that most of it is still to be read.
    constexpr qsizetype kShrunk = qsizetype(6) * 1024 * 1024 + 100;
    const qsizetype total = StartSlowUpload(device, &path, qsizetype(8) * 1024 * 1024);
    QVERIFY(total > 0);
    device.Take(64 * 1024);
    QVERIFY(QFile::resize(path, kShrunk));
    // Reading on, the device makes room for the chunk past the file's new end.
    while (HeadState() == 2 && device.socket->state() == QAbstractSocket::ConnectedState &&
           device.received < total)
        device.Take(512 * 1024);
    QTRY_COMPARE(HeadState(), 6);
    QVERIFY(device.received < kShrunk + 200);
    QTRY_VERIFY(device.socket->state() != QAbstractSocket::ConnectedState);
    QVERIFY(ReadLog().contains("HTML Upload failed: " + QFile::encodeName(path) +
                               " has 6291556 bytes now, 8388608 at Apply"));
    Tick();
    qint32 result = 0;
    QString data = u"untouched"_qs;
    QCOMPARE(m_web->TakeResult(0, result, data), u"UPLOAD"_qs);
    QCOMPARE(result, 6);
    QCOMPARE(data, QString());
}

// An upload to one device is on the wire when the user connects to another: the upload, its
// connection and whatever the device still answers must not reach the new console.
void TestWebManager::newConsoleDropsWhatTheLastOneLeft()
{
    CDevice device;
    QVERIFY(device.Listen());
    // Holds the upload's answer; answers everything else at once.
    device.answer = [&device](QTcpSocket* socket) {
        if (device.requests.at(device.connections.indexOf(socket)).startsWith("POST"))
            return;
        socket->write("HTTP/1.1 200 OK\r\n\r\nlan");
        socket->disconnectFromHost();
    };
    m_web->SetConsole(1);
    m_web->AddCommand(u"UPLOAD"_qs, u"POST /x\r\n\r\n"_qs, kDevice, kSubnet);
    m_web->AddCommand(u"REBOOT"_qs, u"GET /r\r\n\r\n"_qs, kDevice, kSubnet);
    _STRU_WEB_DATA finished;
    finished.strID = u"GETSTATUS"_qs;
    finished.dwResult = 4;
    finished.dwConsole = 1;
    G_mWebDone.append(finished);
    QVERIFY(PumpUntil([&device] {
        return device.requests.size() == 1 && device.requests.first() == "POST /x\r\n\r\n";
    }));
    QCOMPARE(HeadState(), 2);

    m_web->SetConsole(2);
    QVERIFY(G_mWebQueue.isEmpty());
    QVERIFY(G_mWebDone.isEmpty());
    QCOMPARE(m_web->ConnectionState(), 0);
    QVERIFY(ReadLog().contains("2 queued and 1 finished commands of the last one dropped"));
    // The held upload's connection is closed from our side.
    QTRY_COMPARE(device.connections.first()->state(), QAbstractSocket::UnconnectedState);

    m_web->AddCommand(u"LANINFO"_qs, u"GET /lan\r\n\r\n"_qs, kDevice, kSubnet);
    QVERIFY(PumpUntil([] { return !G_mWebDone.isEmpty(); }));
    qint32 result = 0;
    QString data;
    QCOMPARE(m_web->TakeResult(1, result, data), QString());
    QCOMPARE(m_web->TakeResult(2, result, data), u"LANINFO"_qs);
    QCOMPARE(data, u"HTTP/1.1 200 OK\r\n\r\nlan"_qs);
    QCOMPARE(device.requests.size(), 2);
    QCOMPARE(device.requests.last(), QByteArray("GET /lan\r\n\r\n"));
}

// The first command after a new Connect opens a burst of its own: the route prepared for the
// last device, or still being prepared for it, is not taken for the new one.
void TestWebManager::newConsolesFirstCommandPreparesItsOwnRoute()
{
    SlowPreparation();
    m_web->SetConsole(1);
    m_web->AddCommand(u"LANINFO"_qs, u"A"_qs, kOtherSubnetDevice, u"255.255.255.0"_qs);
    Tick();
    QVERIFY(m_web->RouteWorkerRunning());

    m_web->SetConsole(2);
    m_web->AddCommand(u"LANINFO"_qs, u"B"_qs, kOtherSubnetDevice, u"255.255.255.0"_qs);
    QCOMPARE(HeadState(), 0);
    QCOMPARE(G_mWebQueue.first().dwConsole, 2u);
    m_net->HoldWaits(false);
    QVERIFY(PumpUntil([this] { return !m_web->RouteWorkerRunning(); }, 5));
    // The old worker's result, though its keyword matches, does not start the new command.
    QCOMPARE(HeadState(), 0);
    QCOMPARE(G_mWebQueue.first().dwStartTick, 0u);
    Tick();
    QVERIFY(PumpUntil([] { return HeadState() == 1; }));
    QCOMPARE(m_net->Journal().filter(u"route "_qs).size(), 2);
}

qsizetype TestWebManager::StartSlowUpload(CSlowDevice& device, QString* filePath, qsizetype size)
{
    const QString path = m_files.filePath(u"fw.bin"_qs);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
            return -1;
    }
    if (filePath)
        *filePath = path;
    if (!device.Listen())
        return -1;
    const qsizetype total = QueueUpload(*m_web, path, size);
    // The file is read as it is sent, from the tick that enters the sending state.
    if (!PumpUntil([] { return HeadState() == 2 && G_mWebQueue.first().dwStartTick != 0; }))
        return -1;
    return total;
}

void TestWebManager::uploadLivesWhileItIsSent()
{
    CSlowDevice device;
    const qsizetype total = StartSlowUpload(device);
    QVERIFY(total > 0);
    // Well past the answer's 18 s in all, but the device keeps taking bytes.
    int steps = 0;
    for (; device.received < total / 2; ++steps) {
        device.Take(128 * 1024);
        Tick(6000);
        QCOMPARE(HeadState(), 2);
    }
    QVERIFY(steps * 6000 > 2 * 18000);

    // The device stops reading: 18 s without progress end the command all the same.
    Tick(0);
    Tick(18000);
    QCOMPARE(HeadState(), 2);
    Tick(1);
    QCOMPARE(HeadState(), 5);
    // Nothing more of the failed upload reaches the device once it reads again.
    device.Take(total - device.received);
    QVERIFY(device.received < total);
    QTRY_VERIFY(device.socket->state() != QAbstractSocket::ConnectedState);
}

void TestWebManager::answerTimeCountsFromTheLastByte()
{
    CSlowDevice device;
    const qsizetype total = StartSlowUpload(device);
    QVERIFY(total > 0);
    // Far more left than the device's buffers take, so the last look below still sees some.
    while (device.received < total - 512 * 1024) {
        device.Take(256 * 1024);
        Tick(5000);
    }
    QCOMPARE(HeadState(), 2);
    device.Take(total - device.received);
    QCOMPARE(device.received, total);
    // The last byte left between the last two looks: 18 s from the earlier one, none longer.
    Tick(800);
    Tick(17200);
    QCOMPARE(HeadState(), 2);
    Tick(1);
    QCOMPARE(HeadState(), 5);
}

// A preparation that outlasts its 100 s (a password prompt nobody answers, adapter after
// adapter) ends its command as unreachable then, not whenever the worker is done.
void TestWebManager::preparationEndsWithinItsBound()
{
    SlowPreparation();
    m_web->AddCommand(u"LANINFO"_qs, u"GET /lan"_qs, kOtherSubnetDevice, u"255.255.255.0"_qs);
    Tick();
    QVERIFY(m_web->RouteWorkerRunning());
    QTRY_COMPARE(m_net->LiveCount(), size_t(1));
    Tick(99'000);
    QCOMPARE(HeadState(), 0);
    QVERIFY(!m_net->interrupted);
    Tick(1'001);
    QVERIFY(G_mWebQueue.isEmpty());
    qint32 result = 0;
    QString data;
    QCOMPARE(m_web->TakeResult(0, result, data), u"LANINFO"_qs);
    QCOMPARE(result, 7);
    QCOMPARE(data, QString());
    // The worker stops at its wait, and what it added goes before anything else runs.
    QVERIFY(PumpUntil([this] { return !m_web->RouteWorkerRunning(); }, 5));
    QVERIFY(!m_net->interrupted);
    QCOMPARE(m_net->LiveCount(), size_t(0));
    QCOMPARE(G_dwNTEContext, 0u);
    QVERIFY(ReadLog().contains("Route preparation: no result within 100000 ms"));
}

void TestWebManager::abandonedUploadIsCutOff_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("a new Connect") << 0;
    QTest::newRow("Close") << 1;
    QTest::newRow("shutdown") << 2;
}

void TestWebManager::abandonedUploadIsCutOff()
{
    QFETCH(int, how);
    CSlowDevice device;
    const qsizetype total = StartSlowUpload(device);
    QVERIFY(total > 0);
    device.Take(256 * 1024);
    if (how == 0)
        m_web->SetConsole(7);
    else if (how == 1)
        m_web->AbandonRequest();
    else
        m_web->ReleaseRoute();
    // What the kernel still held for the device is thrown away, not delivered later.
    device.Take(total - device.received);
    QVERIFY(device.received < total);
    QTRY_VERIFY(device.socket->state() != QAbstractSocket::ConnectedState);
}

void TestWebManager::releaseRouteRemovesTheAddressAndStopsTheWorker()
{
    SlowPreparation();
    m_web->AddCommand(u"LANINFO"_qs, u"A"_qs, kOtherSubnetDevice, u"255.255.255.0"_qs);
    _STRU_WEB_DATA done;
    done.strID = u"OLD"_qs;
    G_mWebDone.append(done);
    Tick();
    QVERIFY(m_web->RouteWorkerRunning());
    QTRY_COMPARE(m_net->LiveCount(), size_t(1));
    m_web->ReleaseRoute();
    QVERIFY(!m_web->RouteWorkerRunning());
    QVERIFY(m_net->live.empty());
    QCOMPARE(G_dwNTEContext, 0u);
    QCOMPARE(m_net->Journal().mid(m_net->Journal().size() - 2),
             (QStringList{u"delete 10.99.0.241"_qs, u"wait 500"_qs}));
    QVERIFY(G_mWebQueue.isEmpty());
    QVERIFY(G_mWebDone.isEmpty());
    QCOMPARE(G_mstrLocalIP, QString());
}

void TestWebManager::destructionStopsTheQueueTimer()
{
    QObject owner;
    auto* timers = new CWindowTimers(&owner);
    timers->SetTimer(CWEBManager::kQueueTimer, 800, PumpQueue);
    auto* web = new CWEBManager(&owner, m_net);
    delete web;
    QVERIFY(!timers->IsRunning(CWEBManager::kQueueTimer));
}

void TestWebManager::shutdownSignalRunsTheCallback()
{
    struct sigaction before{};
    sigaction(SIGHUP, nullptr, &before);
    QList<int> seen;
    {
        CShutdownSignals handlers([&seen](int signal) { seen.append(signal); });
        QVERIFY(handlers.Installed());
        // Only one owner of the handlers at a time.
        CShutdownSignals second([](int) {});
        QVERIFY(!second.Installed());
        raise(SIGHUP);
        raise(SIGTERM);
        QTRY_COMPARE(seen, (QList<int>{SIGHUP, SIGTERM}));
    }
    struct sigaction after{};
    sigaction(SIGHUP, nullptr, &after);
    QCOMPARE(reinterpret_cast<void*>(after.sa_handler), reinterpret_cast<void*>(before.sa_handler));
}

QTEST_GUILESS_MAIN(TestWebManager)
#include "test_webmanager.moc"
