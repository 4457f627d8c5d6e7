// The wireless page end to end: the real frame, in this process, against the simulated
// repeater of the harness's namespaces, from the Locate page through the survey and the
// repeater connect to the reboot and back. Runs only inside the PC namespace of scripts/netns.
#include "app/ostreldlg.h"
#include "console/tarndlg.h"
#include "controls/dialogservices.h"
#include "controls/ptbutton.h"
#include "controls/xhtmlstatic.h"
#include "locate/devicelist.h"
#include "locate/searchdlg.h"
#include "pages/messagedlg.h"
#include "pages/progressdlg.h"
#include "pages/summarydlg.h"
#include "pages/surveydlg.h"
#include "platform/windowtimers.h"
#include "tests/e2e/support/wizardrun.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>

namespace
{

QJsonArray SurveyFile()
{
    QFile file(QStringLiteral(KELDA_SURVEY_FILE));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).array()
                                          : QJsonArray();
}

// Watches the program while it runs its own modal loops: how long "Rebooting...." stood,
// which messages came (and answers them).
class CWatcher : public QObject
{
public:
    explicit CWatcher(QWidget* frame) : m_frame(frame)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { Look(); });
        m_timer.start(5);
        m_clock.start();
    }

    QStringList messages;
    QString progressText;
    qint64 progressShown = -1;
    qint64 progressGone = -1;
    QImage rebooting;

private:
    void Look()
    {
        const bool up = G_pProgress && G_pProgress->isVisible();
        if (up && progressShown < 0) {
            progressShown = m_clock.elapsed();
            progressText = G_pProgress->m_strMessage;
        }
        if (up && rebooting.isNull() && m_clock.elapsed() - progressShown > 4000)
            rebooting = Screen(m_frame, G_pProgress);
        if (!up && progressShown >= 0 && progressGone < 0)
            progressGone = m_clock.elapsed();
        if (G_pMessageDlg && G_pMessageDlg->isVisible()) {
            messages.append(G_pMessageDlg->m_strMessage);
            QTest::mouseClick(G_pMessageDlg->OkButton(), Qt::LeftButton, {}, QPoint(40, 15));
        }
    }

    QWidget* m_frame;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

} // namespace

class TestWirelessEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wpa2KeyWithAmpersand();
    void wepKey3ThenOpen();
    void repeaterUnreachable();

private:
    void ConnectToDevice();
    void SurveyOnWirelessPage();
    int RowOf(const QString& ssid) const;
    // Chooses the network, types the key and presses Connect; returns once the program is back
    // on the Locate page.
    void ConnectTo(const QString& ssid, const QString& key, int defaultKey);
    QJsonObject SavedWireless() const;

    std::unique_ptr<COstrelDlg> m_frame;
};

void TestWirelessEndToEnd::init()
{
    m_frame = std::make_unique<COstrelDlg>();
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
}

void TestWirelessEndToEnd::cleanup()
{
    m_frame.reset();
}

void TestWirelessEndToEnd::ConnectToDevice()
{
    QVERIFY(WaitFor([] { return !Scanning(); }, 10'000));
    QCOMPARE(G_pSearchDlg->DeviceList()->topLevelItemCount(), 1);
    // Returns once "Loading...." has ended: its run is modal.
    QTest::mouseClick(G_pSearchDlg->ConnectButton(), Qt::LeftButton);
    QVERIFY(G_pTarnDlg && G_pTarnDlg->isVisible() && G_pSummaryDlg->isVisible());
}

void TestWirelessEndToEnd::SurveyOnWirelessPage()
{
    QTest::mouseClick(G_pSummaryDlg->StepButton(Skin::Wireless), Qt::LeftButton);
    QVERIFY(G_pSurveyDlg->isVisible());
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

void TestWirelessEndToEnd::ConnectTo(const QString& ssid, const QString& key, int defaultKey)
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
    ConnectToDevice();
    SurveyOnWirelessPage();
    const int bootsBefore = State()[u"boot_count"].toInt();

    CWatcher watcher(m_frame.get());
    const QString key = u"Tea & Biscuits=100%+"_qs;
    ConnectTo(u"Lab & Co"_qs, key, -1);
    QVERIFY(watcher.messages.isEmpty());
    QCOMPARE(watcher.progressText, u"Rebooting...."_qs);
    const qint64 waited = watcher.progressGone - watcher.progressShown;
    qInfo("Rebooting.... stood %lld ms", waited);
    QVERIFY2(waited > 37'500 && waited < 40'500, qPrintable(QString::number(waited)));
    Save(watcher.rebooting, u"rebooting"_qs);

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
    ConnectToDevice();
    QStringList shown;
    for (int i = 0; i < CTarn_SummaryDlg::kValueCount; ++i)
        shown.append(G_pSummaryDlg->Value(CTarn_SummaryDlg::kFirstValue + i)->GetWindowText());
    QCOMPARE(shown, SummaryValues());
    QCOMPARE(shown[8], u"Lab & Co"_qs);
}

void TestWirelessEndToEnd::wepKey3ThenOpen()
{
    ConnectToDevice();
    SurveyOnWirelessPage();
    {
        CWatcher watcher(m_frame.get());
        ConnectTo(u"OldWep"_qs, u"12345"_qs, 2);
        QVERIFY(watcher.messages.isEmpty());
        QCOMPARE(watcher.progressText, u"Rebooting...."_qs);
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
    ConnectToDevice();
    SurveyOnWirelessPage();
    {
        CWatcher watcher(m_frame.get());
        ConnectTo(u"CafeOpen"_qs, QString(), -1);
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
    ConnectToDevice();
    SurveyOnWirelessPage();
    const QJsonObject before = SavedWireless();
    QVERIFY(Control({u"power-off"_qs}));

    CWatcher watcher(m_frame.get());
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
