#include "configfixture.h"
#include "controls/ctlbutton.h"
#include "controls/ipaddressedit.h"
#include "controls/xhtmlstatic.h"
#include "pages/ipaddrdlg.h"
#include "pages/summarydlg.h"
#include "platform/windowtimers.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

class TestIPAddressPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstShow();
    void dhcpStateShown_data();
    void dhcpStateShown();
    void comingBackResetsTheEntries();
    void refusedSettings_data();
    void refusedSettings();
    void applySendsTheChoice();
    void labelAreas();
    void rebootWaitAfterAnyResult_data();
    void rebootWaitAfterAnyResult();
    void hiddenDuringTheWait();
    void checkedRadioIsMarked();

private:
    void Show() { m_fixture.console->ShowPage(m_page); }

    CConfigFixture m_fixture;
    CTarn_IPAddrDlg* m_page = nullptr;
};

void TestIPAddressPage::init()
{
    m_fixture.Init();
    m_page = G_pIPAddrDlg;
}

void TestIPAddressPage::cleanup()
{
    m_fixture.Cleanup();
}

void TestIPAddressPage::firstShow()
{
    QVERIFY(!m_page->AddressEntry()->isEnabled());
    G_mstrLanIPAddress = u"192.168.77.10"_qs;
    G_mstrLanSubnetMask = u"255.255.255.0"_qs;
    G_mstrDHCPServer = u"Enable"_qs;
    Show();
    QVERIFY(m_page->StaticIPRadio()->isChecked());
    QVERIFY(!m_page->AutoIPRadio()->isChecked());
    QVERIFY(m_page->AddressEntry()->isEnabled() && m_page->MaskEntry()->isEnabled());
    QCOMPARE(m_page->AddressEntry()->Text(), u"0.0.0.0"_qs);
    QCOMPARE(m_page->MaskEntry()->Text(), u"255.255.255.0"_qs);
    QCOMPARE(m_page->LanText(CTarn_IPAddrDlg::kLanAddress)->GetWindowText(), u"192.168.77.10"_qs);
    QCOMPARE(m_page->LanText(CTarn_IPAddrDlg::kLanMask)->GetWindowText(), u"255.255.255.0"_qs);
    QVERIFY(m_page->LanText(CTarn_IPAddrDlg::kLanAddress)->isVisible());
    QVERIFY(!m_page->LanText(CTarn_IPAddrDlg::kDHCPState)->isVisible());
    // The radios show boxes only, at the table's rectangles.
    QVERIFY(m_page->AutoIPRadio()->text().isEmpty());
    QCOMPARE(m_page->AutoIPRadio()->geometry(), QRect(380, 395, 19, 19));
    QCOMPARE(m_page->StaticIPRadio()->geometry(), QRect(450, 395, 19, 19));
    QCOMPARE(m_page->DHCPEnableRadio()->geometry(), QRect(380, 255, 15, 15));
    QCOMPARE(m_page->DHCPDisableRadio()->geometry(), QRect(450, 255, 15, 15));

    // A value from the device shows as it came: it cannot open a tag.
    G_mstrLanIPAddress = u"<a href=\"x\">10.0.0.1"_qs;
    m_fixture.console->ShowPage(G_pSummaryDlg);
    Show();
    QCOMPARE(m_page->LanText(CTarn_IPAddrDlg::kLanAddress)->GetWindowText(),
             u"&lt;a href=\"x\">10.0.0.1"_qs);
}

void TestIPAddressPage::dhcpStateShown_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("enable") << u"enable"_qs << true;
    QTest::newRow("Disable") << u"Disable"_qs << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("Enabled") << u"Enabled"_qs << false;
}

void TestIPAddressPage::dhcpStateShown()
{
    QFETCH(QString, state);
    QFETCH(bool, enabled);
    G_mstrDHCPServer = state;
    Show();
    // The one radio that shows the state is drawn enabled; the shared value is upper-cased.
    QCOMPARE(m_page->DHCPEnableRadio()->isChecked(), enabled);
    QCOMPARE(m_page->DHCPEnableRadio()->isEnabled(), enabled);
    QCOMPARE(m_page->DHCPDisableRadio()->isChecked(), !enabled);
    QCOMPARE(m_page->DHCPDisableRadio()->isEnabled(), !enabled);
    QCOMPARE(G_mstrDHCPServer, state.toUpper());
    // Display only: a click does not change them.
    QTest::mouseClick(m_page->DHCPDisableRadio(), Qt::LeftButton);
    QCOMPARE(m_page->DHCPEnableRadio()->isChecked(), enabled);
    // Nor does the other pair.
    QVERIFY(m_page->StaticIPRadio()->isChecked());
}

void TestIPAddressPage::comingBackResetsTheEntries()
{
    Show();
    m_page->AddressEntry()->SetText(u"10.1.2.3");
    m_page->MaskEntry()->SetText(u"255.0.0.0");
    QTest::mouseClick(m_page->AutoIPRadio(), Qt::LeftButton);
    QVERIFY(m_page->AutoIPRadio()->isChecked());
    m_fixture.console->ShowPage(G_pSummaryDlg);
    Show();
    QCOMPARE(m_page->AddressEntry()->Text(), u"0.0.0.0"_qs);
    QCOMPARE(m_page->MaskEntry()->Text(), u"255.255.255.0"_qs);
    QVERIFY(m_page->AutoIPRadio()->isChecked());
    QVERIFY(!m_page->StaticIPRadio()->isChecked());
}

void TestIPAddressPage::refusedSettings_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("onAddress");
    QTest::addColumn<int>("field");
    const QString first = u"Invalid IP address range in 1st digit. It should be 1-223"_qs;
    const QString fourth = u"Invalid IP address range in 4th digit. It should be 1-254"_qs;
    const QString mask = u"Invalid Subnet mask. It should be the number of 0, 128, 192, 224, 240, "
                         u"248, 252 or 254"_qs;
    QTest::newRow("0.1.2.3") << u"0.1.2.3"_qs << u"255.255.255.0"_qs << first << true << 0;
    QTest::newRow("192.168.2.255")
        << u"192.168.2.255"_qs << u"255.255.255.0"_qs << fourth << true << 3;
    QTest::newRow("wrong address and mask")
        << u"192.168.2.0"_qs << u"0.0.0.0"_qs << fourth << true << 3;
    QTest::newRow("mask 255.0.255.0") << u"10.0.0.1"_qs << u"255.0.255.0"_qs << mask << false << 0;
}

void TestIPAddressPage::refusedSettings()
{
    QFETCH(QString, address);
    QFETCH(QString, mask);
    QFETCH(QString, message);
    QFETCH(bool, onAddress);
    QFETCH(int, field);
    Show();
    m_page->AddressEntry()->SetText(address);
    m_page->MaskEntry()->SetText(mask);
    // Focus somewhere else first, so that the message's focus is seen to move.
    m_page->ApplyButton()->setFocus();
    QTest::mouseClick(m_page->ApplyButton(), Qt::LeftButton);
    QCOMPARE(m_fixture.messages, QStringList{message});
    QVERIFY(m_fixture.queued.isEmpty());
    QVERIFY(m_page->ApplyButton()->isEnabled());
    CIPAddressEdit* focused = onAddress ? m_page->AddressEntry() : m_page->MaskEntry();
    CIPAddressEdit* other = onAddress ? m_page->MaskEntry() : m_page->AddressEntry();
    // The message dialog has gone; the console's window takes the focus back where it was put.
    const QList<QLineEdit*> fields = focused->findChildren<QLineEdit*>();
    QCOMPARE(fields.size(), 4);
    QCOMPARE(m_fixture.console->focusWidget(), fields[field]);
    QVERIFY(!other->isAncestorOf(m_fixture.console->focusWidget()));
    // What the user typed stays for correcting.
    QCOMPARE(m_page->MaskEntry()->Text(), mask);
    QCOMPARE(m_page->AddressEntry()->Field(3), address.section(u'.', 3).toInt());
}

void TestIPAddressPage::applySendsTheChoice()
{
    Show();
    // Typed as a user would, the dots moving on to the next field.
    m_fixture.console->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_fixture.console.get()));
    m_page->AddressEntry()->Clear();
    m_page->AddressEntry()->SetFieldFocus(0);
    for (const QChar c : u"10.20.30.100"_qs)
        QTest::keyClicks(QApplication::focusWidget(), QString(c));
    QCOMPARE(m_page->AddressEntry()->Text(), u"10.20.30.100"_qs);
    m_page->MaskEntry()->SetText(u"255.255.0.0");
    QTest::mouseClick(m_page->ApplyButton(), Qt::LeftButton);
    QCOMPARE(m_fixture.Commands(), QStringList{u"SETUPIPADDRESS"_qs});
    QCOMPARE(m_fixture.LastBody(),
             u"ip=10.20.30.100&mask=255.255.0.0&dhcp=0&dhcpRangeStart=10.20.30."
             u"101&dhcpRangeEnd=10.20.30.199&submit-url=%2F01_03_00_homenet.asp"_qs);
    QVERIFY(!m_page->ApplyButton()->isEnabled());
    QVERIFY(m_fixture.messages.isEmpty());

    m_page->ApplyButton()->setEnabled(true);
    QTest::mouseClick(m_page->AutoIPRadio(), Qt::LeftButton);
    QTest::mouseClick(m_page->ApplyButton(), Qt::LeftButton);
    QVERIFY(m_fixture.LastBody().startsWith(u"ip=10.20.30.100&mask=255.255.0.0&dhcp=2&"_qs));
}

void TestIPAddressPage::labelAreas()
{
    Show();
    CCTLButton* autoIP = m_page->AutoIPRadio();
    CCTLButton* staticIP = m_page->StaticIPRadio();
    // The Auto IP words, then the Static IP words: each selects its own radio.
    CConfigFixture::PressAt(m_page, QPoint(420, 404));
    QVERIFY(autoIP->isChecked() && !staticIP->isChecked());
    CConfigFixture::PressAt(m_page, QPoint(495, 404));
    QVERIFY(staticIP->isChecked() && !autoIP->isChecked());
    // Edges included.
    CConfigFixture::PressAt(m_page, QPoint(449, 414));
    QVERIFY(autoIP->isChecked());
    CConfigFixture::PressAt(m_page, QPoint(605, 395));
    QVERIFY(staticIP->isChecked());
    // Just outside: nothing changes.
    for (const QPoint outside :
         {QPoint(606, 404), QPoint(420, 394), QPoint(420, 415), QPoint(379, 404)}) {
        CConfigFixture::PressAt(m_page, outside);
        QVERIFY2(staticIP->isChecked(), qPrintable(u"%1,%2"_qs.arg(outside.x()).arg(outside.y())));
    }
    // The radio boxes themselves.
    CConfigFixture::PressAt(m_page, QPoint(389, 404));
    QVERIFY(autoIP->isChecked());
    CConfigFixture::PressAt(m_page, QPoint(459, 404));
    QVERIFY(staticIP->isChecked());

    // The hand over the words and the room around them, not elsewhere.
    QCOMPARE(CConfigFixture::CursorAt(m_page, QPoint(420, 404)), Qt::PointingHandCursor);
    QCOMPARE(CConfigFixture::CursorAt(m_page, QPoint(605, 414)), Qt::PointingHandCursor);
    QCOMPARE(CConfigFixture::CursorAt(m_page, QPoint(606, 414)), Qt::ArrowCursor);
    QCOMPARE(CConfigFixture::CursorAt(m_page, QPoint(495, 404)), Qt::PointingHandCursor);
    QCOMPARE(CConfigFixture::CursorAt(m_page, QPoint(300, 404)), Qt::ArrowCursor);
}

void TestIPAddressPage::rebootWaitAfterAnyResult_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("response");
    QTest::addColumn<QString>("firmware");
    QTest::newRow("saved") << 4
                           << u"HTTP/1.1 200 OK\r\n\r\nRuntime Code Version:<div align=\"left\"> "
                              u"1.0.5 </div>"_qs
                           << u"1.0.5"_qs;
    QTest::newRow("refused page") << 4 << u"HTTP/1.1 400 Bad Request\r\n\r\nInvalid"_qs
                                  << QString();
    QTest::newRow("timed out") << 5 << QString() << QString();
}

void TestIPAddressPage::rebootWaitAfterAnyResult()
{
    QFETCH(int, result);
    QFETCH(QString, response);
    QFETCH(QString, firmware);
    Show();
    m_page->AddressEntry()->SetText(u"192.168.77.20");
    QTest::mouseClick(m_page->ApplyButton(), Qt::LeftButton);
    QVERIFY(!m_page->ApplyButton()->isEnabled());

    bool applyEnabled = false;
    const auto wait =
        m_fixture.PlayWait([&] { m_fixture.Finish(u"SETUPIPADDRESS"_qs, result, response); },
                           [&] {
                               applyEnabled = m_page->ApplyButton()->isEnabled();
                               return m_page->Timers()->IsRunning(CTarn_IPAddrDlg::kRebootTimer);
                           },
                           [&] { m_page->OnTimer(CTarn_IPAddrDlg::kRebootTimer); });
    QVERIFY(applyEnabled);
    QVERIFY(wait.timerRunning);
    QCOMPARE(wait.text, u"Rebooting...."_qs);
    QCOMPARE(wait.queuedAtStart, (QStringList{u"SETUPIPADDRESS"_qs, u"REBOOT"_qs}));
    QCOMPARE(m_fixture.LastBody(), u"reset_flag=0&submit-url=%2F03_03_reset.asp"_qs);
    QCOMPARE(wait.bitmaps, kWholeWaitBitmaps);
    QCOMPARE(m_page->m_nRebootTicks, 11);
    QVERIFY(!G_pProgress->isVisible());
    QVERIFY(!m_page->Timers()->IsRunning(CTarn_IPAddrDlg::kRebootTimer));
    QVERIFY(!m_fixture.console->isVisible());
    QVERIFY(m_fixture.messages.isEmpty());
    // An answer the device gave as its status page is read on the way.
    QCOMPARE(G_mstrFirmwareVersion, firmware);
}

void TestIPAddressPage::hiddenDuringTheWait()
{
    Show();
    // Whatever hides the page in the middle of the wait also ends it: the program would
    // otherwise stay blocked behind the progress dialog.
    bool paced = false;
    QTimer::singleShot(0, this, [&] {
        paced = m_page->Timers()->IsRunning(CTarn_IPAddrDlg::kRebootTimer);
        m_fixture.console->ShowPage(G_pSummaryDlg);
    });
    QTimer::singleShot(5000, G_pProgress, [] { G_pProgress->done(99); });
    m_page->OnSetupIPAddressResult();
    QVERIFY(paced);
    QCOMPARE(G_pProgress->result(), 0);
    QVERIFY(!m_page->Timers()->IsRunning(CTarn_IPAddrDlg::kRebootTimer));
}

void TestIPAddressPage::checkedRadioIsMarked()
{
    G_mstrIPAddress = u"192.168.77.10"_qs;
    G_mstrMACAddress = u"00:1A:2B:3C:4D:5E"_qs;
    G_mstrLanIPAddress = u"192.168.77.10"_qs;
    G_mstrLanSubnetMask = u"255.255.255.0"_qs;
    G_mstrDHCPServer = u"Enable"_qs;
    Show();
    m_page->AddressEntry()->SetText(u"192.168.88.30");
    QTest::mouseClick(m_page->AutoIPRadio(), Qt::LeftButton);
    const QImage image = m_page->grab().toImage();
    // The radio boxes are white squares over the picture's white panel, the checked one marked.
    QCOMPARE(image.size(), QSize(700, 500));
    QVERIFY(image.copy(380, 395, 19, 19) != image.copy(450, 395, 19, 19));
}

QTEST_MAIN(TestIPAddressPage)
#include "test_ipaddrdlg.moc"
