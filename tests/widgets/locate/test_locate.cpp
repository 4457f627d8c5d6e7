#include "console/tarndlg.h"
#include "controls/ptlabel.h"
#include "controls/xhtmlstatic.h"
#include "discovery/discoveryqueue.h"
#include "discovery/discoverytypes.h"
#include "locate/devicelist.h"
#include "locate/searchdlg.h"
#include "pages/progressdlg.h"
#include "pages/summarydlg.h"
#include "platform/diaglog.h"
#include "platform/windowtimers.h"
#include "protocol/commands.h"
#include "protocol/statusvalues.h"
#include "session/sessionvalues.h"
#include "tests/widgets/support/frametest.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QTimer>

namespace
{

_STRU_AP_INFO Device(int n)
{
    return {u"QZ-8061Tr"_qs,
            u"00:1A:2B:3C:4D:%1"_qs.arg(0x5E + n, 2, 16).toUpper(),
            u"192.168.77.%1"_qs.arg(10 + n),
            u"255.255.255.0"_qs,
            u"admin"_qs,
            u"s3cret"_qs};
}

// The scan's job is over and these devices answered.
void ScanEndsWith(CSearchDlg& page, const QList<_STRU_AP_INFO>& devices)
{
    G_mUDPQueue.clear();
    G_mAPList = devices;
    page.OnTimer();
}

} // namespace

class TestLocate : public CFrameTest
{
    Q_OBJECT
private slots:
    void scanAndResult_data();
    void scanAndResult();
    void selectedDeviceLosesLineBreaks();
    void connect();
    void connectToAnotherModelEndsTheProgram();
    void loginLogLineIsCut();
};

void TestLocate::scanAndResult_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("result");
    QTest::newRow("none") << 0 << u"Smart Repeater Not Found !"_qs;
    QTest::newRow("one") << 1 << u"1 Smart Repeater Found !"_qs;
    QTest::newRow("three") << 3 << u"3 Smart Repeaters Found !"_qs;
}

void TestLocate::scanAndResult()
{
    QFETCH(int, count);
    QFETCH(QString, result);
    CSearchDlg page(nullptr);
    page.resize(700, 500);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(page.ResultLabel()->Text(), u"Searching."_qs);
    QVERIFY(page.Timers()->IsRunning(CSearchDlg::kAnimationTimer));
    QVERIFY(!page.ScanButton()->isEnabled() && !page.ConnectButton()->isEnabled());
    QCOMPARE(G_mUDPQueue.size(), 1);
    page.OnTimer();
    page.OnTimer();
    QCOMPARE(page.ResultLabel()->Text(), u"Searching....."_qs);
    QVERIFY(!page.ScanButton()->isEnabled());

    QList<_STRU_AP_INFO> devices;
    for (int i = 0; i < count; ++i)
        devices.append(Device(count - i)); // in order of answer, not of address
    ScanEndsWith(page, devices);
    QCOMPARE(page.ResultLabel()->Text(), result);
    QCOMPARE(page.m_strResult, result);
    QVERIFY(!page.Timers()->IsRunning(CSearchDlg::kAnimationTimer));
    QVERIFY(page.ScanButton()->isEnabled());
    QCOMPARE(page.ConnectButton()->isEnabled(), count > 0);
    CDeviceList* list = page.DeviceList();
    QCOMPARE(list->topLevelItemCount(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(list->topLevelItem(i)->text(CDeviceList::IPAddress), devices[i].strIP);
    if (count == 0)
        return;
    QVERIFY(list->topLevelItem(0)->isSelected());
    QVERIFY(list->hasFocus());

    // Only MAC and IP address show, 259 and 198 pixels of the list's 472; rows of 35 pixels.
    for (int column = 0; column < CDeviceList::kColumnCount; ++column)
        QCOMPARE(list->isColumnHidden(column),
                 column != CDeviceList::MACAddress && column != CDeviceList::IPAddress);
    QCOMPARE(list->columnWidth(CDeviceList::MACAddress), 259);
    QCOMPARE(list->columnWidth(CDeviceList::IPAddress), 198);
    QCOMPARE(list->visualItemRect(list->topLevelItem(0)).height(), 35);
    QVERIFY(list->topLevelItem(0)->textAlignment(CDeviceList::IPAddress) & Qt::AlignRight);

    // A new scan empties the list and locks both buttons until it ends.
    QTest::mouseClick(page.ScanButton(), Qt::LeftButton);
    QCOMPARE(list->topLevelItemCount(), 0);
    QVERIFY(!page.ScanButton()->isEnabled() && !page.ConnectButton()->isEnabled());
    QCOMPARE(page.m_strResult, u"Searching."_qs);
    G_mUDPQueue.clear();
}

void TestLocate::selectedDeviceLosesLineBreaks()
{
    CSearchDlg page(nullptr);
    page.show();
    _STRU_AP_INFO device;
    QVERIFY(!page.GetSelectedDevice(device));
    ScanEndsWith(page, {{u"QZ-8061Tr\r\n"_qs, u"00:1A:2B:3C:4D:5E"_qs, u"192.168.\n77.10"_qs,
                         u"255.255.255.0\r"_qs, u"ad\r\nmin"_qs, u"s3c\nret"_qs}});
    QVERIFY(page.GetSelectedDevice(device));
    QCOMPARE(device, (_STRU_AP_INFO{u"QZ-8061Tr"_qs, u"00:1A:2B:3C:4D:5E"_qs, u"192.168.77.10"_qs,
                                    u"255.255.255.0"_qs, u"admin"_qs, u"s3cret"_qs}));
}

void TestLocate::connect()
{
    QStringList queued;
    SetAddCommandForTest([&](const QString& strID, const QString&, const QString&, const QString&,
                             const QString&, qsizetype, qint64) { queued.append(strID); });
    QFile::remove(LogFilePath());
    G_mstrSSID = u"Previous device"_qs;
    COstrelDlg frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CSearchDlg* page = G_pSearchDlg;

    // Nothing selected, nothing happens.
    ScanEndsWith(*page, {Device(0)});
    page->DeviceList()->clearSelection();
    page->OnConnect();
    QVERIFY(!G_pTarnDlg && queued.isEmpty() && G_mstrUserName.isEmpty());

    page->DeviceList()->topLevelItem(0)->setSelected(true);
    QString progressText, ssidShown = u"?"_qs;
    QStringList queuedWhileLoading;
    QTimer::singleShot(100, &frame, [&] {
        progressText = G_pProgress->m_strMessage;
        queuedWhileLoading = queued;
        ssidShown = G_pSummaryDlg->Value(1134)->GetWindowText();
        // The device's answers fill the values while the progress runs.
        G_mstrSSID = u"HomeNet"_qs;
        G_pProgress->done(0);
    });
    QTest::mouseClick(page->ConnectButton(), Qt::LeftButton);
    QCOMPARE(progressText, u"Loading...."_qs);
    QCOMPARE(queuedWhileLoading, QStringList{u"LANINFO"_qs});
    QCOMPARE(ssidShown, QString()); // never the previous device's values
    QCOMPARE(G_pSummaryDlg->Value(1134)->GetWindowText(), u"HomeNet"_qs);
    QVERIFY(G_pTarnDlg && G_pTarnDlg->isVisible() && !page->isVisible());
    QCOMPARE(G_pTarnDlg->m_strIPAddress, u"192.168.77.10"_qs);
    QCOMPARE(G_pTarnDlg->m_strSubnetMask, u"255.255.255.0"_qs);
    QCOMPARE(G_mstrUserName, u"admin"_qs);
    QCOMPARE(G_mstrPassword, u"s3cret"_qs);
    QCOMPARE(G_mstrIPAddress, u"192.168.77.10"_qs);
    QCOMPARE(G_mstrMACAddress, u"00:1A:2B:3C:4D:5E"_qs);
    QCOMPARE(G_mstrAuthorization, u"YWRtaW46czNjcmV0"_qs);
    QFile log(LogFilePath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("\r\nG_mstrUserName=admin G_mstrPassword=s3cret "
                                   "G_mstrIPAddress=192.168.77.10 "
                                   "G_mstrMACAddress=00:1A:2B:3C:4D:5E\r\n"));
    SetAddCommandForTest({});
}

void TestLocate::connectToAnotherModelEndsTheProgram()
{
    QStringList queued;
    SetAddCommandForTest([&](const QString& strID, const QString&, const QString&, const QString&,
                             const QString&, qsizetype, qint64) { queued.append(strID); });
    COstrelDlg frame;
    QTimer::singleShot(0, &frame, [&] {
        _STRU_AP_INFO other = Device(0);
        other.strModel = u"QZ-8060Tr"_qs;
        ScanEndsWith(*G_pSearchDlg, {other});
        QTest::mouseClick(G_pSearchDlg->ConnectButton(), Qt::LeftButton);
    });
    QCOMPARE(frame.exec(), 0);
    QVERIFY(!G_pTarnDlg);
    QVERIFY(queued.isEmpty());
    SetAddCommandForTest({});
}

void TestLocate::loginLogLineIsCut()
{
    const QByteArray line =
        CSearchDlg::LoginLogLine(u"admin"_qs, QString(2000, u'p'), u"1.2.3.4"_qs, u"mac"_qs);
    QCOMPARE(line.size(), 1023);
    QVERIFY(line.startsWith("G_mstrUserName=admin G_mstrPassword=ppp"));
    QCOMPARE(CSearchDlg::LoginLogLine(u"\u00e9"_qs, u"\u4e2d"_qs, {}, {}),
             QByteArray("G_mstrUserName=\xe9 G_mstrPassword=? G_mstrIPAddress= "
                        "G_mstrMACAddress="));
}

QTEST_MAIN(TestLocate)
#include "test_locate.moc"
