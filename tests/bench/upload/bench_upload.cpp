// One firmware upload through the real frame, in this process, against the simulated repeater
// of the harness's namespaces: Locate, Connect, the firmware page, Apply. Prints when the
// upload was sent and the process's memory around it as one JSON line; measure_upload.py runs
// it once per round (a fresh process, so its peak is this upload's) and takes the device's
// side from the simulator's state file. Runs only inside the PC namespace of scripts/netns.
//     bench_upload FIRMWARE_FILE
#include "app/ostreldlg.h"
#include "console/tarndlg.h"
#include "controls/dialogservices.h"
#include "controls/ptbutton.h"
#include "locate/searchdlg.h"
#include "pages/messagedlg.h"
#include "pages/modedlg.h"
#include "pages/progressdlg.h"
#include "pages/summarydlg.h"
#include "platform/windowtimers.h"
#include "session/webdata.h"
#include "tests/e2e/support/wizardrun.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

namespace
{

double UnixNow()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// A field of /proc/self/status in KiB.
qint64 StatusKiB(const char* key)
{
    QFile file(u"/proc/self/status"_qs);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// From here on VmHWM is the peak since now, not since the start.
bool ResetPeak()
{
    QFile file(u"/proc/self/clear_refs"_qs);
    return file.open(QIODevice::WriteOnly) && file.write("5") == 1;
}

bool UploadAboutToGo()
{
    if (G_mWebQueue.isEmpty())
        return false;
    const _STRU_WEB_DATA& head = G_mWebQueue.first();
    return head.strID == u"UPLOAD" && head.dwResult == kWebConnected && head.dwStartTick == 0;
}

// Sees every tick of the frame's queue timer before it is handled: the tick that finds the
// upload connected is the one that sends it.
class CQueueTickWatch : public QObject
{
public:
    double sent = 0;         // that tick began
    double sendReturned = 0; // its handler had returned

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer && sent == 0 && UploadAboutToGo()) {
            sent = UnixNow();
            // Runs once the tick, and with it the synchronous part of the send, is over.
            QTimer::singleShot(0, this, [this] { sendReturned = UnixNow(); });
        }
        return QObject::eventFilter(watched, event);
    }
};

QTimer* QueueTimer(QWidget* frame)
{
    auto* timers = frame->findChild<CWindowTimers*>(QString(), Qt::FindDirectChildrenOnly);
    if (!timers)
        return nullptr;
    for (QTimer* timer : timers->findChildren<QTimer*>()) {
        if (timer->interval() == 800)
            return timer;
    }
    return nullptr;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "bench_upload: %s\n", what);
    return 1;
}

int Run(const QString& firmware)
{
    auto frame = std::make_unique<COstrelDlg>();
    frame->show();
    if (!QTest::qWaitForWindowExposed(frame.get()))
        return Fail("the frame did not show");
    if (!WaitFor([] { return !Scanning(); }, 15'000, 5) ||
        !G_pSearchDlg->ConnectButton()->isEnabled())
        return Fail("no device found");
    // Returns once "Loading...." has ended: its run is modal.
    QTest::mouseClick(G_pSearchDlg->ConnectButton(), Qt::LeftButton);
    if (!G_pSummaryDlg || !G_pSummaryDlg->isVisible())
        return Fail("the summary did not come");
    QTest::mouseClick(G_pSummaryDlg->StepButton(Skin::Firmware), Qt::LeftButton);
    CTarn_ModeDlg* page = G_pModeDlg;
    if (!page || !page->isVisible())
        return Fail("no firmware page");
    page->FileEdit()->setText(firmware);

    CQueueTickWatch watch;
    QTimer* queueTimer = QueueTimer(frame.get());
    if (!queueTimer)
        return Fail("no queue timer");
    queueTimer->installEventFilter(&watch);

    // Whatever the device answers, the watch ends the run once the answer is handled: the
    // upgrade wait is cut short (the page's own way, by leaving it), a refusal is confirmed.
    double handled = 0;
    QString outcome;
    qint64 sampledPeak = 0;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        sampledPeak = std::max(sampledPeak, StatusKiB("VmRSS"));
        if (handled != 0)
            return;
        if (G_pProgress && G_pProgress->isVisible()) {
            handled = UnixNow();
            outcome = G_pProgress->m_strMessage;
            page->hide();
        } else if (G_pMessageDlg && G_pMessageDlg->isVisible()) {
            handled = UnixNow();
            outcome = G_pMessageDlg->m_strMessage;
            QTest::mouseClick(G_pMessageDlg->OkButton(), Qt::LeftButton, {}, QPoint(40, 15));
        }
    });

    QTest::qWait(200);
    const qint64 idleKiB = StatusKiB("VmRSS");
    if (!ResetPeak())
        return Fail("cannot reset the peak (root?)");
    look.start(2);
    const double applied = UnixNow();
    QTest::mouseClick(page->ApplyButton(), Qt::LeftButton);
    if (!WaitFor([&] { return handled != 0; }, 120'000, 5))
        return Fail("no answer to the upload");
    QTest::qWait(50);
    look.stop();
    const qint64 peakKiB = StatusKiB("VmHWM");
    const qint64 afterKiB = StatusKiB("VmRSS");
    // Closing here also drops the reboot request the upgrade queued before it goes out.
    frame.reset();

    const QJsonObject result{{u"applied"_qs, applied},
                             {u"sent"_qs, watch.sent},
                             {u"send_returned"_qs, watch.sendReturned},
                             {u"handled"_qs, handled},
                             {u"outcome"_qs, outcome},
                             {u"idle_kib"_qs, idleKiB},
                             {u"peak_kib"_qs, peakKiB},
                             {u"sampled_peak_kib"_qs, sampledPeak},
                             {u"after_kib"_qs, afterKiB}};
    std::printf("RESULT %s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    return watch.sent != 0 ? 0 : Fail("the sending tick was not seen");
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_upload FIRMWARE_FILE\n");
        return 2;
    }
    CIsolatedWizardApp app(argc, argv);
    return Run(QString::fromLocal8Bit(argv[1]));
}
