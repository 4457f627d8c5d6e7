// The Locate page end to end: the real frame, in this process, against the simulated repeaters
// of the harness's namespaces. Runs only inside the PC namespace of scripts/netns.
#include "controls/ctlbutton.h"
#include "controls/hmxstatic.h"
#include "controls/ptlabel.h"
#include "controls/xhtmlstatic.h"
#include "discovery/discoveryqueue.h"
#include "discovery/discoverytypes.h"
#include "discovery/udpmanager.h"
#include "platform/diaglog.h"
#include "platform/netconfig_netlink.h"
#include "protocol/statusvalues.h"
#include "session/sessionvalues.h"
#include "session/webmanager.h"
#include "tests/e2e/support/wizardrun.h"

#include <QPointer>
#include <net/if.h>
#include <set>

namespace
{

// "001a2b3c4d5e" as the list shows it.
QString ListedMAC(int device)
{
    const QString hex = DeviceEnv("MAC", device).toUpper();
    QStringList pairs;
    for (int i = 0; i < hex.size(); i += 2)
        pairs.append(hex.mid(i, 2));
    return pairs.join(u':');
}

// Times of the datagrams a device has received, from its record file.
QList<double> ReceivedDatagrams(int device)
{
    QList<double> times;
    for (const SimRecord& record : ReadRecords(device)) {
        if (record.kind == "udp")
            times.append(record.time);
    }
    return times;
}

QStringList ListedColumn(int column)
{
    QStringList texts;
    CDeviceList* list = G_pSearchDlg->DeviceList();
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        texts.append(list->topLevelItem(row)->text(column));
    return texts;
}

// Beside what every watch sees: where the progress dialog stood, what the Locate page said
// while it scanned, and whether the summary was still empty while loading.
class CWatcher : public CProgressWatch
{
public:
    explicit CWatcher(QWidget* frame)
        : CProgressWatch([this](CProgressWatch&) { LookAtThePages(); }, frame), m_frame(frame)
    {
    }

    QStringList resultTexts;
    QPoint progressOffset;
    bool progressWhileMessage = false;
    bool summaryEmptyWhileLoading = true;
    bool buttonsEnabledWhileScanning = false;
    QImage loading;

private:
    void LookAtThePages()
    {
        if (G_pProgress && G_pProgress->isVisible()) {
            progressOffset = m_frame->mapFromGlobal(G_pProgress->mapToGlobal(QPoint()));
            if (G_pProgress->CurrentBitmap() == 175 && loading.isNull())
                loading = Screen(m_frame, G_pProgress);
            if (G_pSummaryDlg &&
                !G_pSummaryDlg->Value(CTarn_SummaryDlg::kFirstValue)->GetWindowText().isEmpty())
                summaryEmptyWhileLoading = false;
        }
        if (G_pMessageDlg && G_pMessageDlg->isVisible())
            progressWhileMessage |= G_pProgress && G_pProgress->isVisible();
        if (G_pSearchDlg) {
            const QString text = G_pSearchDlg->ResultLabel()->Text();
            if (resultTexts.isEmpty() || resultTexts.last() != text)
                resultTexts.append(text);
            if (Scanning() && (G_pSearchDlg->ScanButton()->isEnabled() ||
                               G_pSearchDlg->ConnectButton()->isEnabled()))
                buttonsEnabledWhileScanning = true;
        }
    }

    QWidget* m_frame;
};

} // namespace

class TestLocateEndToEnd : public CWizardTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void oneDeviceFound();
    void connectLoadsTheSummary();
    void locateStepAndSecondConnect();
    void deviceSwitchedOffAfterTheScan();
    void closeDuringScanSendsNothing();
    void twoDevicesInOrderOfFirstAnswer();
    void noDevice();
    void connectThroughTheAdapterThatHeardIt();

private:
    bool WaitForScanEnd(int ms = 10'000)
    {
        return WaitFor([] { return !Scanning(); }, ms);
    }
    void Connect(CWatcher& watcher);
    void CheckSummaryShows(int device);
};

void TestLocateEndToEnd::init()
{
    ShowFrame();
    QVERIFY(G_pSearchDlg && G_pSearchDlg->isVisible());
}

void TestLocateEndToEnd::cleanup()
{
    m_frame.reset();
    QVERIFY(!G_pSearchDlg && !G_pTarnDlg && !G_pUDPManager && !G_pWEBManager);
}

void TestLocateEndToEnd::oneDeviceFound()
{
    CWatcher watcher(m_frame.get());
    QElapsedTimer scan;
    scan.start();
    QCOMPARE(G_pSearchDlg->m_strResult, u"Searching."_qs);
    QVERIFY(!G_pSearchDlg->ScanButton()->isEnabled());
    QVERIFY(!G_pSearchDlg->ConnectButton()->isEnabled());
    QCOMPARE(G_pSearchDlg->DeviceList()->topLevelItemCount(), 0);
    QVERIFY(WaitFor([] { return G_pSearchDlg->m_strResult == u"Searching..."_qs; }, 2000));
    Save(Screen(m_frame.get()), u"locate_searching"_qs);

    QVERIFY(WaitForScanEnd());
    const qint64 scanMs = scan.elapsed();
    QVERIFY2(scanMs > 2000 && scanMs < 6000, qPrintable(QString::number(scanMs)));
    QVERIFY(!watcher.buttonsEnabledWhileScanning);
    QCOMPARE(watcher.resultTexts.value(0), u"Searching."_qs);
    QCOMPARE(watcher.resultTexts.value(1), u"Searching..."_qs);
    QCOMPARE(G_pSearchDlg->m_strResult, u"1 Smart Repeater Found !"_qs);

    CDeviceList* list = G_pSearchDlg->DeviceList();
    QCOMPARE(list->topLevelItemCount(), 1);
    QVERIFY(list->topLevelItem(0)->isSelected());
    QVERIFY(G_pSearchDlg->ConnectButton()->isEnabled());
    QVERIFY(G_pSearchDlg->ScanButton()->isEnabled());
    _STRU_AP_INFO device;
    QVERIFY(G_pSearchDlg->GetSelectedDevice(device));
    QCOMPARE(device.strModel, DeviceEnv("MODEL", 1));
    QCOMPARE(device.strMAC, ListedMAC(1));
    QCOMPARE(device.strIP, DeviceEnv("IP", 1));
    QCOMPARE(device.strSubnet, DeviceEnv("MASK", 1));
    QCOMPARE(device.strUserName, DeviceEnv("USER", 1));
    QCOMPARE(device.strPassword, DeviceEnv("PASSWORD", 1));
    Save(Screen(m_frame.get()), u"locate_found"_qs);

    // A press below the last row leaves nothing selected; a press on the row selects it again.
    QWidget* viewport = list->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(100, viewport->height() - 10));
    QVERIFY(list->selectedItems().isEmpty());
    QVERIFY(!G_pSearchDlg->ConnectButton()->isEnabled());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(100, CDeviceList::RowHeight() / 2));
    QVERIFY(list->topLevelItem(0)->isSelected());
    QVERIFY(G_pSearchDlg->ConnectButton()->isEnabled());

    // Scan starts a new scan; pressing it again meanwhile starts none: the device hears the
    // three queries of one scan.
    const qsizetype before = ReceivedDatagrams(1).size();
    QTest::mouseClick(G_pSearchDlg->ScanButton(), Qt::LeftButton);
    QVERIFY(Scanning());
    QCOMPARE(list->topLevelItemCount(), 0);
    QTest::qWait(1000);
    QTest::mouseClick(G_pSearchDlg->ScanButton(), Qt::LeftButton);
    QVERIFY(WaitForScanEnd());
    QTest::qWait(300);
    QCOMPARE(ReceivedDatagrams(1).size() - before, 3);
    QCOMPARE(list->topLevelItemCount(), 1);
}

void TestLocateEndToEnd::Connect(CWatcher& watcher)
{
    QVERIFY(WaitForScanEnd());
    QVERIFY(G_pSearchDlg->ConnectButton()->isEnabled());
    QElapsedTimer loading;
    loading.start();
    // The click returns once the Loading progress has ended: its run is modal.
    QTest::mouseClick(G_pSearchDlg->ConnectButton(), Qt::LeftButton);
    qInfo("Connect took %lld ms", loading.elapsed());
    QTest::qWait(100);
    QVERIFY(watcher.progressTexts == QStringList{u"Loading...."_qs});
}

void TestLocateEndToEnd::CheckSummaryShows(int device)
{
    QVERIFY(G_pTarnDlg && G_pTarnDlg->isVisible());
    QVERIFY(!G_pSearchDlg->isVisible());
    QVERIFY(G_pSummaryDlg->isVisible());
    const QStringList expected = SimDevice(u"values"_qs, device);
    QCOMPARE(expected.size(), CTarn_SummaryDlg::kValueCount);
    QStringList shown;
    for (int i = 0; i < CTarn_SummaryDlg::kValueCount; ++i)
        shown.append(G_pSummaryDlg->Value(CTarn_SummaryDlg::kFirstValue + i)->GetWindowText());
    QCOMPARE(shown, expected);
    const bool dhcp = expected[4] == u"Enable";
    QCOMPARE(G_pSummaryDlg->EnableRadio()->isChecked(), dhcp);
    QCOMPARE(G_pSummaryDlg->DisableRadio()->isChecked(), !dhcp);
    QCOMPARE(G_pSummaryDlg->EnableRadio()->isEnabled(), dhcp);
    QCOMPARE(G_mstrIPAddress, DeviceEnv("IP", device));
    QCOMPARE(G_mstrMACAddress, ListedMAC(device));
    QCOMPARE(G_pSummaryDlg->IPLabel()->Text(), G_mstrIPAddress);
    QCOMPARE(G_pSummaryDlg->MACLabel()->Text(), G_mstrMACAddress);
}

void TestLocateEndToEnd::connectLoadsTheSummary()
{
    // Joined to a network, the device has a value for every line of the summary.
    QVERIFY(WaitForScanEnd());
    SimDevice(u"join"_qs, 1);
    QTest::mouseClick(G_pSearchDlg->ScanButton(), Qt::LeftButton);

    CWatcher watcher(m_frame.get());
    Connect(watcher);
    QCOMPARE(watcher.bitmaps, (QList<int>{172, 175, 179, 171}));
    QCOMPARE(watcher.messages, QStringList());
    QCOMPARE(watcher.progressOffset, QPoint(220, 178));
    QVERIFY(watcher.summaryEmptyWhileLoading);
    CheckSummaryShows(1);
    for (int i = 0; i < CTarn_SummaryDlg::kValueCount; ++i)
        QVERIFY(
            !G_pSummaryDlg->Value(CTarn_SummaryDlg::kFirstValue + i)->GetWindowText().isEmpty());

    QCOMPARE(G_mstrUserName, DeviceEnv("USER", 1));
    QCOMPARE(G_mstrPassword, DeviceEnv("PASSWORD", 1));
    QCOMPARE(G_mstrAuthorization,
             QString::fromLatin1(
                 (DeviceEnv("USER", 1) + u':' + DeviceEnv("PASSWORD", 1)).toLatin1().toBase64()));
    QFile log(LogFilePath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains(
        u"G_mstrUserName=%1 G_mstrPassword=%2 G_mstrIPAddress=%3 "
        u"G_mstrMACAddress=%4"_qs
            .arg(DeviceEnv("USER", 1), DeviceEnv("PASSWORD", 1), DeviceEnv("IP", 1), ListedMAC(1))
            .toLatin1()));
    Save(watcher.loading, u"loading"_qs);
    Save(Screen(m_frame.get()), u"summary"_qs);

    // On another subnet the connect borrowed an address of the device's subnet; closing the
    // program gives it back.
    const QString pcInterface = Env("KELDA_PC_IF");
    const QString prefix = DeviceEnv("IP", 1).section(u'.', 0, 2) + u'.';
    auto borrowed = [&] {
        return QString::fromLatin1(Run(u"ip"_qs, {u"-4"_qs, u"-o"_qs, u"addr"_qs, u"show"_qs,
                                                  u"dev"_qs, pcInterface}))
            .contains(u" "_qs + prefix + u"24"_qs);
    };
    const bool otherSubnet = !Env("KELDA_PC_IP").startsWith(prefix);
    QCOMPARE(borrowed(), otherSubnet);
    m_frame.reset();
    QVERIFY(!borrowed());
}

void TestLocateEndToEnd::locateStepAndSecondConnect()
{
    {
        CWatcher watcher(m_frame.get());
        Connect(watcher);
    }
    const QPointer<CTarnDlg> firstConsole = G_pTarnDlg;
    const QPointer<CTarn_SummaryDlg> firstSummary = G_pSummaryDlg;
    QVERIFY(firstConsole && firstConsole->isVisible());

    QTest::mouseClick(G_pSummaryDlg->StepButton(Skin::Locate), Qt::LeftButton);
    QVERIFY(G_pSearchDlg->isVisible());
    QCOMPARE(G_pSearchDlg->m_strResult, u"Searching."_qs);
    QVERIFY(Scanning());
    QVERIFY(firstConsole && !firstConsole->isVisible());
    QCOMPARE(G_pTarnDlg, firstConsole.data());

    CWatcher watcher(m_frame.get());
    Connect(watcher);
    QVERIFY(!firstConsole);
    QVERIFY(!firstSummary);
    QCOMPARE(watcher.bitmaps, (QList<int>{172, 175, 179, 171}));
    CheckSummaryShows(1);
}

void TestLocateEndToEnd::deviceSwitchedOffAfterTheScan()
{
    QVERIFY(WaitForScanEnd());
    QVERIFY(Control({u"power-off"_qs}, 1));
    CWatcher watcher(m_frame.get());
    Connect(watcher);
    QVERIFY(WaitFor([&] { return !watcher.messages.isEmpty(); }, 60'000));
    QCOMPARE(watcher.messages, QStringList{u"Cannot Connect to Repeater."_qs});
    QVERIFY(!watcher.progressWhileMessage);
    QCOMPARE(watcher.bitmaps, QList<int>{172});
    // Back on the Locate page, which scans again and finds nothing.
    QVERIFY(G_pSearchDlg->isVisible());
    QVERIFY(G_pTarnDlg && !G_pTarnDlg->isVisible());
    QVERIFY(Scanning() || watcher.resultTexts.contains(u"Searching."_qs));
    QVERIFY(WaitForScanEnd());
    QCOMPARE(G_pSearchDlg->m_strResult, u"Smart Repeater Not Found !"_qs);
    QVERIFY(!G_pSearchDlg->ConnectButton()->isEnabled());
    QVERIFY(Control({u"power-on"_qs}, 1));
}

void TestLocateEndToEnd::closeDuringScanSendsNothing()
{
    const qsizetype before = ReceivedDatagrams(1).size();
    qsizetype atClose = -1;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (ReceivedDatagrams(1).size() > before && atClose < 0) {
            QVERIFY(Scanning());
            QTest::mouseClick(G_pSearchDlg->findChild<CPTButton*>(u"1018"_qs), Qt::LeftButton, {},
                              QPoint(9, 9));
            atClose = ReceivedDatagrams(1).size();
        }
    });
    poll.start(20);
    QCOMPARE(m_frame->exec(), 0);
    poll.stop();
    // What main() does once the frame's run has returned.
    m_frame.reset();
    QVERIFY(G_mUDPQueue.isEmpty() && G_mAPList.isEmpty());
    QVERIFY(atClose > before);
    QTest::qWait(3000);
    // One query may have been on its way when Close was pressed.
    QVERIFY2(ReceivedDatagrams(1).size() - atClose <= 1,
             qPrintable(QString::number(ReceivedDatagrams(1).size() - atClose)));
    QVERIFY(ReceivedDatagrams(1).size() - before < 3);
}

void TestLocateEndToEnd::twoDevicesInOrderOfFirstAnswer()
{
    QVERIFY(WaitForScanEnd());
    QCOMPARE(G_pSearchDlg->m_strResult, u"2 Smart Repeaters Found !"_qs);
    QCOMPARE(G_pSearchDlg->DeviceList()->topLevelItemCount(), 2);
    QVERIFY(G_pSearchDlg->DeviceList()->topLevelItem(0)->isSelected());

    // The device that keeps quiet at the first query of a scan is listed second, whatever
    // its address.
    for (const int late : {1, 2}) {
        const int early = 3 - late;
        QVERIFY(Control({u"fault"_qs, u"no-discovery"_qs}, late));
        const qsizetype heard = ReceivedDatagrams(early).size();
        QTest::mouseClick(G_pSearchDlg->ScanButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&] { return ReceivedDatagrams(early).size() > heard; }, 3000));
        QTest::qWait(100);
        QVERIFY(Control({u"fault"_qs, u"none"_qs}, late));
        QVERIFY(WaitForScanEnd());
        QCOMPARE(G_pSearchDlg->m_strResult, u"2 Smart Repeaters Found !"_qs);
        QCOMPARE(ListedColumn(CDeviceList::IPAddress),
                 (QStringList{DeviceEnv("IP", early), DeviceEnv("IP", late)}));
        QCOMPARE(ListedColumn(CDeviceList::MACAddress),
                 (QStringList{ListedMAC(early), ListedMAC(late)}));
        QVERIFY(G_pSearchDlg->DeviceList()->topLevelItem(0)->isSelected());
        QVERIFY(G_pSearchDlg->ConnectButton()->isEnabled());
    }
    Save(Screen(m_frame.get()), u"locate_found_two"_qs);
}

void TestLocateEndToEnd::noDevice()
{
    QVERIFY(WaitForScanEnd());
    QCOMPARE(G_pSearchDlg->m_strResult, u"Smart Repeater Not Found !"_qs);
    QCOMPARE(G_pSearchDlg->DeviceList()->topLevelItemCount(), 0);
    QVERIFY(!G_pSearchDlg->ConnectButton()->isEnabled());
    QVERIFY(G_pSearchDlg->ScanButton()->isEnabled());
    QTest::mouseClick(G_pSearchDlg->DeviceList()->viewport(), Qt::LeftButton, {}, QPoint(50, 10));
    QVERIFY(!G_pSearchDlg->ConnectButton()->isEnabled());
    Save(Screen(m_frame.get()), u"locate_not_found"_qs);
}

namespace
{

// Every address that appears on any adapter while it runs, as "adapter address/prefix".
class CAddressWatch : public QObject
{
public:
    CAddressWatch() : m_before(Now())
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (const QString& entry : Now()) {
                if (!m_before.contains(entry))
                    added.insert(entry);
            }
        });
        m_timer.start(20);
    }

    std::set<QString> added;

private:
    static QSet<QString> Now()
    {
        std::vector<netconfig::LinkInfo> links;
        std::vector<netconfig::AddressInfo> addresses;
        QSet<QString> entries;
        if (netconfig::ListLinks(links) < 0 || netconfig::ListAddresses(addresses) < 0)
            return entries;
        for (const auto& address : addresses) {
            netconfig::LinkInfo link;
            if (!netconfig::FindLink(links, address.index, link))
                continue;
            entries.insert(QString::fromStdString(link.name + ' ' +
                                                  netconfig::AddressText(address.address)) +
                           u'/' + QString::number(address.prefixLength));
        }
        return entries;
    }

    QSet<QString> m_before;
    QTimer m_timer;
};

QStringList Routes()
{
    return QString::fromLatin1(Run(u"ip"_qs, {u"-4"_qs, u"route"_qs, u"show"_qs}))
        .split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

// Run on PCs whose adapter lists differ; connect_time.py compares the times they write.
void TestLocateEndToEnd::connectThroughTheAdapterThatHeardIt()
{
    QVERIFY(WaitForScanEnd());
    const QString deviceLink = Env("KELDA_PC_DEVICE_IF");
    QCOMPARE(G_mAPList.size(), 1);
    QCOMPARE(G_mAPList.first().dwInterfaceIndex, if_nametoindex(deviceLink.toLatin1().constData()));

    const QStringList routesBefore = Routes();
    CAddressWatch addresses;
    CWatcher watcher(m_frame.get());
    QElapsedTimer connectTime;
    connectTime.start();
    Connect(watcher);
    const qint64 ms = connectTime.elapsed();
    CheckSummaryShows(1);

    // One address, on the adapter that heard the device; the routing table gains the route to
    // the device alone, from that address.
    const QString prefix = DeviceEnv("IP", 1).section(u'.', 0, 2) + u'.';
    const QString temporary = prefix + u"241"_qs;
    QStringList added(addresses.added.begin(), addresses.added.end());
    qInfo("addresses added during the connect: %s", qPrintable(added.join(u", "_qs)));
    QCOMPARE(added, QStringList{deviceLink + u' ' + temporary + u"/24"_qs});
    QStringList gained = Routes();
    for (const QString& route : routesBefore)
        QVERIFY2(gained.removeAll(route) == 1, qPrintable(route));
    QCOMPARE(gained.size(), 1);
    QVERIFY2(gained.first().startsWith(DeviceEnv("IP", 1) + u" dev "_qs + deviceLink + u' ') &&
                 gained.first().contains(u"src "_qs + temporary),
             qPrintable(gained.first()));
    for (const SimRecord& record : ReadRecords(1)) {
        if (record.kind == "tcp")
            QVERIFY2(record.source.startsWith(temporary.toLatin1()), record.source.constData());
    }

    QFile times(Env("KELDA_CONNECT_TIME_FILE"));
    if (!times.fileName().isEmpty() && times.open(QIODevice::WriteOnly))
        times.write(QByteArray::number(ms));
    m_frame.reset();
    QCOMPARE(Routes(), routesBefore);
}

int main(int argc, char* argv[])
{
    return RunWizardTest<TestLocateEndToEnd>(argc, argv);
}

#include "locate_e2e.moc"
