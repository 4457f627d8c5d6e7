#include "console/tarndlg.h"
#include "controls/ptbutton.h"
#include "controls/xhtmlstatic.h"
#include "locate/searchdlg.h"
#include "pages/ipaddrdlg.h"
#include "pages/messagedlg.h"
#include "pages/progressdlg.h"
#include "pages/summarydlg.h"
#include "platform/diaglog.h"
#include "platform/stringtable.h"
#include "platform/windowtimers.h"
#include "session/webmanager.h"
#include "tests/widgets/support/frametest.h"

#include <QFile>
#include <QLineEdit>
#include <QTimer>
#include <functional>

// The dialogs as they run in the program: inside the frame, over a console, with the frame's
// timers and other work going on underneath.
class TestOverlayDialog : public CFrameTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_frame.reset(); }
    void secondRunWaitsForTheFirstAndKeepsItsText();
    void waitEndedBeforeItsTurnIsNeverShown();
    void inputBeneathIsHeldBackWhileUp();
    void restoreKeepsThePageAndTheWait();
    void consoleGoneWhileItsDialogIsUp();
    void windowClosedWhileRunsAreUp_data();
    void windowClosedWhileRunsAreUp();
};

void TestOverlayDialog::init()
{
    ShowFrame();
    QVERIFY(OpenConsole());
}

void TestOverlayDialog::secondRunWaitsForTheFirstAndKeepsItsText()
{
    CTarn_MessageDlg* message = G_pMessageDlg;
    QStringList shown;
    int secondResult = -1;
    bool secondReturnedBeforeShown = false;
    int ticks = 0;
    m_frame->Timers()->SetTimer(4242, 10, [&](unsigned) { ++ticks; });
    // Reads what the screen shows, then presses OK; once more for what comes up next.
    std::function<void()> answer = [&] {
        QTRY_VERIFY(ticks >= 3);
        shown.append(message->MessageText()->GetWindowText());
        QTest::mouseClick(message->OkButton(), Qt::LeftButton, {}, QPoint(40, 15));
        if (shown.size() < 2)
            QTimer::singleShot(0, message, answer);
    };
    QTimer::singleShot(0, message, [&] {
        // A second message while the first is up must not replace the first one's text.
        QTimer::singleShot(0, message, answer);
        message->m_strMessage = LoadString(139);
        secondResult = message->exec();
        secondReturnedBeforeShown = shown.size() < 2;
    });
    message->m_strMessage = LoadString(207);
    QCOMPARE(message->exec(), 1);
    m_frame->Timers()->KillTimer(4242);
    QCOMPARE(shown, QStringList({LoadString(207), LoadString(139)}));
    QCOMPARE(secondResult, 1);
    QVERIFY(!secondReturnedBeforeShown);
    QVERIFY(!message->isVisible() && !message->IsRunning());
}

void TestOverlayDialog::waitEndedBeforeItsTurnIsNeverShown()
{
    bool progressShown = false;
    int progressResult = -1;
    QTimer::singleShot(0, G_pMessageDlg, [&] {
        // A wait whose timer ends it while a message is still up: nothing would end it later.
        QTimer::singleShot(30, G_pProgress, [] { G_pProgress->done(0); });
        QTimer::singleShot(60, G_pMessageDlg, [] { G_pMessageDlg->done(1); });
        G_pProgress->m_strMessage = u"Rebooting...."_qs;
        progressResult = G_pProgress->exec();
        progressShown = G_pProgress->CurrentBitmap() != 0;
    });
    G_pMessageDlg->m_strMessage = LoadString(207);
    QCOMPARE(G_pMessageDlg->exec(), 1);
    QCOMPARE(progressResult, 0);
    QVERIFY(!progressShown);
    QVERIFY(!G_pProgress->isVisible() && !G_pProgress->IsRunning());
}

void TestOverlayDialog::inputBeneathIsHeldBackWhileUp()
{
    G_pTarnDlg->ShowPage(G_pSummaryDlg);
    auto* edit = new QLineEdit(G_pSummaryDlg);
    edit->setGeometry(300, 420, 100, 20);
    edit->show();
    edit->setFocus();
    CPTButton* step = G_pSummaryDlg->StepButton(Skin::IPAddress);
    QTimer::singleShot(0, G_pMessageDlg, [&] {
        QTest::mouseClick(step, Qt::LeftButton);
        QTest::keyClicks(edit, u"abc"_qs);
        QTest::mouseClick(G_pSummaryDlg->MinimizeButton(), Qt::LeftButton, {}, QPoint(9, 9));
        QVERIFY(G_pSummaryDlg->isVisible() && !G_pIPAddrDlg->isVisible());
        QVERIFY(edit->text().isEmpty() && !m_frame->isMinimized());
        G_pMessageDlg->done(1);
    });
    G_pMessageDlg->m_strMessage = LoadString(207);
    QCOMPARE(G_pMessageDlg->exec(), 1);
    // Afterwards the page has its input, and its focus, back.
    QCOMPARE(QApplication::focusWidget(), edit);
    QTest::keyClicks(edit, u"abc"_qs);
    QCOMPARE(edit->text(), u"abc"_qs);
    QTest::mouseClick(step, Qt::LeftButton);
    QVERIFY(G_pIPAddrDlg->isVisible());
}

void TestOverlayDialog::restoreKeepsThePageAndTheWait()
{
    G_pTarnDlg->ShowPage(G_pIPAddrDlg);
    bool pageKept = false, waitKept = false, dialogKept = false;
    int bitmapAfterRestore = 0;
    QTimer::singleShot(0, G_pProgress, [&] {
        G_pIPAddrDlg->OnTimer(CTarn_IPAddrDlg::kRebootTimer); // frame 1 on screen
        m_frame->showMinimized();
        QTRY_VERIFY(m_frame->isMinimized());
        m_frame->showNormal();
        QTRY_VERIFY(!m_frame->isMinimized());
        pageKept = G_pIPAddrDlg->isVisible() && !G_pSummaryDlg->isVisible();
        waitKept = G_pIPAddrDlg->Timers()->IsRunning(CTarn_IPAddrDlg::kRebootTimer);
        dialogKept = G_pProgress->isVisible();
        bitmapAfterRestore = G_pProgress->CurrentBitmap();
        // The rest of the wait, ticked by hand rather than in 44 s.
        for (int tick = 2; tick <= 11; ++tick)
            G_pIPAddrDlg->OnTimer(CTarn_IPAddrDlg::kRebootTimer);
    });
    G_pIPAddrDlg->OnSetupIPAddressResult();
    QVERIFY(pageKept);
    QVERIFY(waitKept);
    QVERIFY(dialogKept);
    QCOMPARE(bitmapAfterRestore, CTarn_Progress::FrameBitmap(1));
    // The wait's own end still brings the Locate page back.
    QVERIFY(G_pSearchDlg->isVisible() && !G_pTarnDlg->isVisible());
}

void TestOverlayDialog::consoleGoneWhileItsDialogIsUp()
{
    QTimer::singleShot(0, m_frame.get(), [this] {
        // A new Connect replaces the console, and its dialogs with it.
        QVERIFY(OpenConsole(u"192.168.77.11"_qs));
    });
    G_pProgress->m_strMessage = u"Loading...."_qs;
    QCOMPARE(G_pProgress->exec(), 0);
    QCOMPARE(COverlayDialog::ActiveDialog(), nullptr);
    // The next dialog shows at once: nothing is left waiting behind the one that went.
    QTimer::singleShot(0, G_pMessageDlg, [] {
        QVERIFY(G_pMessageDlg->isVisible());
        G_pMessageDlg->done(1);
    });
    QCOMPARE(G_pMessageDlg->exec(), 1);
}

void TestOverlayDialog::windowClosedWhileRunsAreUp_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<QByteArray>("logLine");
    QTest::newRow("window manager") << 0 << QByteArray("Window closed: closing");
    QTest::newRow("logout") << 1 << QByteArray("Session ending: closing");
    QTest::newRow("SIGTERM") << 2 << QByteArray("Signal 15: closing");
}

// The program is left while "Loading...." is up and a message waits its turn: every run ends,
// and so does the frame's, as Close would end it.
void TestOverlayDialog::windowClosedWhileRunsAreUp()
{
    QFETCH(int, how);
    QFETCH(QByteArray, logLine);
    int progressResult = -1;
    int messageResult = -1;
    QTimer::singleShot(0, m_frame.get(), [&] {
        QTimer::singleShot(0, m_frame.get(), [&] {
            QTimer::singleShot(10, m_frame.get(), [this, how] {
                if (how == 0) {
                    m_frame->close();
                } else if (how == 1) {
                    QEvent quit(QEvent::Quit);
                    QCoreApplication::sendEvent(qApp, &quit);
                } else {
                    emit G_pWEBManager->shutdownSignal(15);
                }
            });
            G_pMessageDlg->m_strMessage = LoadString(207);
            messageResult = G_pMessageDlg->exec();
        });
        G_pProgress->m_strMessage = u"Loading...."_qs;
        progressResult = G_pProgress->exec();
    });
    QCOMPARE(m_frame->exec(), 0);
    QCOMPARE(messageResult, 0);
    QCOMPARE(progressResult, 0);
    QVERIFY(!m_frame->isVisible());
    QCOMPARE(COverlayDialog::ActiveDialog(), nullptr);
    // A page that would go on after its run is told the program is closing; a new run ends
    // unshown.
    QVERIFY(COverlayDialog::Closing());
    QCOMPARE(G_pMessageDlg->exec(), 0);
    QVERIFY(!G_pMessageDlg->isVisible());
    QFile log(LogFilePath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains(logLine));
}

QTEST_MAIN(TestOverlayDialog)
#include "test_overlaydialog.moc"
