#include "console/tarndlg.h"
#include "controls/xhtmlstatic.h"
#include "pages/messagedlg.h"
#include "pages/progressdlg.h"
#include "pages/summarydlg.h"
#include "pages/surveydlg.h"
#include "platform/windowtimers.h"
#include "protocol/commands.h"
#include "protocol/statusvalues.h"
#include "rules/surveyparser.h"
#include "session/sessionvalues.h"
#include "session/webmanager.h"
#include "tests/widgets/configpages/configfixture.h"

#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

namespace
{

struct Network {
    QString channel, ssid, bssid, cipher, mode;
};

// Shaped like the device's survey page: the count in a hidden input, eight cells a row, the
// channel and SSID followed by hidden inputs, the eighth cell the row's radio button.
QString SurveyPage(const QList<Network>& networks, int count = -1)
{
    QString page = u"HTTP/1.1 200 OK\r\n\r\n<table><input type=\"hidden\" name=\"apCount\" "
                   u"value=\""_qs +
                   QString::number(count < 0 ? networks.size() : count) + u"\">\n"_qs;
    auto cell = [](const QString& text) {
        return u"<td><font size=\"2\">"_qs + text + u"</font></td>"_qs;
    };
    for (const Network& n : networks)
        page += u"<tr>"_qs + cell(n.channel + u"<input type=\"hidden\">"_qs) +
                cell(n.ssid + u"<input type=\"hidden\">"_qs) + cell(n.bssid) + cell(n.cipher) +
                cell(n.mode) + cell(u"60"_qs) + cell(u"11b/g"_qs) +
                cell(u"<input type=\"radio\">"_qs) + u"</tr>\n"_qs;
    return page + u"</table>"_qs;
}

const QList<Network> kNetworks = {
    {u"1"_qs, u"CafeOpen"_qs, u"00:0e:8e:10:20:01"_qs, u"NONE"_qs, u"OPEN"_qs},
    {u"6"_qs, u"OldWep"_qs, u"00:0e:8e:10:20:02"_qs, u"WEP"_qs, u"OPEN"_qs},
    {u"11"_qs, u"HomeTkip"_qs, u"00:0e:8e:10:20:03"_qs, u"TKIP"_qs, u"WPAPSK"_qs},
    {u"3"_qs, u"OfficeAes"_qs, u"00:0e:8e:10:20:04"_qs, u"AES"_qs, u"WPA2PSK"_qs},
    {u"9"_qs, u"MixedMode"_qs, u"00:0e:8e:10:20:05"_qs, u"TKIPAES"_qs, u"WPA1PSKWPA2PSK"_qs},
    {u"4"_qs, u"    "_qs, u"00:0e:8e:10:20:06"_qs, u"NONE"_qs, u"OPEN"_qs},
};
enum Row { Cafe, Wep, Tkip, Aes, Mixed, Nameless };

} // namespace

class TestSurveyPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_fixture.Cleanup(); }
    void firstShowScans();
    void surveyFillsTheList();
    void surveysWithoutRows();
    void keyEntryFollowsTheSelection();
    void connectSendsOrRefuses();
    void rebootWait();
    void comingBack();
    void selectedRowIsDrawn();

private:
    // Shows the page (which scans) and answers its survey through the console.
    void Survey(const QString& page);
    void Select(int row);
    QString LastBody() const;

    CConfigFixture m_fixture;
    CTarn_SurveyDlg* m_page = nullptr;
};

void TestSurveyPage::init()
{
    m_fixture.Init();
    m_page = G_pSurveyDlg;
}

// The body without the line end the request closes with.
QString TestSurveyPage::LastBody() const
{
    return m_fixture.LastBody().chopped(2);
}

void TestSurveyPage::Survey(const QString& page)
{
    if (!m_page->isVisible())
        m_fixture.console->ShowPage(m_page);
    else
        m_page->OnScan();
    m_fixture.Finish(u"SITESURVEY"_qs, 4, page);
}

void TestSurveyPage::Select(int row)
{
    QTreeWidget* list = m_page->AccessPointList();
    list->scrollToItem(list->topLevelItem(row));
    const QRect rect = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

void TestSurveyPage::firstShowScans()
{
    QVERIFY(!m_page->isVisible());
    QVERIFY(m_fixture.queued.isEmpty());
    m_fixture.console->ShowPage(m_page);
    QCOMPARE(m_fixture.Commands(), QStringList{u"SITESURVEY"_qs});
    QVERIFY(m_fixture.queued[0].strData.startsWith(u"GET /wlsurvey2.asp HTTP/1.1\r\n"));
    QVERIFY(!m_page->ScanButton()->isEnabled());
    QVERIFY(!m_page->ConnectButton()->isEnabled());
    QVERIFY(!m_page->KeyEdit()->isEnabled());
    QVERIFY(m_fixture.console->Timers()->IsRunning(CTarnDlg::kResultTimer));

    // While it is out, neither Scan nor another visit starts a second one.
    QTest::mouseClick(m_page->ScanButton(), Qt::LeftButton);
    m_page->OnScan();
    m_fixture.console->ShowPage(G_pSummaryDlg);
    m_fixture.console->ShowPage(m_page);
    QCOMPARE(m_fixture.Commands(), QStringList{u"SITESURVEY"_qs});

    // An answer that is no page: ready for another scan, and nothing to connect to.
    m_fixture.Finish(u"SITESURVEY"_qs, 4, u"HTTP/1.1 401 Unauthorized\r\n\r\n"_qs);
    QVERIFY(m_page->ScanButton()->isEnabled());
    QVERIFY(!m_page->ConnectButton()->isEnabled());
    QCOMPARE(m_page->AccessPointList()->topLevelItemCount(), 0);
    QTest::mouseClick(m_page->ScanButton(), Qt::LeftButton);
    QCOMPARE(m_fixture.Commands(), (QStringList{u"SITESURVEY"_qs, u"SITESURVEY"_qs}));
}

void TestSurveyPage::surveyFillsTheList()
{
    Survey(SurveyPage(kNetworks));
    QTreeWidget* list = m_page->AccessPointList();
    QCOMPARE(list->topLevelItemCount(), kNetworks.size());
    QCOMPARE(G_mSurveyCells.size(), kNetworks.size() * 7);

    const QStringList shown[] = {
        {u"00:0e:8e:10:20:01"_qs, u"CafeOpen"_qs, u"1"_qs, u"None"_qs, u"60"_qs, u"11b/g"_qs,
         u"NONE"_qs},
        {u"00:0e:8e:10:20:02"_qs, u"OldWep"_qs, u"6"_qs, u"WEP"_qs, u"60"_qs, u"11b/g"_qs,
         u"WEP"_qs},
        {u"00:0e:8e:10:20:03"_qs, u"HomeTkip"_qs, u"11"_qs, u"WPAPSK-TKIP"_qs, u"60"_qs,
         u"11b/g"_qs, u"TKIP"_qs},
        {u"00:0e:8e:10:20:04"_qs, u"OfficeAes"_qs, u"3"_qs, u"WPA2PSK-AES"_qs, u"60"_qs,
         u"11b/g"_qs, u"AES"_qs},
        {u"00:0e:8e:10:20:05"_qs, u"MixedMode"_qs, u"9"_qs, u"Unknown Type"_qs, u"60"_qs,
         u"11b/g"_qs, u"Unknown"_qs},
        {u"00:0e:8e:10:20:06"_qs, u" "_qs, u"4"_qs, u"None"_qs, u"60"_qs, u"11b/g"_qs, u"NONE"_qs},
    };
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QStringList texts;
        for (int column = 0; column < CTarn_SurveyDlg::kColumnCount; ++column)
            texts.append(list->topLevelItem(row)->text(column));
        QCOMPARE(texts, shown[row]);
    }

    // Only SSID and Encrypt are seen, at 55 and 40 per cent of the 430-pixel list.
    for (int column = 0; column < CTarn_SurveyDlg::kColumnCount; ++column) {
        const bool seen = column == CTarn_SurveyDlg::SSID || column == CTarn_SurveyDlg::Encrypt;
        QCOMPARE(!list->isColumnHidden(column), seen);
    }
    QCOMPARE(list->header()->sectionSize(CTarn_SurveyDlg::SSID), 236);
    QCOMPARE(list->header()->sectionSize(CTarn_SurveyDlg::Encrypt), 172);
    QCOMPARE(list->visualItemRect(list->topLevelItem(1)).height(), 20);

    // Row 0 chosen, and the key box set up for it (an open network: no key).
    QVERIFY(list->topLevelItem(0)->isSelected());
    QCOMPARE(list->currentItem(), list->topLevelItem(0));
    QVERIFY(m_page->ScanButton()->isEnabled());
    QVERIFY(m_page->ConnectButton()->isEnabled());
    QVERIFY(!m_page->KeyEdit()->isEnabled());

    // Scan empties the list at once and holds everything until the answer.
    QTest::mouseClick(m_page->ScanButton(), Qt::LeftButton);
    QCOMPARE(list->topLevelItemCount(), 0);
    QVERIFY(!m_page->ScanButton()->isEnabled() && !m_page->ConnectButton()->isEnabled());
    QVERIFY(!m_page->KeyEdit()->isEnabled());
}

void TestSurveyPage::surveysWithoutRows()
{
    Survey(SurveyPage(kNetworks));
    m_page->KeyEdit()->setText(u"typed"_qs);
    // Announced none: the list stays empty and nothing can be connected.
    Survey(SurveyPage(kNetworks, 0));
    QCOMPARE(m_page->AccessPointList()->topLevelItemCount(), 0);
    QVERIFY(m_page->ScanButton()->isEnabled());
    QVERIFY(!m_page->ConnectButton()->isEnabled());
    QVERIFY(!m_page->KeyEdit()->isEnabled());
    m_page->OnConnect();
    QCOMPARE(m_fixture.Commands().count(u"REPEATER"_qs), 0);

    // Three announced, two there: two rows.
    Survey(SurveyPage(kNetworks.mid(0, 2), 3));
    QCOMPARE(m_page->AccessPointList()->topLevelItemCount(), 2);
    QVERIFY(m_page->ConnectButton()->isEnabled());
}

void TestSurveyPage::keyEntryFollowsTheSelection()
{
    Survey(SurveyPage(kNetworks));
    QLineEdit* key = m_page->KeyEdit();
    QComboBox* choice = m_page->DefaultKeyChoice();
    QCOMPARE(choice->count(), 4);
    QCOMPARE(choice->itemText(3), u"Key 4"_qs);

    Select(Wep);
    QVERIFY(key->isEnabled());
    QCOMPARE(key->maxLength(), 26);
    QVERIFY(choice->isVisible());

    QTest::keyClicks(key, u"0123456789abcdef0123456789abcdef"_qs);
    QCOMPARE(key->text().size(), 26);

    // Another row empties the key box and fits it to that network.
    Select(Aes);
    QCOMPARE(key->text(), QString());
    QCOMPARE(key->maxLength(), 64);
    QVERIFY(key->isEnabled() && !choice->isVisible());
    Select(Tkip);
    QCOMPARE(key->maxLength(), 64);
    Select(Mixed);
    QVERIFY(!key->isEnabled());
    QVERIFY(m_page->ConnectButton()->isEnabled()); // Connect then explains
    Select(Cafe);
    QVERIFY(!key->isEnabled() && !choice->isVisible());

    // A press below the rows leaves none selected; the controls stay as they were.
    Survey(SurveyPage(kNetworks.mid(0, 2)));
    QTreeWidget* list = m_page->AccessPointList();
    Select(Wep);
    key->setText(u"12345"_qs);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(50, list->viewport()->height() - 4));
    QVERIFY(list->selectedItems().isEmpty());
    QVERIFY(key->isEnabled() && choice->isVisible());
}

void TestSurveyPage::connectSendsOrRefuses()
{
    Survey(SurveyPage(kNetworks));
    QLineEdit* key = m_page->KeyEdit();

    // Refusals: a message, nothing sent, the typed key kept.
    const struct {
        int row;
        QString key;
        QString message;
    } refusals[] = {
        {Wep, QString(),
         u"The network you are trying to connect to has security enabled.  Please "
         u"click Scan again, highlight your network, enter the correct security "
         u"key and press Connect."_qs},
        {Wep, u"abcdefghij"_qs,
         u"The Key can be entered as 5 or 13 ASCII characters or 10 or 26 "
         u"HEXADECIMAL chatacters."_qs},
        {Aes, u"1234567"_qs,
         u"The Key can be entered as 8 or 63 ASCII characters or 64 "
         u"HEXADECIMAL chatacters."_qs},
        {Mixed, QString(), u"This wizard only supports WEP, WPA-PSK, WPA2-PSK encryption."_qs},
    };
    for (const auto& refusal : refusals) {
        Select(refusal.row);
        key->setText(refusal.key);
        m_fixture.messages.clear();
        QTest::mouseClick(m_page->ConnectButton(), Qt::LeftButton);
        QCOMPARE(m_fixture.messages, QStringList{refusal.message});
        QCOMPARE(m_fixture.Commands(), QStringList{u"SITESURVEY"_qs});
        QCOMPARE(key->text(), refusal.key);
        QVERIFY(m_page->ConnectButton()->isEnabled());
    }

    // A network without a name: nothing at all.
    Select(Nameless);
    m_fixture.messages.clear();
    QTest::mouseClick(m_page->ConnectButton(), Qt::LeftButton);
    QVERIFY(m_fixture.messages.isEmpty());
    QCOMPARE(m_fixture.Commands(), QStringList{u"SITESURVEY"_qs});

    // WEP with Key 3: index 2, the one key in all four slots; sending holds Connect and the
    // key box until the answer.
    Select(Wep);
    m_page->DefaultKeyChoice()->setCurrentIndex(2);
    QTest::keyClicks(key, u"12345"_qs);
    QTest::mouseClick(m_page->ConnectButton(), Qt::LeftButton);
    QCOMPARE(m_fixture.Commands().last(), u"REPEATER"_qs);
    QCOMPARE(LastBody(), u"stadrv_type=3&stadrv_ssid=OldWep&stadrv_chan=6&stadrv_encrypttype=1"
                         u"&stadrv_weplength=0&stadrv_defaultkey=2&key1=12345&stadrv_wepformat1=0"
                         u"&key2=12345&stadrv_wepformat2=0&key3=12345&stadrv_wepformat3=0"
                         u"&key4=12345&stadrv_wepformat4=0&stadrv_wpacipher=0&stadrv_pskformat=0"
                         u"&stadrv_pskkey=&submit-url=%2Fwanwisp.asp"_qs);
    QCOMPARE(m_page->m_strSSID, u"OldWep"_qs);
    QCOMPARE(m_page->m_strChannel, u"6"_qs);
    QVERIFY(!m_page->ConnectButton()->isEnabled() && !key->isEnabled());
    QVERIFY(m_fixture.console->Timers()->IsRunning(CTarnDlg::kResultTimer));

    // The lost answer: back to the Locate page with the console's message.
    m_fixture.Finish(u"REPEATER"_qs, 7, QString());
    QCOMPARE(m_fixture.messages, QStringList{u"Cannot Connect to Repeater."_qs});
    QVERIFY(!m_fixture.console->isVisible());
    QVERIFY(!m_fixture.Commands().contains(u"REBOOT"_qs));

    // An open network: security type 0, whatever is in the key box.
    m_fixture.console->show();
    m_fixture.console->ShowPage(m_page);
    Survey(SurveyPage(kNetworks));
    Select(Cafe);
    QTest::mouseClick(m_page->ConnectButton(), Qt::LeftButton);
    QVERIFY(LastBody().startsWith(
        u"stadrv_type=3&stadrv_ssid=CafeOpen&stadrv_chan=1&stadrv_encrypttype=0&"_qs));
}

void TestSurveyPage::rebootWait()
{
    Survey(SurveyPage(kNetworks));
    Select(Aes);
    QTest::keyClicks(m_page->KeyEdit(), u"aes-secret-1"_qs);
    QTest::mouseClick(m_page->ConnectButton(), Qt::LeftButton);
    QVERIFY(LastBody().contains(u"&stadrv_wpacipher=1&stadrv_pskformat=0&stadrv_pskkey=aes-"
                                u"secret-1&"_qs));

    // Inside the wait, tick by tick, as timer 300 would.
    QList<int> bitmaps;
    bool running = false;
    QString text;
    QStringList queuedAtStart;
    bool keyEmpty = false;
    QTimer::singleShot(0, this, [&] {
        running = m_page->Timers()->IsRunning(CTarn_SurveyDlg::kRebootTimer);
        text = G_pProgress->m_strMessage;
        queuedAtStart = m_fixture.Commands();
        keyEmpty = m_page->KeyEdit()->text().isEmpty() && m_page->KeyEdit()->isEnabled() &&
                   m_page->ConnectButton()->isEnabled();
        bitmaps.append(G_pProgress->CurrentBitmap());
        for (int tick = 1; tick <= 11 && G_pProgress->isVisible(); ++tick) {
            m_page->OnTimer(CTarn_SurveyDlg::kRebootTimer);
            bitmaps.append(G_pProgress->CurrentBitmap());
        }
    });
    m_fixture.Finish(u"REPEATER"_qs, 4, u"HTTP/1.1 302 Found\r\n\r\n"_qs);

    QVERIFY(running);
    QCOMPARE(text, u"Rebooting...."_qs);
    QCOMPARE(queuedAtStart, (QStringList{u"SITESURVEY"_qs, u"REPEATER"_qs, u"REBOOT"_qs}));
    QVERIFY(keyEmpty);
    QCOMPARE(bitmaps, (QList<int>{172, 173, 174, 175, 176, 177, 178, 179, 180, 181, 171, 172}));
    QCOMPARE(m_page->m_nRebootTicks, 11);
    QVERIFY(!G_pProgress->isVisible());
    QVERIFY(!m_page->Timers()->IsRunning(CTarn_SurveyDlg::kRebootTimer));
    QVERIFY(!m_fixture.console->isVisible());
    QVERIFY(m_fixture.messages.isEmpty());

    // The wait is paced by timer 300 at 3.5 s, and the page going away ends it.
    m_fixture.console->show();
    m_fixture.console->ShowPage(m_page);
    bool paced = false;
    QTimer::singleShot(0, this, [&] {
        paced = m_page->Timers()->IsRunning(CTarn_SurveyDlg::kRebootTimer);
        m_fixture.console->ShowPage(G_pSummaryDlg);
    });
    m_page->OnRepeaterResult();
    QVERIFY(paced);
    QVERIFY(!m_page->Timers()->IsRunning(CTarn_SurveyDlg::kRebootTimer));
    QVERIFY(!G_pProgress->isVisible());
}

void TestSurveyPage::comingBack()
{
    G_mstrSSID = u"<b>Home</b> & Co"_qs;
    G_mstrWirelessSecurity = u"WPA2-PSK (AES)"_qs;
    G_mstrWanIPAddress = u"192.168.100.57"_qs;
    G_mstrWanSubnetMask = u"255.255.255.0"_qs;
    G_mstrGateway = u"192.168.100.1"_qs;
    G_mstrPrimaryDNS = u"192.168.100.2"_qs;
    G_mstrSecondaryDNS = u"8.8.4.4"_qs;
    Survey(SurveyPage(kNetworks));
    QStringList values;
    for (int id = CTarn_SurveyDlg::kFirstValue; id < CTarn_SurveyDlg::kFirstValue + 6; ++id)
        values.append(m_page->Value(id)->GetWindowText());
    QCOMPARE(values.mid(1),
             (QStringList{u"WPA2-PSK (AES)"_qs, u"192.168.100.57"_qs, u"255.255.255.0"_qs,
                          u"192.168.100.1"_qs, u"192.168.100.2"_qs}));
    // A network name is shown as it is, not as markup.
    QVERIFY(!values[0].contains(u"<b>"));

    // Back on the page later: the list as it was, no new survey, the WEP choice still there
    // (the layout put it back to Key 1).
    Select(Wep);
    m_page->DefaultKeyChoice()->setCurrentIndex(3);
    m_fixture.console->ShowPage(G_pSummaryDlg);
    m_fixture.console->ShowPage(m_page);
    QCOMPARE(m_fixture.Commands(), QStringList{u"SITESURVEY"_qs});
    QCOMPARE(m_page->AccessPointList()->topLevelItemCount(), kNetworks.size());
    QVERIFY(m_page->DefaultKeyChoice()->isVisible());
    QCOMPARE(m_page->DefaultKeyChoice()->currentIndex(), 0);

    // With an empty list, showing the page surveys again.
    Survey(SurveyPage({}));
    m_fixture.console->ShowPage(G_pSummaryDlg);
    m_fixture.console->ShowPage(m_page);
    QCOMPARE(m_fixture.Commands().count(u"SITESURVEY"_qs), 3);
}

void TestSurveyPage::selectedRowIsDrawn()
{
    G_mstrSSID = u"OfficeAes"_qs;
    G_mstrWirelessSecurity = u"WPA2-PSK (AES)"_qs;
    G_mstrWanIPAddress = u"192.168.103.57"_qs;
    G_mstrWanSubnetMask = u"255.255.255.0"_qs;
    G_mstrGateway = u"192.168.103.1"_qs;
    G_mstrPrimaryDNS = u"192.168.103.1"_qs;
    G_mstrIPAddress = u"192.168.77.10"_qs;
    G_mstrMACAddress = u"00:1A:2B:3C:4D:5E"_qs;
    Survey(SurveyPage(kNetworks.mid(0, 5)));
    Select(Wep);
    QTest::keyClicks(m_page->KeyEdit(), u"12345"_qs);
    const QImage wep = m_page->grab().toImage();
    Select(Aes);
    QTest::keyClicks(m_page->KeyEdit(), u"aes-secret-1"_qs);
    const QImage wpa = m_page->grab().toImage();

    // The selected row is drawn in the list, and the two pictures differ where the choice is.
    QCOMPARE(wep.size(), QSize(700, 500));
    QVERIFY(wep.copy(450, 455, 60, 23) != wpa.copy(450, 455, 60, 23));
    QCOMPARE(wep.copy(0, 0, 450, 300), wpa.copy(0, 0, 450, 300));
}

QTEST_MAIN(TestSurveyPage)
#include "test_surveydlg.moc"
