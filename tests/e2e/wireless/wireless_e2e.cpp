// The wireless page end to end: the real frame, in this process, against the simulated
// repeater of the harness's namespaces, from the Locate page through the survey and the
// repeater connect to the reboot and back. Runs only inside the PC namespace of scripts/netns.
#include "controls/xhtmlstatic.h"
#include "pages/surveydlg.h"
#include "tests/e2e/support/wizardrun.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>

namespace
{

QJsonArray SurveyFile()
{
    QFile file(QStringLiteral(KELDA_SURVEY_FILE));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).array()
                                          : QJsonArray();
}

} // namespace

class TestWirelessEndToEnd : public CWizardTest
{
    Q_OBJECT
private slots:
    void init() { ShowFrame(); }
    void cleanup() { m_frame.reset(); }
    void wpa2KeyWithAmpersand();
    void wepKey3ThenOpen();
    void repeaterUnreachable();

private:
    void SurveyOnWirelessPage();
    int RowOf(const QString& ssid) const;
    // Chooses the network, types the key and presses Connect; returns once the program is back
    // on the Locate page.
    void JoinNetwork(const QString& ssid, const QString& key, int defaultKey);
    QJsonObject SavedWireless() const;
};

void TestWirelessEndToEnd::SurveyOnWirelessPage()
{
    ToStep(Skin::Wireless, G_pSurveyDlg);
    // Shown with an empty list, the page surveys by itself.
    QVERIFY(!G_pSurveyDlg->ScanButton()->isEnabled());
    QVERIFY(WaitFor([] { return G_pSurveyDlg->ScanButton()->isEnabled(); }, 30'000));

    const QJsonArray networks = SurveyFile();
    QTreeWidget* list = G_pSurveyDlg->AccessPointList();
    QCOMPARE(list->topLevelItemCount(), networks.size());
    for (int row = 0; row < networks.size(); ++row) {
        const QJsonObject network = networks[row].toObject();
        QCOMPARE(list->topLevelItem(row)->text(CTarn_SurveyDlg::SSID), network[u"ssid"].toString());
        QCOMPARE(list->topLevelItem(row)->text(CTarn_SurveyDlg::BSSID),
                 network[u"bssid"].toString());
        QCOMPARE(list->topLevelItem(row)->text(CTarn_SurveyDlg::Channel),
                 network[u"channel"].toString());
        QCOMPARE(list->topLevelItem(row)->text(CTarn_SurveyDlg::Encrypt),
                 network[u"shown"].toString());
    }
    QVERIFY(list->topLevelItem(0)->isSelected());
    QVERIFY(G_pSurveyDlg->ConnectButton()->isEnabled());
}

int TestWirelessEndToEnd::RowOf(const QString& ssid) const
{
    QTreeWidget* list = G_pSurveyDlg->AccessPointList();
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        if (list->topLevelItem(row)->text(CTarn_SurveyDlg::SSID) == ssid)
            return row;
    }
    return -1;
}

void TestWirelessEndToEnd::JoinNetwork(const QString& ssid, const QString& key, int defaultKey)
{
    QTreeWidget* list = G_pSurveyDlg->AccessPointList();
    const int row = RowOf(ssid);
    QVERIFY(row >= 0);
    list->scrollToItem(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->topLevelItem(row)).center());
    QVERIFY(list->topLevelItem(row)->isSelected());
    if (!key.isEmpty())
        QTest::keyClicks(G_pSurveyDlg->KeyEdit(), key);
    QCOMPARE(G_pSurveyDlg->KeyEdit()->text(), key);
    if (defaultKey >= 0) {
        QVERIFY(G_pSurveyDlg->DefaultKeyChoice()->isVisible());
        G_pSurveyDlg->DefaultKeyChoice()->setCurrentIndex(defaultKey);
    }
    Save(Screen(m_frame.get()), u"wireless_"_qs + ssid.section(u' ', 0, 0));

    QTest::mouseClick(G_pSurveyDlg->ConnectButton(), Qt::LeftButton);
    QVERIFY(!G_pSurveyDlg->ConnectButton()->isEnabled());
    QVERIFY(!G_pSurveyDlg->KeyEdit()->isEnabled());
    // The answer, the reboot request and the whole wait happen in here.
    QVERIFY(WaitFor([] { return G_pSearchDlg->isVisible(); }, 90'000));
    // Lets the watchers see the last of it.
    QTest::qWait(100);
}

QJsonObject TestWirelessEndToEnd::SavedWireless() const
{
    return State()[u"saved"].toObject()[u"wireless"].toObject();
}

void TestWirelessEndToEnd::wpa2KeyWithAmpersand()
{
    ConnectTo(DeviceEnv("IP"));
    SurveyOnWirelessPage();
    const int bootsBefore = State()[u"boot_count"].toInt();

    CProgressWatch watcher({}, m_frame.get());
    const QString key = u"Tea & Biscuits=100%+"_qs;
    JoinNetwork(u"Lab & Co"_qs, key, -1);
    QVERIFY(watcher.messages.isEmpty());
    QCOMPARE(watcher.progressTexts.value(0), u"Rebooting...."_qs);
    const qint64 waited = watcher.Waited();
    qInfo("Rebooting.... stood %lld ms", waited);
    QVERIFY2(waited > 37'500 && waited < 40'500, qPrintable(QString::number(waited)));
    Save(watcher.progress, u"rebooting"_qs);

    // The device took exactly what was chosen and typed, and joined with it after its reboot.
    const QJsonObject saved = SavedWireless();
    QCOMPARE(saved[u"stadrv_type"].toString(), u"3"_qs);
    QCOMPARE(saved[u"stadrv_ssid"].toString(), u"Lab & Co"_qs);
    QCOMPARE(saved[u"stadrv_chan"].toString(), u"3"_qs);
    QCOMPARE(saved[u"stadrv_encrypttype"].toString(), u"2"_qs);
    QCOMPARE(saved[u"stadrv_wpacipher"].toString(), u"1"_qs);
    QCOMPARE(saved[u"stadrv_pskformat"].toString(), u"0"_qs);
    QCOMPARE(saved[u"stadrv_pskkey"].toString(), key);
    const QJsonObject state = State();
    QVERIFY(state[u"boot_count"].toInt() > bootsBefore);
    QCOMPARE(state[u"phase"].toString(), u"up"_qs);
    QCOMPARE(state[u"running"].toObject()[u"wireless"].toObject(), saved);
    QVERIFY(state[u"wan"].toObject()[u"associated"].toBool());

    // The Locate page finds the device again, and its summary now shows the new network.
    QVERIFY(G_pTarnDlg && !G_pTarnDlg->isVisible());
    QVERIFY(WaitFor([] { return !Scanning(); }, 10'000));
    QCOMPARE(G_pSearchDlg->m_strResult, u"1 Smart Repeater Found !"_qs);
    ConnectTo(DeviceEnv("IP"));
    QStringList shown;
    for (int i = 0; i < CTarn_SummaryDlg::kValueCount; ++i)
        shown.append(G_pSummaryDlg->Value(CTarn_SummaryDlg::kFirstValue + i)->GetWindowText());
    QCOMPARE(shown, SummaryValues());
    QCOMPARE(shown[8], u"Lab & Co"_qs);
}

void TestWirelessEndToEnd::wepKey3ThenOpen()
{
    ConnectTo(DeviceEnv("IP"));
    SurveyOnWirelessPage();
    {
        CProgressWatch watcher({}, m_frame.get());
        JoinNetwork(u"OldWep"_qs, u"12345"_qs, 2);
        QVERIFY(watcher.messages.isEmpty());
        QCOMPARE(watcher.progressTexts.value(0), u"Rebooting...."_qs);
    }
    QJsonObject saved = SavedWireless();
    QCOMPARE(saved[u"stadrv_ssid"].toString(), u"OldWep"_qs);
    QCOMPARE(saved[u"stadrv_chan"].toString(), u"6"_qs);
    QCOMPARE(saved[u"stadrv_encrypttype"].toString(), u"1"_qs);
    QCOMPARE(saved[u"stadrv_defaultkey"].toString(), u"2"_qs);
    QCOMPARE(saved[u"stadrv_weplength"].toString(), u"0"_qs);
    for (const QString& slot : {u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs}) {
        QCOMPARE(saved[u"key"_qs + slot].toString(), u"12345"_qs);
        QCOMPARE(saved[u"stadrv_wepformat"_qs + slot].toString(), u"0"_qs);
    }
    QVERIFY(State()[u"wan"].toObject()[u"associated"].toBool());

    // Found again, connected again: an open network this time.
    QVERIFY(WaitFor([] { return !Scanning(); }, 10'000));
    ConnectTo(DeviceEnv("IP"));
    SurveyOnWirelessPage();
    {
        CProgressWatch watcher({}, m_frame.get());
        JoinNetwork(u"CafeOpen"_qs, QString(), -1);
        QVERIFY(watcher.messages.isEmpty());
    }
    saved = SavedWireless();
    QCOMPARE(saved[u"stadrv_ssid"].toString(), u"CafeOpen"_qs);
    QCOMPARE(saved[u"stadrv_chan"].toString(), u"1"_qs);
    QCOMPARE(saved[u"stadrv_encrypttype"].toString(), u"0"_qs);
    QCOMPARE(saved[u"key1"].toString(), QString());
    QCOMPARE(saved[u"stadrv_pskkey"].toString(), QString());
    QVERIFY(WaitFor([] { return !Scanning(); }, 10'000));
    QCOMPARE(G_pSearchDlg->DeviceList()->topLevelItemCount(), 1);
}

void TestWirelessEndToEnd::repeaterUnreachable()
{
    ConnectTo(DeviceEnv("IP"));
    SurveyOnWirelessPage();
    const QJsonObject before = SavedWireless();
    QVERIFY(Control({u"power-off"_qs}));

    CProgressWatch watcher({}, m_frame.get());
    QTreeWidget* list = G_pSurveyDlg->AccessPointList();
    const int row = RowOf(u"HomeTkip"_qs);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->topLevelItem(row)).center());
    QTest::keyClicks(G_pSurveyDlg->KeyEdit(), u"tkip-secret"_qs);
    QTest::mouseClick(G_pSurveyDlg->ConnectButton(), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return !watcher.messages.isEmpty(); }, 90'000));
    QCOMPARE(watcher.messages, QStringList{u"Cannot Connect to Repeater."_qs});
    QVERIFY(WaitFor([] { return G_pSearchDlg->isVisible(); }, 2000));
    QVERIFY(G_pTarnDlg && !G_pTarnDlg->isVisible());
    // No reboot wait was started.
    QCOMPARE(watcher.progressShown, -1);
    QVERIFY(!G_pSurveyDlg->Timers()->IsRunning(CTarn_SurveyDlg::kRebootTimer));

    QVERIFY(Control({u"power-on"_qs}));
    QVERIFY(WaitFor([] { return State()[u"phase"].toString() == u"up"; }, 30'000));
    QCOMPARE(SavedWireless(), before);
}

int main(int argc, char* argv[])
{
    return RunWizardTest<TestWirelessEndToEnd>(argc, argv);
}

#include "wireless_e2e.moc"
