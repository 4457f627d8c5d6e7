#include "app/ostreldlg.h"

#include "console/tarndlg.h"
#include "controls/dialogservices.h"
#include "discovery/discoveryreply.h"
#include "discovery/udpmanager.h"
#include "locate/searchdlg.h"
#include "pages/overlaydialog.h"
#include "platform/codepage.h"
#include "platform/diaglog.h"
#include "platform/stringtable.h"
#include "platform/windowtimers.h"
#include "session/webmanager.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QIcon>
#include <QImageReader>
#include <QScreen>
#include <QThreadPool>
#include <QTimer>

COstrelDlg* G_pMainDlg = nullptr;

COstrelDlg::COstrelDlg(QWidget* parent) : QDialog(parent, Qt::Window | Qt::FramelessWindowHint)
{
    // The first page needs the picture decoders and the font database, both slow to load the
    // first time; another thread loads them while the frame sets up what it owns.
    QThreadPool::globalInstance()->start([] {
        QImageReader::supportedImageFormats();
        QFontDatabase::families();
    });
    G_pMainDlg = this;
    COverlayDialog::SetClosing(false);
    setWindowTitle(LoadString(178));
    setObjectName(QStringLiteral("COstrelDlg"));
    MakeProgramFrame(this);

    move(0, 0);
    setFixedSize(kWidth, kHeight);

    m_timers = new CWindowTimers(this);
    G_pUDPManager = new CUDPManager(1, this, m_timers);
    m_timers->SetTimer(kDiscoveryTimer, 300, DiscoveryTimerProc);
    qApp->installEventFilter(this);
    G_pWEBManager = new CWEBManager(this);
    connect(G_pWEBManager, &CWEBManager::shutdownSignal, this,
            [this](int signal) { EndProgram(u"Signal %1"_qs.arg(signal)); });
    m_timers->SetTimer(kQueueTimer, 800, PumpQueue);

    // Showing the Locate page starts the first scan, as soon as the frame itself shows.
    G_pSearchDlg = new CSearchDlg(this);
    G_pSearchDlg->setGeometry(rect());
    G_pSearchDlg->raise();
    G_pSearchDlg->show();

    // Not part of the page: read once the event loop runs, while the window is being mapped.
    QTimer::singleShot(0, this, [this] { setWindowIcon(QIcon(QStringLiteral(":/ICON/128"))); });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(kWidth / 2, kHeight / 2));
    }
}

COstrelDlg::~COstrelDlg()
{
    OnDestroy();
    // This program's run is over; a frame made after it (in a test) starts afresh.
    COverlayDialog::SetClosing(false);
}

bool COstrelDlg::OpenConsole(const QString& model, const QString& ipAddress,
                             const QString& subnetMask)
{
    // The old console and its pages go before the new ones exist: they share the page
    // references.
    if (G_pTarnDlg) {
        G_pTarnDlg->hide();
        delete G_pTarnDlg;
        G_pTarnDlg = nullptr;
    }
    if (model != QStringView(kSupportedModel)) {
        EndProgram(u"Model %1 is not supported"_qs.arg(model));
        if (G_pSearchDlg)
            G_pSearchDlg->hide();
        return false;
    }
    auto* console = new CTarnDlg(this);
    G_pTarnDlg = console;
    console->hide();
    console->setGeometry(rect());
    console->raise();
    console->SetDevice(ipAddress, subnetMask);
    console->show();
    if (G_pSearchDlg)
        G_pSearchDlg->hide();
    return true;
}

void COstrelDlg::ShowLocatePage()
{
    if (G_pSearchDlg)
        G_pSearchDlg->show();
    if (G_pTarnDlg)
        G_pTarnDlg->hide();
}

void COstrelDlg::CloseWizard()
{
    EndProgram(u"Close"_qs);
}

void COstrelDlg::closeEvent(QCloseEvent* event)
{
    // The window manager's close (Alt+F4, the title-bar menu, the taskbar) is Close.
    event->accept();
    EndProgram(u"Window closed"_qs);
}

bool COstrelDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::Quit) {
        EndProgram(u"Session ending"_qs);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void COstrelDlg::done(int result)
{
    if (m_closing)
        QDialog::done(result);
    else
        EndProgram(u"Ended"_qs, result);
}

void COstrelDlg::EndProgram(const QString& why, int result)
{
    if (m_closing)
        return;
    m_closing = true;
    WriteLog(ToAnsi(why + u": closing"_qs));
    // Nothing more goes out: no query, no next command, and the rest of an unfinished request
    // never reaches the device.
    m_timers->KillTimer(kDiscoveryTimer);
    m_timers->KillTimer(kQueueTimer);
    if (G_pWEBManager)
        G_pWEBManager->AbandonRequest();
    hide();
    // Every run nested in the frame's ends, or the frame's own could never return: the
    // overlay dialogs, and any other modal dialog a page opened.
    COverlayDialog::SetClosing(true);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog != this &&
                                                           dialog->isVisible())
            dialog->reject();
    }
    QDialog::done(result);
}

void COstrelDlg::MinimizeWizard()
{
    showMinimized();
}

void COstrelDlg::OnDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    // Stop the pacing first: nothing may be sent once the objects start going away.
    m_timers->KillTimer(kDiscoveryTimer);
    if (G_pUDPManager) {
        G_pUDPManager->Shutdown();
        delete G_pUDPManager;
        G_pUDPManager = nullptr;
    }
    m_timers->KillTimer(kQueueTimer);
    // The pages go before the route's clean-up, so that none of their timers can act on a
    // device the user has left while it runs.
    delete G_pSearchDlg;
    G_pSearchDlg = nullptr;
    delete G_pTarnDlg;
    G_pTarnDlg = nullptr;
    // A hidden window leaves the screen once the display server hears of it, which on Wayland
    // is at the event loop's next pass: the window goes before the clean-up, not after it.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (G_pWEBManager) {
        G_pWEBManager->ReleaseRoute();
        delete G_pWEBManager;
        G_pWEBManager = nullptr;
    }
}
