// What every in-process run of the real frame against the simulated repeater needs: the
// harness's environment, the simulator's control socket and state file, waiting while the
// program's own loops go on, watching its progress runs, connecting and going to a step,
// screenshots, and a private home for the log and the lock.
// Header only: each user builds it with its own KELDA_* paths.
#pragma once

#include "app/ostreldlg.h"
#include "console/tarndlg.h"
#include "controls/dialogservices.h"
#include "controls/ptbutton.h"
#include "locate/devicelist.h"
#include "locate/searchdlg.h"
#include "pages/messagedlg.h"
#include "pages/progressdlg.h"
#include "pages/summarydlg.h"
#include "platform/windowtimers.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <memory>

inline QString Env(const char* name)
{
    return qEnvironmentVariable(name);
}

// KELDA_DEV<n>_<field> of the harness: IP, MASK, MAC, CONTROL, STATE, RECORD...
inline QString DeviceEnv(const char* field, int device = 1)
{
    return qEnvironmentVariable(
        QByteArray("KELDA_DEV" + QByteArray::number(device) + '_' + field).constData());
}

inline bool WaitFor(const std::function<bool()>& condition, int ms, int pollMs = 10)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(pollMs);
    }
    return true;
}

// The program's output with a newline after it, so that a success is never empty; empty when
// it failed.
inline QByteArray Run(const QString& program, const QStringList& arguments, int timeoutMs = 60'000)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitCode() != 0) {
        qWarning("%s %s failed: %s", qPrintable(program), qPrintable(arguments.join(u' ')),
                 process.readAllStandardError().constData());
        return {};
    }
    return process.readAllStandardOutput().append('\n');
}

inline bool Control(const QStringList& words, int device = 1)
{
    return !Run(Env("KELDA_SIM_CTL"), QStringList{DeviceEnv("CONTROL", device)} + words).isEmpty();
}

// The simulated device's state file; its texts hold one character per byte.
inline QJsonObject State(int device = 1)
{
    QFile file(DeviceEnv("STATE", device));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

// One entry of a simulated device's record file: a datagram it received, or everything a
// client sent on one TCP connection.
struct SimRecord {
    QByteArray kind; // "udp" or "tcp"
    double time = 0;
    QByteArray source; // the sender's address and port
    QByteArray data;
};

// The record file: a header line "#REC seq kind time source destination length" before each
// entry's bytes. Reading stops at the first entry that is not whole (the device may be writing).
inline QList<SimRecord> ReadRecords(int device = 1)
{
    QFile file(DeviceEnv("RECORD", device));
    QList<SimRecord> records;
    if (!file.open(QIODevice::ReadOnly))
        return records;
    const QByteArray blob = file.readAll();
    qsizetype pos = 0;
    while (pos < blob.size()) {
        const qsizetype end = blob.indexOf('\n', pos);
        if (end < 0)
            break;
        const QList<QByteArray> fields = blob.mid(pos, end - pos).split(' ');
        if (fields.size() != 7 || fields[0] != "#REC")
            break;
        const qsizetype length = fields[6].toLongLong();
        if (end + 1 + length + 1 > blob.size())
            break;
        records.append({fields[2], fields[3].toDouble(), fields[4], blob.mid(end + 1, length)});
        pos = end + 1 + length + 1;
    }
    return records;
}

#ifdef KELDA_SIMDEVICE
// A list the Locate test's device helper prints, e.g. "values": the thirteen the summary must
// show for the device.
inline QStringList SimDevice(const QString& command, int device = 1)
{
    const QByteArray out =
        Run(u"python3"_qs, {QStringLiteral(KELDA_SIMDEVICE), command, QString::number(device)});
    QStringList values;
    for (const QJsonValue& value : QJsonDocument::fromJson(out).array())
        values.append(value.toString());
    return values;
}

inline QStringList SummaryValues()
{
    return SimDevice(u"values"_qs, 1);
}
#endif

// The frame with its dialog drawn where it stands, as the screen would show them. A dialog
// inside the frame's window is in the frame's own picture already.
inline QImage Screen(QWidget* frame, QWidget* dialog = nullptr)
{
    QImage image = frame->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (dialog && dialog->isVisible() && dialog->isWindow()) {
        QPainter painter(&image);
        painter.drawImage(dialog->pos() - frame->pos(), dialog->grab().toImage());
    }
    return image;
}

#ifdef KELDA_SCREENSHOT_DIR
inline void Save(const QImage& image, const QString& name)
{
    const QString dir = QStringLiteral(KELDA_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    image.save(dir + u"/e2e_"_qs + name + u".png"_qs);
}
#endif

inline bool Scanning()
{
    return G_pSearchDlg && G_pSearchDlg->Timers()->IsRunning(CSearchDlg::kAnimationTimer);
}

inline bool SummaryStands()
{
    return G_pTarnDlg && G_pTarnDlg->isVisible() && G_pSummaryDlg && G_pSummaryDlg->isVisible() &&
           !(G_pProgress && G_pProgress->isVisible());
}

// Watches the program every 5 ms while it runs its own modal loops: the progress dialog (when
// it stood, its texts and pictures), the messages that came (answered with OK), and the
// longest time the program kept this timer waiting. `hook` looks at more on each tick.
class CProgressWatch : public QObject
{
public:
    explicit CProgressWatch(std::function<void(CProgressWatch&)> hook = {},
                            QWidget* frame = nullptr)
        : m_hook(std::move(hook)), m_frame(frame), m_earlierProgress(G_pProgress)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { Look(); });
        m_timer.start(5);
        clock.start();
    }

    QElapsedTimer clock;
    QStringList messages;
    qint64 firstMessage = -1;
    qint64 maxGap = 0;
    QList<int> bitmaps;
    QStringList progressTexts;
    qint64 progressShown = -1;
    qint64 progressGone = -1;
    QImage progress; // the frame with the dialog, 4 s after it came up

    qint64 Waited() const { return progressGone - progressShown; }
    // Times count from here.
    void Restart()
    {
        clock.restart();
        m_last = 0;
        maxGap = 0;
    }

private:
    void Look()
    {
        const qint64 now = clock.elapsed();
        maxGap = std::max(maxGap, now - m_last);
        const bool up = G_pProgress && G_pProgress->isVisible();
        // A console's last picture is set, shown for a second and taken down within one
        // handler: what a new console's dialog holds afterwards tells it.
        if (up || (G_pProgress && G_pProgress != m_earlierProgress)) {
            const int bitmap = G_pProgress->CurrentBitmap();
            if (bitmap && (bitmaps.isEmpty() || bitmaps.last() != bitmap))
                bitmaps.append(bitmap);
        }
        if (up) {
            if (progressShown < 0)
                progressShown = now;
            if (!progressTexts.contains(G_pProgress->m_strMessage))
                progressTexts.append(G_pProgress->m_strMessage);
            if (m_frame && progress.isNull() && now - progressShown > 4000)
                progress = Screen(m_frame, G_pProgress);
        } else if (progressShown >= 0 && progressGone < 0) {
            progressGone = now;
        }
        if (m_hook)
            m_hook(*this);
        if (G_pMessageDlg && G_pMessageDlg->isVisible()) {
            if (firstMessage < 0)
                firstMessage = now;
            messages.append(G_pMessageDlg->m_strMessage);
            QTest::mouseClick(G_pMessageDlg->OkButton(), Qt::LeftButton, {}, QPoint(40, 15));
        }
        // A hook that blocks (a control command) is not the program's doing.
        m_last = clock.elapsed();
    }

    std::function<void(CProgressWatch&)> m_hook;
    QWidget* m_frame;
    // A console from before the watch began: its dialog still holds its last picture.
    const CTarn_Progress* m_earlierProgress;
    QTimer m_timer;
    qint64 m_last = 0;
};

// Waits for the scan's end; the one device listed must be at `ip`.
inline void WaitForOneDevice(const QString& ip, int ms = 15'000)
{
    QVERIFY(WaitFor([] { return !Scanning(); }, ms));
    QCOMPARE(G_pSearchDlg->DeviceList()->topLevelItemCount(), 1);
    _STRU_AP_INFO device;
    QVERIFY(G_pSearchDlg->GetSelectedDevice(device));
    QCOMPARE(device.strIP, ip);
}

// Connects to the one device as the user does; its summary must stand with no message. The
// loading run is modal; another subnet first needs an address of the wizard's own.
inline void ConnectTo(const QString& ip)
{
    WaitForOneDevice(ip);
    CProgressWatch watch;
    QTest::mouseClick(G_pSearchDlg->ConnectButton(), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return !watch.messages.isEmpty() || SummaryStands(); }, 40'000));
    QCOMPARE(watch.messages, QStringList());
    QCOMPARE(G_pTarnDlg->m_strIPAddress, ip);
}

inline void ToStep(Skin::Step step, QWidget* page)
{
    QTest::mouseClick(G_pSummaryDlg->StepButton(step), Qt::LeftButton);
    QVERIFY(page->isVisible());
}

// The base of an e2e fixture: the real frame, made and shown for a test function.
class CWizardTest : public QObject
{
protected:
    void ShowFrame()
    {
        m_frame = std::make_unique<COstrelDlg>();
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    }

    std::unique_ptr<COstrelDlg> m_frame;
};

// A home of this run's own for the log and the lock, gone with it.
class CPrivateHome
{
public:
    CPrivateHome()
    {
        QDir(m_home.path()).mkdir(u"run"_qs);
        QFile::setPermissions(m_home.filePath(u"run"_qs),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("HOME", m_home.path().toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", m_home.filePath(u"run"_qs).toLocal8Bit());
        // A desktop test names its platform (tests/e2e/desktop/on_desktop); others draw offscreen.
        const QByteArray platform = qgetenv("KELDA_E2E_QPA");
        qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    }

private:
    QTemporaryDir m_home;
};

// The application as the wizard sets it up, offscreen, in a private home.
class CIsolatedWizardApp
{
public:
    CIsolatedWizardApp(int& argc, char* argv[]) : m_app(argc, argv)
    {
        QApplication::setFont(QFont(u"Verdana"_qs, 9));
        m_app.installEventFilter(&m_keyFilter);
    }

private:
    CPrivateHome m_home; // before the application, which reads the environment
    QApplication m_app;
    CEnterEscFilter m_keyFilter;
};

template <typename Test> int RunWizardTest(int argc, char* argv[])
{
    CIsolatedWizardApp app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}
