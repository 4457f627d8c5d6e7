// The IP address, firmware, password and reset pages end to end: the real frame, in this
// process, against the simulated repeater of the harness's namespaces, from the Locate page
// through each change to the device's restart and back. Runs only inside the PC namespace of
// scripts/netns.
#include "controls/ctlbutton.h"
#include "controls/ipaddressedit.h"
#include "controls/xhtmlstatic.h"
#include "pages/ipaddrdlg.h"
#include "pages/modedlg.h"
#include "pages/passworddlg.h"
#include "pages/savedlg.h"
#include "session/sessionvalues.h"
#include "tests/e2e/support/wizardrun.h"

#include <QLineEdit>

namespace
{

constexpr int kRebootWaitMs = 44'000;
constexpr int kUpgradeWaitMs = 132'000;

QJsonObject Running()
{
    return State()[u"running"].toObject();
}

int BootCount()
{
    return State()[u"boot_count"].toInt();
}

QString MakeFirmware(const QString& path, const QStringList& options)
{
    const QByteArray out = Run(Env("KELDA_MAKE_FIRMWARE"), options + QStringList{path});
    return out.isEmpty() ? QString() : path;
}

// Everything the wizard sent on one connection to the device.
struct Request {
    QByteArray line;
    QByteArray head;
    QByteArray body;
};

QList<Request> RecordedRequests()
{
    QList<Request> requests;
    for (const SimRecord& record : ReadRecords()) {
        if (record.kind != "tcp")
            continue;
        const QByteArray& data = record.data;
        const qsizetype headEnd = data.indexOf("\r\n\r\n");
        Request request;
        request.line = data.left(data.indexOf("\r\n"));
        request.head = headEnd < 0 ? data : data.left(headEnd);
        request.body = headEnd < 0 ? QByteArray() : data.mid(headEnd + 4);
        requests.append(request);
    }
    return requests;
}

QList<QByteArray> LinesOf(const QList<Request>& requests)
{
    QList<QByteArray> lines;
    for (const Request& request : requests) {
        lines.append(request.line);
        qInfo("device heard: %s", request.line.constData());
    }
    return lines;
}

// A press with the left button at `pos` of `page`, delivered to whichever control is there.
void PressAt(QWidget* page, QPoint pos)
{
    QWidget* target = page->childAt(pos);
    if (!target)
        target = page;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(page, pos));
}

} // namespace

class TestConfigPagesEndToEnd : public CWizardTest
{
    Q_OBJECT
private slots:
    void init() { ShowFrame(); }
    void cleanup() { m_frame.reset(); }
    void ipAddressMovesTheDevice();
    void firmwareUpgrade();
    void firmwareRefusedOrLost();
    void passwordChangeThenLogin();
    void rebootOnly();
    void factoryReset();

private:
    // Presses the page's Apply and waits until the Locate page stands again.
    void ApplyAndWaitForLocate(QPushButton* apply, CProgressWatch& watcher, int waitMs);

    QTemporaryDir m_files;
};

void TestConfigPagesEndToEnd::ApplyAndWaitForLocate(QPushButton* apply, CProgressWatch& watcher,
                                                    int waitMs)
{
    QTest::mouseClick(apply, Qt::LeftButton);
    // The answer, the reboot request and the whole wait happen in here.
    QVERIFY(WaitFor([] { return G_pSearchDlg->isVisible(); }, waitMs + 30'000));
    // Lets the watcher see the last of it.
    QTest::qWait(100);
    QVERIFY(G_pTarnDlg && !G_pTarnDlg->isVisible());
    QCOMPARE(watcher.messages, QStringList());
    qInfo("%s stood %lld ms", qPrintable(watcher.progressTexts.value(0)), watcher.Waited());
    QVERIFY2(watcher.Waited() > waitMs - 1000 && watcher.Waited() < waitMs + 2500,
             qPrintable(QString::number(watcher.Waited())));
}

void TestConfigPagesEndToEnd::ipAddressMovesTheDevice()
{
    const QString oldIP = DeviceEnv("IP");
    ConnectTo(oldIP);
    CTarn_IPAddrDlg* page = G_pIPAddrDlg;
    ToStep(Skin::IPAddress, page);
    QCOMPARE(page->LanText(CTarn_IPAddrDlg::kLanAddress)->GetWindowText(), oldIP);
    QCOMPARE(page->LanText(CTarn_IPAddrDlg::kLanMask)->GetWindowText(), DeviceEnv("MASK"));
    const bool dhcpBefore = Running()[u"dhcp"].toBool();
    QCOMPARE(page->DHCPEnableRadio()->isChecked(), dhcpBefore);

    // Another subnet than the PC's: the device is to be reached there through an address of
    // the wizard's own.
    const QString newIP = u"192.168.88.30"_qs;
    page->AddressEntry()->SetText(newIP);
    page->MaskEntry()->SetText(u"255.255.255.0");
    PressAt(page, QPoint(420, 404)); // the "Auto IP" words
    QVERIFY(page->AutoIPRadio()->isChecked());
    Save(Screen(m_frame.get()), u"ipaddress"_qs);

    const qsizetype before = RecordedRequests().size();
    const int boots = BootCount();
    CProgressWatch watcher({}, m_frame.get());
    ApplyAndWaitForLocate(page->ApplyButton(), watcher, kRebootWaitMs);
    QCOMPARE(watcher.progressTexts.value(0), u"Rebooting...."_qs);
    Save(watcher.progress, u"ipaddress_rebooting"_qs);

    const QList<Request> sent = RecordedRequests().mid(before);
    QCOMPARE(LinesOf(sent), (QList<QByteArray>{"POST /goform/formTcpipSetup HTTP/1.1",
                                               "POST /goform/formReboot HTTP/1.1"}));
    QCOMPARE(sent[0].body, QByteArray("ip=192.168.88.30&mask=255.255.255.0&dhcp=2&dhcpRangeStart="
                                      "192.168.88.100&dhcpRangeEnd=192.168.88.199&submit-url="
                                      "%2F01_03_00_homenet.asp"));
    QVERIFY(BootCount() > boots);
    QCOMPARE(Running()[u"ip"].toString(), newIP);
    QCOMPARE(Running()[u"dhcp"].toBool(), true);

    // Found again at the new address, and reachable there.
    ConnectTo(newIP);
    QStringList shown;
    for (int i = 0; i < CTarn_SummaryDlg::kValueCount; ++i)
        shown.append(G_pSummaryDlg->Value(CTarn_SummaryDlg::kFirstValue + i)->GetWindowText());
    QCOMPARE(shown, SummaryValues());
    QCOMPARE(shown[2], newIP);
    const QByteArray addresses =
        Run(u"ip"_qs, {u"-4"_qs, u"-o"_qs, u"addr"_qs, u"show"_qs, u"dev"_qs, Env("KELDA_PC_IF")});
    qInfo("PC addresses: %s", addresses.trimmed().constData());
    QVERIFY(addresses.contains("inet 192.168.88.24"));
    ToStep(Skin::IPAddress, G_pIPAddrDlg);
    QCOMPARE(G_pIPAddrDlg->LanText(CTarn_IPAddrDlg::kLanAddress)->GetWindowText(), newIP);
    QVERIFY(G_pIPAddrDlg->DHCPEnableRadio()->isChecked());
}

void TestConfigPagesEndToEnd::firmwareUpgrade()
{
    const QString image = MakeFirmware(m_files.filePath(u"qz-1.0.5.bin"_qs),
                                       {u"--size"_qs, u"300000"_qs, u"--version"_qs, u"1.0.5"_qs});
    QVERIFY(!image.isEmpty());
    QFile file(image);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    ConnectTo(DeviceEnv("IP"));
    CTarn_ModeDlg* page = G_pModeDlg;
    ToStep(Skin::Firmware, page);
    const QString oldVersion = Running()[u"firmware"].toString();
    QCOMPARE(page->VersionText()->GetWindowText(), oldVersion);
    QTest::keyClicks(page->FileEdit(), image);
    Save(Screen(m_frame.get()), u"firmware"_qs);

    const qsizetype before = RecordedRequests().size();
    CProgressWatch watcher({}, m_frame.get());
    QTimer::singleShot(0, this, [page] { QVERIFY(!page->ApplyButton()->isEnabled()); });
    ApplyAndWaitForLocate(page->ApplyButton(), watcher, kUpgradeWaitMs);
    QCOMPARE(watcher.progressTexts.value(0), u"Upgrading...."_qs);
    Save(watcher.progress, u"firmware_upgrading"_qs);

    const QList<Request> sent = RecordedRequests().mid(before);
    QCOMPARE(LinesOf(sent), (QList<QByteArray>{"POST /goform/formUpload HTTP/1.1",
                                               "POST /goform/formReboot HTTP/1.1"}));
    // The file went whole, in place of its placeholder.
    QVERIFY(sent[0].body.contains("filename=\"c:\\1.bin\"\r\nContent-Type: text/plain\r\n\r\n" +
                                  bytes + "\r\n---"));
    const QJsonObject upload = State()[u"last_upload"].toObject();
    QCOMPARE(upload[u"valid"].toBool(), true);
    QCOMPARE(upload[u"size"].toInt(), bytes.size());
    QCOMPARE(Running()[u"firmware"].toString(), u"1.0.5"_qs);

    // The device reports its new version after the upgrade.
    ConnectTo(DeviceEnv("IP"));
    ToStep(Skin::Firmware, G_pModeDlg);
    QCOMPARE(G_pModeDlg->VersionText()->GetWindowText(), u"1.0.5"_qs);
    QCOMPARE(G_pModeDlg->FileEdit()->text(), QString());
}

void TestConfigPagesEndToEnd::firmwareRefusedOrLost()
{
    const QString bad = MakeFirmware(m_files.filePath(u"bad.bin"_qs),
                                     {u"--size"_qs, u"50000"_qs, u"--invalid"_qs, u"checksum"_qs});
    const QString good = MakeFirmware(m_files.filePath(u"good.bin"_qs),
                                      {u"--size"_qs, u"50000"_qs, u"--version"_qs, u"2.0.0"_qs});
    QVERIFY(!bad.isEmpty() && !good.isEmpty());
    ConnectTo(DeviceEnv("IP"));
    CTarn_ModeDlg* page = G_pModeDlg;
    ToStep(Skin::Firmware, page);
    const QString firmware = Running()[u"firmware"].toString();
    const int boots = BootCount();

    // A file the device refuses.
    {
        const qsizetype before = RecordedRequests().size();
        CProgressWatch watcher({}, m_frame.get());
        page->FileEdit()->setText(bad);
        QTest::mouseClick(page->ApplyButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&] { return !watcher.messages.isEmpty(); }, 30'000));
        QTest::qWait(100);
        QCOMPARE(watcher.messages, QStringList{u"Invalid file format!"_qs});
        QVERIFY(page->FileEdit()->text().isEmpty());
        QVERIFY(page->ApplyButton()->isEnabled());
        QVERIFY(page->isVisible() && G_pTarnDlg->isVisible());
        QCOMPARE(watcher.progressShown, -1);
        QCOMPARE(LinesOf(RecordedRequests().mid(before)),
                 QList<QByteArray>{"POST /goform/formUpload HTTP/1.1"});
        QCOMPARE(State()[u"last_upload"].toObject()[u"valid"].toBool(), false);
    }
    // A file that is not there: told at once, nothing sent.
    {
        const qsizetype before = RecordedRequests().size();
        CProgressWatch watcher({}, m_frame.get());
        page->FileEdit()->setText(m_files.filePath(u"missing.bin"_qs));
        QTest::mouseClick(page->ApplyButton(), Qt::LeftButton);
        QCOMPARE(watcher.messages, QStringList{u"Invalid file format!"_qs});
        QVERIFY(page->FileEdit()->text().isEmpty());
        QTest::qWait(3000);
        QCOMPARE(RecordedRequests().size(), before);
    }
    // A device that takes the upload and never answers.
    {
        QVERIFY(Control({u"fault"_qs, u"silent"_qs}));
        CProgressWatch watcher({}, m_frame.get());
        page->FileEdit()->setText(good);
        QTest::mouseClick(page->ApplyButton(), Qt::LeftButton);
        QVERIFY(!page->ApplyButton()->isEnabled());
        QVERIFY(WaitFor([&] { return !watcher.messages.isEmpty(); }, 60'000));
        QTest::qWait(100);
        qInfo("the lost upload was told after %lld ms", watcher.firstMessage);
        QCOMPARE(watcher.messages, QStringList{u"Please temporary turn off the firewall and "
                                               u"antivirus programs and try again."_qs});
        QVERIFY(page->FileEdit()->text().isEmpty());
        QVERIFY(page->ApplyButton()->isEnabled());
        // The user stays on the console; no reboot was asked for.
        QVERIFY(page->isVisible() && G_pTarnDlg->isVisible());
        QCOMPARE(watcher.progressShown, -1);
        QVERIFY(Control({u"fault"_qs, u"none"_qs}));
    }
    QCOMPARE(Running()[u"firmware"].toString(), firmware);
    QCOMPARE(State()[u"saved"].toObject()[u"firmware"].toString(), firmware);
    QCOMPARE(BootCount(), boots);
}

void TestConfigPagesEndToEnd::passwordChangeThenLogin()
{
    ConnectTo(DeviceEnv("IP"));
    const QString oldPassword = G_mstrPassword;
    QCOMPARE(oldPassword, Running()[u"password"].toString());
    CTarn_PasswordDlg* page = G_pPasswordDlg;
    ToStep(Skin::Password, page);
    // What a form would misread, and as long as the edits take.
    const QString newPassword = u"n3w&Pass=100%+ok-0123456789abc"_qs;
    QCOMPARE(newPassword.size(), 30);
    QTest::keyClicks(page->CurrentPasswordEdit(), oldPassword);
    QTest::keyClicks(page->NewPasswordEdit(), newPassword);
    QTest::keyClicks(page->ConfirmPasswordEdit(), newPassword);
    Save(Screen(m_frame.get()), u"password"_qs);

    const qsizetype before = RecordedRequests().size();
    CProgressWatch watcher({}, m_frame.get());
    QTest::mouseClick(page->ApplyButton(), Qt::LeftButton);
    QVERIFY(WaitFor([] { return G_pSearchDlg->isVisible(); }, 30'000));
    QVERIFY(!G_pTarnDlg->isVisible());
    QCOMPARE(watcher.messages, QStringList());
    QCOMPARE(Running()[u"password"].toString(), newPassword);
    const QList<Request> sent = RecordedRequests().mid(before);
    QCOMPARE(LinesOf(sent), QList<QByteArray>{"POST /goform/formPasswordSetup HTTP/1.1"});
    QVERIFY(sent[0].body.startsWith(
        "oldpass=" + oldPassword.toLatin1() +
        "&newpass=n3w%26Pass%3D100%25%2Bok-0123456789abc&confpass=n3w%26Pass%3D100%25%2Bok-"));
    // The old one until the next login.
    QCOMPARE(G_mstrPassword, oldPassword);

    // The next login reads the new password from the device's reply, and the device takes it.
    const qsizetype beforeLogin = RecordedRequests().size();
    ConnectTo(DeviceEnv("IP"));
    QCOMPARE(G_mstrPassword, newPassword);
    const QList<Request> login = RecordedRequests().mid(beforeLogin);
    QVERIFY(!login.isEmpty());
    QVERIFY(login[0].head.contains("Authorization: Basic " +
                                   QByteArray("admin:" + newPassword.toLatin1()).toBase64()));
    QStringList shown;
    for (int i = 0; i < CTarn_SummaryDlg::kValueCount; ++i)
        shown.append(G_pSummaryDlg->Value(CTarn_SummaryDlg::kFirstValue + i)->GetWindowText());
    QCOMPARE(shown, SummaryValues());
}

void TestConfigPagesEndToEnd::rebootOnly()
{
    ConnectTo(DeviceEnv("IP"));
    CTarn_SaveDlg* page = G_pSaveDlg;
    ToStep(Skin::Reset, page);
    QVERIFY(page->RebootRadio()->isChecked());
    Save(Screen(m_frame.get()), u"reset"_qs);
    const QJsonObject savedBefore = State()[u"saved"].toObject();
    const int boots = BootCount();
    const qsizetype before = RecordedRequests().size();
    CProgressWatch watcher({}, m_frame.get());
    ApplyAndWaitForLocate(page->ApplyButton(), watcher, kRebootWaitMs);
    QCOMPARE(watcher.progressTexts.value(0), u"Rebooting...."_qs);
    const QList<Request> sent = RecordedRequests().mid(before);
    QCOMPARE(LinesOf(sent), QList<QByteArray>{"POST /goform/formReboot HTTP/1.1"});
    QCOMPARE(sent[0].body, QByteArray("reset_flag=0&submit-url=%2F03_03_reset.asp"));
    QCOMPARE(BootCount(), boots + 1);
    QCOMPARE(State()[u"phase"].toString(), u"up"_qs);
    QCOMPARE(State()[u"saved"].toObject(), savedBefore);
    ConnectTo(DeviceEnv("IP"));
}

void TestConfigPagesEndToEnd::factoryReset()
{
    // Something for the reset to undo: a password set behind the wizard's back, which the
    // next scan reads from the device's reply.
    const QString changed = u"not-the-factory-one"_qs;
    QVERIFY(
        !Run(u"python3"_qs, {QStringLiteral(KELDA_CONFIGDEVICE), u"password"_qs, u"1"_qs, changed})
             .isEmpty());
    QVERIFY(WaitFor([] { return !Scanning(); }, 10'000));
    QTest::mouseClick(G_pSearchDlg->ScanButton(), Qt::LeftButton);
    ConnectTo(DeviceEnv("IP"));
    QCOMPARE(G_mstrPassword, changed);

    CTarn_SaveDlg* page = G_pSaveDlg;
    ToStep(Skin::Reset, page);
    PressAt(page, QPoint(300, 219)); // the "Factory Reset" words
    QVERIFY(page->FactoryResetRadio()->isChecked() && !page->RebootRadio()->isChecked());
    const int boots = BootCount();
    const qsizetype before = RecordedRequests().size();
    CProgressWatch watcher({}, m_frame.get());
    ApplyAndWaitForLocate(page->ApplyButton(), watcher, kRebootWaitMs);
    QCOMPARE(watcher.progressTexts.value(0), u"Rebooting...."_qs);
    const QList<Request> sent = RecordedRequests().mid(before);
    QCOMPARE(LinesOf(sent),
             (QList<QByteArray>{"POST /goform/mp HTTP/1.1", "POST /goform/formReboot HTTP/1.1"}));
    QCOMPARE(sent[0].body, QByteArray("command=COMMAND+flash+default&getID=\r\n"));
    QCOMPARE(sent[1].body, QByteArray("reset_flag=0&submit-url=%2F03_03_reset.asp"));
    QCOMPARE(BootCount(), boots + 1);
    const QJsonObject state = State();
    QCOMPARE(state[u"running"].toObject()[u"password"].toString(), DeviceEnv("PASSWORD"));
    QCOMPARE(state[u"saved"].toObject(), state[u"factory"].toObject());

    // Back with its factory login, and the wizard gets in with it.
    ConnectTo(DeviceEnv("IP"));
    QCOMPARE(G_mstrPassword, DeviceEnv("PASSWORD"));
    QVERIFY(G_pSaveDlg->RebootRadio()->isChecked());
}

int main(int argc, char* argv[])
{
    return RunWizardTest<TestConfigPagesEndToEnd>(argc, argv);
}

#include "config_e2e.moc"
