#include "configfixture.h"
#include "controls/xhtmlstatic.h"
#include "pages/modedlg.h"
#include "pages/summarydlg.h"
#include "platform/windowtimers.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <sys/stat.h>

class TestFirmwarePage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void versionAndPathOnShow();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void applyUploads();
    void refusedOrLost_data();
    void refusedOrLost();
    void acceptedStartsTheUpgradeWait();
    void browse();

private:
    void Show() { m_fixture.console->ShowPage(m_page); }
    QString MakeFile(const QString& name, const QByteArray& bytes);

    CConfigFixture m_fixture;
    CTarn_ModeDlg* m_page = nullptr;
    QTemporaryDir m_dir;
};

void TestFirmwarePage::init()
{
    m_fixture.Init();
    m_page = G_pModeDlg;
}

void TestFirmwarePage::cleanup()
{
    m_fixture.Cleanup();
}

QString TestFirmwarePage::MakeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

void TestFirmwarePage::versionAndPathOnShow()
{
    G_mstrFirmwareVersion = u"1.0.4"_qs;
    Show();
    QCOMPARE(m_page->VersionText()->GetWindowText(), u"1.0.4"_qs);
    QCOMPARE(m_page->FileEdit()->geometry(), QRect(195, 230, 205, 23));
    QCOMPARE(m_page->ApplyButton()->geometry(), QRect(475, 230, 67, 23));
    m_page->FileEdit()->setText(u"/tmp/fw.bin"_qs);

    // Back on the page: the version as last read, the path left as it was.
    G_mstrFirmwareVersion = u"<b>2.0</b>"_qs;
    m_fixture.console->ShowPage(G_pSummaryDlg);
    Show();
    QCOMPARE(m_page->VersionText()->GetWindowText(), u"&lt;b>2.0&lt;/b>"_qs);
    QCOMPARE(m_page->FileEdit()->text(), u"/tmp/fw.bin"_qs);
}

void TestFirmwarePage::refusedBeforeSending_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QString() << u"Please enter a file."_qs;
    QTest::newRow("missing file") << u"/nonexistent/fw.bin"_qs << u"Invalid file format!"_qs;
    QTest::newRow("a folder") << u"/tmp"_qs << u"Invalid file format!"_qs;
    // A disk image or a film picked by mistake: the upload would hold it all in memory.
    for (const qint64 size : {qint64(256) * 1024 * 1024 + 1, qint64(5) << 30}) {
        const QString path = m_dir.filePath(u"big%1"_qs.arg(size));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
            QFAIL("cannot make a sparse file");
        QTest::newRow(qPrintable(u"%1 bytes"_qs.arg(size))) << path << u"Invalid file format!"_qs;
    }
    // Opening a pipe waits for a writer that never comes.
    const QString pipe = m_dir.filePath(u"pipe"_qs);
    if (::mkfifo(QFile::encodeName(pipe).constData(), 0600) != 0)
        QFAIL("cannot make a pipe");
    QTest::newRow("a pipe") << pipe << u"Invalid file format!"_qs;
}

void TestFirmwarePage::refusedBeforeSending()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    Show();
    m_page->FileEdit()->setText(path);
    QTest::mouseClick(m_page->ApplyButton(), Qt::LeftButton);
    QCOMPARE(m_fixture.messages, QStringList{message});
    QVERIFY(m_page->FileEdit()->text().isEmpty());
    QVERIFY(m_fixture.queued.isEmpty());
    QVERIFY(m_page->ApplyButton()->isEnabled());
}

void TestFirmwarePage::applyUploads()
{
    const QByteArray image = QByteArray("QZFWIMG\x1a", 8) + QByteArray(1000, '\0') + "??????";
    const QString path = MakeFile(u"firmware"_qs, image);
    QVERIFY(!path.isEmpty());
    Show();
    m_page->FileEdit()->setText(path);
    QTest::mouseClick(m_page->ApplyButton(), Qt::LeftButton);
    QVERIFY(m_fixture.messages.isEmpty());
    QCOMPARE(m_fixture.Commands(), QStringList{u"UPLOAD"_qs});
    QCOMPARE(m_fixture.queued.first().strFileName, path);
    // Queued with the size the file has now; its bytes are read when the request goes out.
    QCOMPARE(m_fixture.queued.first().fileSize, image.size());
    QCOMPARE(m_fixture.queued.first().strData.mid(m_fixture.queued.first().fileOffset, 5),
             u"\r\n---"_qs);
    QVERIFY(!m_page->ApplyButton()->isEnabled());
    // The path stays while the upload runs.
    QCOMPARE(m_page->FileEdit()->text(), path);
}

void TestFirmwarePage::refusedOrLost_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("response");
    QTest::addColumn<QString>("message");
    const QString refused = u"Invalid file format!"_qs;
    const QString lost =
        u"Please temporary turn off the firewall and antivirus programs and try again."_qs;
    QTest::newRow("refused") << 4 << u"HTTP/1.1 200 OK\r\n\r\n<h2>Invalid file format!</h2>"_qs
                             << refused;
    QTest::newRow("timed out") << 5 << QString() << lost;
    QTest::newRow("timed out with a refusal") << 5
                                              << u"HTTP/1.1 200 OK\r\n\r\nInvalid file "
                                                 u"format!"_qs
                                              << refused;
    QTest::newRow("unauthorised") << 4 << u"HTTP/1.1 401 Unauthorized\r\n\r\n"_qs << lost;
    QTest::newRow("refusal text without HTTP 200")
        << 4 << u"HTTP/1.1 500 Error\r\n\r\nInvalid file format!"_qs << lost;
}

void TestFirmwarePage::refusedOrLost()
{
    QFETCH(int, result);
    QFETCH(QString, response);
    QFETCH(QString, message);
    Show();
    m_page->FileEdit()->setText(u"/tmp/fw.bin"_qs);
    m_page->ApplyButton()->setEnabled(false);
    m_fixture.Finish(u"UPLOAD"_qs, result, response);
    QCOMPARE(m_fixture.messages, QStringList{message});
    QVERIFY(m_page->FileEdit()->text().isEmpty());
    QVERIFY(m_page->ApplyButton()->isEnabled());
    // The user stays on the page: no reboot, no wait.
    QVERIFY(m_fixture.console->isVisible() && m_page->isVisible());
    QVERIFY(m_fixture.queued.isEmpty());
    QVERIFY(!m_page->Timers()->IsRunning(CTarn_ModeDlg::kUpgradeTimer));
}

void TestFirmwarePage::acceptedStartsTheUpgradeWait()
{
    Show();
    m_page->FileEdit()->setText(u"/tmp/fw.bin"_qs);
    m_page->ApplyButton()->setEnabled(false);
    bool applyEnabled = false;
    const auto wait = m_fixture.PlayWait(
        [&] {
            m_fixture.Finish(u"UPLOAD"_qs, 4, u"HTTP/1.1 200 OK\r\n\r\nFirmware 1.0.5 stored."_qs);
        },
        [&] {
            applyEnabled = m_page->ApplyButton()->isEnabled();
            return m_page->Timers()->IsRunning(CTarn_ModeDlg::kUpgradeTimer);
        },
        [&] { m_page->OnTimer(CTarn_ModeDlg::kUpgradeTimer); });
    QVERIFY(applyEnabled);
    QVERIFY(wait.timerRunning);
    QCOMPARE(wait.text, u"Upgrading...."_qs);
    QCOMPARE(wait.queuedAtStart, QStringList{u"REBOOT"_qs});
    QCOMPARE(wait.bitmaps, kWholeWaitBitmaps);
    QCOMPARE(m_page->m_nRebootTicks, 11);
    QVERIFY(!m_page->Timers()->IsRunning(CTarn_ModeDlg::kUpgradeTimer));
    QVERIFY(!m_fixture.console->isVisible());
    QVERIFY(m_fixture.messages.isEmpty());
    QCOMPARE(m_page->FileEdit()->text(), u"/tmp/fw.bin"_qs);
}

void TestFirmwarePage::browse()
{
    const QString path = MakeFile(u"image.bin"_qs, "x");
    Show();
    m_page->FileEdit()->setText(u"kept"_qs);
    QStringList filters;
    // Answers the file-open dialog once it is up, as the user would.
    const auto answer = [&](bool accept) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [&, poll, accept] {
            QFileDialog* dialog = nullptr;
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* found = qobject_cast<QFileDialog*>(widget); found && found->isVisible())
                    dialog = found;
            }
            if (!dialog)
                return;
            poll->deleteLater();
            poll->stop();
            filters = dialog->nameFilters();
            QDialog* asDialog = dialog;
            if (accept) {
                // Typed into the dialog's file name box: its folder view loads in the background.
                auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_qs);
                QVERIFY(name);
                name->setText(path);
                asDialog->accept();
            } else {
                asDialog->reject();
            }
        });
        poll->start(20);
    };
    answer(false);
    QTest::mouseClick(m_page->BrowseButton(), Qt::LeftButton);
    QCOMPARE(filters.size(), 1);
    // The filter must let through every file, with or without a dot in its name.
    const QString shown = filters.first();
    const QStringList patterns =
        shown.mid(shown.indexOf(u'(') + 1).chopped(1).split(u' ', Qt::SkipEmptyParts);
    QVERIFY(shown.startsWith(u"All File"_qs));
    for (const QString& name : {u"firmware"_qs, u"image.bin"_qs})
        QVERIFY2(QDir::match(patterns, name), qPrintable(name));
    QCOMPARE(m_page->FileEdit()->text(), u"kept"_qs);
    answer(true);
    QTest::mouseClick(m_page->BrowseButton(), Qt::LeftButton);
    QCOMPARE(m_page->FileEdit()->text(), path);
}


QTEST_MAIN(TestFirmwarePage)
#include "test_modedlg.moc"
