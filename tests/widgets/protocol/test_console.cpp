#include "console/tarndlg.h"
#include "pages/ipaddrdlg.h"
#include "pages/messagedlg.h"
#include "pages/modedlg.h"
#include "pages/passworddlg.h"
#include "pages/progressdlg.h"
#include "pages/savedlg.h"
#include "pages/summarydlg.h"
#include "pages/surveydlg.h"
#include "platform/diaglog.h"
#include "platform/windowtimers.h"
#include "protocol/answer.h"
#include "protocol/statusvalues.h"
#include "session/sessionvalues.h"
#include "session/webmanager.h"
#include "tests/widgets/configpages/configfixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

namespace
{

const QString kLanAnswer =
    u"HTTP/1.1 200 OK\r\n\r\n<td>IP Address:</td><td><div align=\"left\">192.168.77.10</div>"
    u"<td>Subnet Mask:</td><td><div align=\"left\">255.255.255.0</div>"
    u"<td>DHCP Server:</td><td><div align=\"left\">x - y (Enable)</div>"
    u"<td>MAC Address:</td><td><div align=\"left\">00:1a:2b:3c:4d:5e</div>"_qs;
const QString kWanAnswer =
    u"HTTP/1.1 200 OK\r\n\r\n<input name=\"dns1\" value=\"1.1.1.1\"><input name=\"dns2\" "
    u"value=\"8.8.4.4\"><input name=\"gw\" value=\"10.0.0.1\">dw(IPAddress)<div align=\"left\">"
    u"10.0.0.5</div>dw(SubnetMask)<div align=\"left\">255.0.0.0</div>Mode:<div align=\"left\">"
    u"Repeater</div>SSID:<div align=\"left\">Net</div>Channel:<div align=\"left\">6</div>"
    u"Security:<div align=\"left\">None</div>"_qs;
const QString kStatusAnswer =
    u"HTTP/1.1 200 OK\r\n\r\nRuntime Code Version:<div align=\"left\"> 1.0.4 </div>"_qs;
const QString kUnauthorized = u"HTTP/1.1 401 Unauthorized\r\n\r\n<div align=\"left\">x</div>"_qs;

void Finish(const QString& strID, qint32 dwResult, const QString& response)
{
    _STRU_WEB_DATA record;
    record.strID = strID;
    record.dwResult = dwResult;
    record.strData = response;
    record.dwConsole = G_pTarnDlg->ConsoleId();
    G_mWebDone.append(record);
}

QByteArray ReadLog()
{
    QFile file(LogFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WaitFor(const std::function<bool()>& condition, int ms = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pagesAndDialogs();
    void showPage();
    void buildersUseTheConsolesDevice();
    void emptyQueueStopsTheTimerButDrains();
    void loadingChainInsideTheProgressDialog();
    void unusableAnswersLeaveValuesAndChainGoesOn();
    void lostConnectionInTheChain_data();
    void lostConnectionInTheChain();
    void repeaterResults();
    void pageBranches();
    void okTest_data();
    void okTest();
    void logLines();

private:
    // Plays the session for the commands the console queues: each finishes with the answer
    // given for its keyword, or stays queued when there is none.
    void StartFakePump(const QHash<QString, QPair<qint32, QString>>& answers);
    // The IP address page's reboot wait that a SETUPIPADDRESS result starts, played at once
    // rather than in its 44 s.
    void PlayIPAddressWait();

    CConfigFixture m_fixture;
    QTimer m_pump;
};

void TestConsole::init()
{
    QFile::remove(LogFilePath());
    m_fixture.Init(false);
}

void TestConsole::cleanup()
{
    m_pump.stop();
    m_pump.disconnect();
    m_fixture.Cleanup();
}

void TestConsole::StartFakePump(const QHash<QString, QPair<qint32, QString>>& answers)
{
    m_pump.setInterval(20);
    connect(&m_pump, &QTimer::timeout, this, [answers] {
        if (G_mWebQueue.isEmpty() || !answers.contains(G_mWebQueue.first().strID))
            return;
        _STRU_WEB_DATA record = G_mWebQueue.takeFirst();
        record.dwResult = answers[record.strID].first;
        record.strData = answers[record.strID].second;
        G_mWebDone.append(record);
    });
    m_pump.start();
}

void TestConsole::PlayIPAddressWait()
{
    QTimer::singleShot(0, this, [] {
        for (int tick = 0; tick <= CTarn_IPAddrDlg::kRebootLastTick; ++tick)
            G_pIPAddrDlg->OnTimer(CTarn_IPAddrDlg::kRebootTimer);
    });
}

void TestConsole::pagesAndDialogs()
{
    QWidget* const pages[] = {G_pIPAddrDlg, G_pModeDlg,     G_pSummaryDlg,
                              G_pSurveyDlg, G_pPasswordDlg, G_pSaveDlg};
    for (QWidget* page : pages) {
        QVERIFY(page);
        QCOMPARE(page->parentWidget(), m_fixture.console.get());
        QCOMPARE(page->geometry(), QRect(0, 0, 700, 500));
    }
    // Created in this order, so they stack as the device's pages did.
    const QObjectList children = m_fixture.console->children();
    QList<QWidget*> order;
    for (QObject* child : children) {
        for (QWidget* page : pages) {
            if (child == page)
                order.append(page);
        }
    }
    QCOMPARE(order, QList<QWidget*>(std::begin(pages), std::end(pages)));
    QVERIFY(G_pMessageDlg && G_pProgress);
    // In the console's window, not windows of their own.
    QVERIFY(!G_pMessageDlg->isWindow() && G_pMessageDlg->window() == m_fixture.console->window());
    QVERIFY(!G_pProgress->isWindow() && G_pProgress->window() == m_fixture.console->window());
    QVERIFY(!G_pMessageDlg->isVisible() && !G_pProgress->isVisible());
    QCOMPARE(CommandHost(), m_fixture.console.get());

    m_fixture.console.reset();
    G_pTarnDlg = nullptr;
    QVERIFY(!G_pIPAddrDlg && !G_pModeDlg && !G_pSummaryDlg && !G_pSurveyDlg && !G_pPasswordDlg &&
            !G_pSaveDlg && !G_pMessageDlg && !G_pProgress);
    QCOMPARE(CommandHost(), nullptr);
    QueueLanInfo({}, {}); // no console, no command
    QVERIFY(G_mWebQueue.isEmpty());
}

void TestConsole::showPage()
{
    // Showing the console shows the summary first.
    QVERIFY(G_pSummaryDlg->isVisible());
    QWidget* const pages[] = {G_pIPAddrDlg, G_pModeDlg,     G_pSummaryDlg,
                              G_pSurveyDlg, G_pPasswordDlg, G_pSaveDlg};
    for (QWidget* shown : pages) {
        m_fixture.console->ShowPage(shown);
        for (QWidget* page : pages)
            QCOMPARE(page->isVisible(), page == shown);
    }
    m_fixture.console->hide();
    m_fixture.console->ShowPage(G_pSurveyDlg);
    m_fixture.console->show();
    QVERIFY(G_pSummaryDlg->isVisible());
    QVERIFY(!G_pSurveyDlg->isVisible());
}

void TestConsole::buildersUseTheConsolesDevice()
{
    m_fixture.console->SetDevice(u"10.1.2.3"_qs, u"255.255.0.0"_qs);
    auto* connectButton = G_pSurveyDlg->findChild<QPushButton*>(u"1162"_qs);
    auto* keyEdit = G_pSurveyDlg->findChild<QLineEdit*>(u"1003"_qs);
    QVERIFY(connectButton && keyEdit);

    QVERIFY(!m_fixture.console->Timers()->IsRunning(CTarnDlg::kResultTimer));
    QueueReboot({}, {});
    QVERIFY(m_fixture.console->Timers()->IsRunning(CTarnDlg::kResultTimer));
    QVERIFY(connectButton->isEnabled() && keyEdit->isEnabled());
    QueueRepeater(0, u"Net"_qs, u"6"_qs, 0, 0, 0, {}, 0, 0, {}, {}, {}, {});
    QVERIFY(!connectButton->isEnabled() && !keyEdit->isEnabled());
    G_pSurveyDlg->SetConnectEnabled(true);
    QueueUpload({}, {}, u"/nonexistent"_qs);
    QVERIFY(!connectButton->isEnabled() && !keyEdit->isEnabled());

    QCOMPARE(G_mWebQueue.size(), 3);
    for (const _STRU_WEB_DATA& record : G_mWebQueue) {
        QCOMPARE(record.strAPIP, u"10.1.2.3"_qs);
        QCOMPARE(record.strAPSubnet, u"255.255.0.0"_qs);
    }
    QCOMPARE(G_mWebQueue[0].strID, u"REBOOT"_qs);
    QVERIFY(G_mWebQueue[0].strData.contains(u"\r\nHost: 10.1.2.3\r\n"));
    QCOMPARE(G_mWebQueue[1].strID, u"REPEATER"_qs);
    QCOMPARE(G_mWebQueue[2].strID, u"UPLOAD"_qs);
    QCOMPARE(G_mWebQueue[2].strFileName, u"/nonexistent"_qs);
}

void TestConsole::emptyQueueStopsTheTimerButDrains()
{
    QueueReboot({}, {});
    G_mWebQueue.clear();
    Finish(u"REBOOT"_qs, 4, u"HTTP/1.1 200 OK"_qs);
    Finish(u"RESETDEFAULT"_qs, 5, QString());
    Finish(u"SOMETHING"_qs, 4, QString());
    m_fixture.console->OnResultTimer();
    QVERIFY(!m_fixture.console->Timers()->IsRunning(CTarnDlg::kResultTimer));
    QVERIFY(G_mWebDone.isEmpty());
    QVERIFY(m_fixture.messages.isEmpty());
    QVERIFY(m_fixture.console->isVisible());

    // While commands are pending the timer keeps running.
    QueueReboot({}, {});
    m_fixture.console->OnResultTimer();
    QVERIFY(m_fixture.console->Timers()->IsRunning(CTarnDlg::kResultTimer));
}

void TestConsole::loadingChainInsideTheProgressDialog()
{
    StartFakePump({{u"LANINFO"_qs, {4, kLanAnswer}},
                   {u"WANINFO"_qs, {4, kWanAnswer}},
                   {u"GETSTATUS"_qs, {4, kStatusAnswer}}});
    QList<int> bitmaps;
    QTimer watch;
    watch.setInterval(5);
    connect(&watch, &QTimer::timeout, this, [&] {
        const int bitmap = G_pProgress->CurrentBitmap();
        if (bitmap && (bitmaps.isEmpty() || bitmaps.last() != bitmap))
            bitmaps.append(bitmap);
    });
    watch.start();
    QueueLanInfo({}, {});
    G_pProgress->m_strMessage = u"Loading...."_qs;
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer::singleShot(20'000, G_pProgress, [] { G_pProgress->done(9); });
    QCOMPARE(G_pProgress->exec(), 0);
    // The last picture stays a second before the dialog goes. The wait blocks, so the watcher
    // sees it only if its overdue tick still runs before exec() returns.
    QVERIFY(elapsed.elapsed() >= 1000);
    if (bitmaps.isEmpty() || bitmaps.last() != G_pProgress->CurrentBitmap())
        bitmaps.append(G_pProgress->CurrentBitmap());
    QCOMPARE(bitmaps, (QList<int>{172, 175, 179, 171}));
    QCOMPARE(G_mstrLanMACAddress, u"00:1A:2B:3C:4D:5E"_qs);
    QCOMPARE(G_mstrDHCPServer, u"Enable"_qs);
    QCOMPARE(G_mstrGateway, u"10.0.0.1"_qs);
    QCOMPARE(G_mstrSecondaryDNS, u"8.8.4.4"_qs);
    QCOMPARE(G_mstrSSID, u"Net"_qs);
    QCOMPARE(G_mstrFirmwareVersion, u"1.0.4"_qs);
    QVERIFY(m_fixture.messages.isEmpty());
    QVERIFY(m_fixture.console->isVisible());
}

void TestConsole::unusableAnswersLeaveValuesAndChainGoesOn()
{
    G_mstrLanIPAddress = G_mstrSSID = G_mstrFirmwareVersion = u"kept"_qs;
    StartFakePump({{u"LANINFO"_qs, {4, kUnauthorized}},
                   {u"WANINFO"_qs, {4, u"garbage without a status"_qs}},
                   {u"GETSTATUS"_qs, {4, u"HTTP/1.1 404 Not Found"_qs}}});
    // Lower-case keywords are the same commands.
    Finish(u"laninfo"_qs, 4, kUnauthorized);
    m_fixture.console->OnResultTimer();
    QCOMPARE(G_mWebQueue.size(), 1);
    QCOMPARE(G_mWebQueue.first().strID, u"WANINFO"_qs);
    QVERIFY(WaitFor([] { return G_mWebQueue.isEmpty() && G_mWebDone.isEmpty(); }));
    QVERIFY(WaitFor(
        [this] { return !m_fixture.console->Timers()->IsRunning(CTarnDlg::kResultTimer); }));
    QCOMPARE(G_mstrLanIPAddress, u"kept"_qs);
    QCOMPARE(G_mstrSSID, u"kept"_qs);
    QCOMPARE(G_mstrFirmwareVersion, u"kept"_qs);
    QVERIFY(m_fixture.messages.isEmpty());
}

void TestConsole::lostConnectionInTheChain_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<int>("result");
    QTest::newRow("LANINFO timed out") << u"LANINFO"_qs << 5;
    QTest::newRow("WANINFO closed with error") << u"WANINFO"_qs << 6;
    QTest::newRow("GETSTATUS unreachable") << u"GETSTATUS"_qs << 7;
}

void TestConsole::lostConnectionInTheChain()
{
    QFETCH(QString, keyword);
    QFETCH(int, result);
    G_mstrLanIPAddress = u"kept"_qs;
    bool closedFirst = false;
    QTimer::singleShot(0, this, [&] {
        Finish(keyword, result, kLanAnswer);
        Finish(u"SETUPIPADDRESS"_qs, 4, kStatusAnswer);
        m_fixture.console->OnResultTimer();
        closedFirst = !G_pProgress->isVisible();
    });
    QCOMPARE(G_pProgress->exec(), 0);
    QVERIFY(closedFirst);
    QCOMPARE(m_fixture.messages, QStringList{u"Cannot Connect to Repeater."_qs});
    QVERIFY(!m_fixture.console->isVisible());
    QCOMPARE(G_mstrLanIPAddress, u"kept"_qs);
    // The tick ended there: what was finished after it waits for a later tick.
    QCOMPARE(G_mWebDone.size(), 1);
    QCOMPARE(G_mWebDone.first().strID, u"SETUPIPADDRESS"_qs);
    QVERIFY(G_mWebQueue.isEmpty()); // nothing chained
}

void TestConsole::repeaterResults()
{
    auto* connectButton = G_pSurveyDlg->findChild<QPushButton*>(u"1162"_qs);
    auto* keyEdit = G_pSurveyDlg->findChild<QLineEdit*>(u"1003"_qs);
    keyEdit->setText(u"secret"_qs);
    G_pSurveyDlg->SetConnectEnabled(false);

    // Any answer is taken as accepted, even one that is not "200". The page's reboot wait that
    // follows is played at once rather than in its 38.5 s.
    Finish(u"REPEATER"_qs, 4, u"HTTP/1.1 500 Oops"_qs);
    QTimer::singleShot(0, this, [] {
        for (int tick = 0; tick <= CTarn_SurveyDlg::kRebootLastTick; ++tick)
            G_pSurveyDlg->OnTimer(CTarn_SurveyDlg::kRebootTimer);
    });
    m_fixture.console->OnResultTimer();
    QVERIFY(connectButton->isEnabled() && keyEdit->isEnabled());
    QVERIFY(keyEdit->text().isEmpty());
    QVERIFY(m_fixture.messages.isEmpty());

    // A lost connection leaves a running progress dialog to its owner; the message waits until
    // the owner has ended it. The console stands in its window again, as after a new Connect.
    m_fixture.console->show();
    bool progressStayed = false;
    QStringList messagesWhileProgress{u"none yet"_qs};
    QTimer::singleShot(0, this, [&] {
        QTimer::singleShot(50, this, [&] {
            progressStayed = G_pProgress->isVisible();
            messagesWhileProgress = m_fixture.messages;
            G_pProgress->done(3);
        });
        Finish(u"REPEATER"_qs, 7, QString());
        m_fixture.console->OnResultTimer();
    });
    QCOMPARE(G_pProgress->exec(), 3);
    QVERIFY(progressStayed);
    QCOMPARE(messagesWhileProgress, QStringList());
    QCOMPARE(m_fixture.messages, QStringList{u"Cannot Connect to Repeater."_qs});
    QVERIFY(!m_fixture.console->isVisible());
}

void TestConsole::pageBranches()
{
    auto* scan = G_pSurveyDlg->findChild<QPushButton*>(u"1161"_qs);
    auto* connectButton = G_pSurveyDlg->findChild<QPushButton*>(u"1162"_qs);
    scan->setEnabled(false);
    Finish(u"SITESURVEY"_qs, 5, QString());
    m_fixture.console->OnResultTimer();
    QVERIFY(scan->isEnabled() && !connectButton->isEnabled());

    // The address change's answer is scraped like a status page, whatever became of it.
    auto* ipApply = G_pIPAddrDlg->findChild<QPushButton*>(u"1168"_qs);
    ipApply->setEnabled(false);
    Finish(u"SETUPIPADDRESS"_qs, 4, u"HTTP/1.1 200 OK\r\n\r\n<div align=\"left\"> Saved </div>"_qs);
    PlayIPAddressWait();
    m_fixture.console->OnResultTimer();
    QCOMPARE(G_mstrFirmwareVersion, u"Saved"_qs);
    QVERIFY(ipApply->isEnabled());
    ipApply->setEnabled(false);
    Finish(u"SETUPIPADDRESS"_qs, 5, QString());
    PlayIPAddressWait();
    m_fixture.console->OnResultTimer();
    QVERIFY(ipApply->isEnabled());
    QCOMPARE(G_mstrFirmwareVersion, u"Saved"_qs);
    // The wait ends on the Locate page.
    QVERIFY(!m_fixture.console->isVisible());
    m_fixture.console->show();

    auto* firmwareApply = G_pModeDlg->findChild<QPushButton*>(u"1164"_qs);
    firmwareApply->setEnabled(false);
    Finish(u"UPLOAD"_qs, 5, QString());
    m_fixture.console->OnResultTimer();
    QVERIFY(firmwareApply->isEnabled());
    // Told by the firmware page, which keeps the user on the console.
    QCOMPARE(m_fixture.messages,
             QStringList{u"Please temporary turn off the firewall and antivirus "
                         u"programs and try again."_qs});
    QVERIFY(m_fixture.console->isVisible());
    m_fixture.messages.clear();

    auto* passwordApply = G_pPasswordDlg->findChild<QPushButton*>(u"1167"_qs);
    passwordApply->setEnabled(false);
    Finish(u"SETUPPASSWORD"_qs, 6, QString());
    m_fixture.console->OnResultTimer();
    QVERIFY(passwordApply->isEnabled());
    QVERIFY(!m_fixture.console->isVisible());
    QVERIFY(m_fixture.messages.isEmpty());
}

void TestConsole::okTest_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("response");
    QTest::addColumn<bool>("ok");
    // Usable and whole: what a page may take for the device's acceptance.
    QTest::addColumn<bool>("accepted");
    QTest::newRow("status line") << 4 << u"HTTP/1.1 200 OK\r\n\r\n"_qs << true << true;
    QTest::newRow("anywhere") << 4 << u"xx200yyHTTPzz\r\n\r\n"_qs << true << true;
    QTest::newRow("401") << 4 << u"HTTP/1.1 401 Unauthorized\r\n\r\n"_qs << false << false;
    QTest::newRow("no HTTP") << 4 << u"200 OK\r\n\r\n"_qs << false << false;
    QTest::newRow("lower case") << 4 << u"http/1.1 200 OK\r\n\r\n"_qs << false << false;
    QTest::newRow("no answer") << 5 << QString() << false << false;
    QTest::newRow("unreachable") << 7 << QString() << false << false;
    const QString upgrading = u"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nUpgrading"_qs;
    QTest::newRow("reset after a whole answer") << 6 << upgrading << true << false;
    QTest::newRow("time-out within the head") << 5 << u"HTTP/1.1 200 OK\r\n"_qs << true << false;
    QTest::newRow("time-out within the body")
        << 5 << u"HTTP/1.1 200 OK\r\ncontent-length:  40\r\n\r\nUpgr"_qs << true << false;
    QTest::newRow("closed within the body")
        << 4 << u"HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\nUpgr"_qs << true << false;
    QTest::newRow("whole refusal")
        << 4 << u"HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\nInvalid file format!"_qs << true
        << true;
    QTest::newRow("whole acceptance") << 4 << upgrading << true << true;
    QTest::newRow("whole, kept open") << 5 << upgrading << true << true;
    QTest::newRow("kept open, no length") << 5 << u"HTTP/1.1 200 OK\r\n\r\nUp"_qs << true << true;
}

void TestConsole::okTest()
{
    QFETCH(int, result);
    QFETCH(QString, response);
    QFETCH(bool, ok);
    QFETCH(bool, accepted);
    QCOMPARE(IsResponseOK(response), ok);
    QCOMPARE(IsAnswerAccepted(result, response), accepted);

    // The firmware page acts on that alone: only an accepted answer starts the upgrade wait.
    G_pModeDlg->FileEdit()->setText(u"/tmp/image.bin"_qs);
    bool waitStarted = false;
    QTimer::singleShot(0, this, [&] {
        waitStarted = G_pProgress->IsRunning();
        if (waitStarted)
            G_pProgress->done(0);
    });
    Finish(u"UPLOAD"_qs, result, response);
    m_fixture.console->OnResultTimer();
    QCOMPARE(waitStarted, accepted && !response.contains(u"Invalid file format!"));
    QCOMPARE(G_mWebQueue.size(), waitStarted ? 1 : 0); // the REBOOT
    QCOMPARE(m_fixture.messages.isEmpty(), waitStarted);
}

void TestConsole::logLines()
{
    QString longPage = kStatusAnswer;
    longPage += QString(32000, u'x');
    Finish(u"REBOOT"_qs, 4, u"HTTP/1.1 200 OK\r\n\r\nrebooting"_qs);
    Finish(u"SETUPIPADDRESS"_qs, 5, longPage);
    PlayIPAddressWait();
    m_fixture.console->OnResultTimer();
    const QByteArray log = ReadLog();
    QVERIFY2(log.contains("\r\ndwResult=4\r\n\r\n"), log.constData());
    QVERIFY(log.contains("\r\nHTTP/1.1 200 OK\r\n\r\nrebooting\r\n\r\n"));
    QVERIFY(log.contains("\r\ndwResult=5\r\n\r\n"));
    QVERIFY(log.contains("\r\nData length >32000\r\n\r\n"));
    QVERIFY(!log.contains("xxxxxxxxxx"));
    // Still handled in full.
    QCOMPARE(G_mstrFirmwareVersion, u"1.0.4"_qs);
}

QTEST_MAIN(TestConsole)
#include "test_console.moc"
