#include "app/ostreldlg.h"

#include "app/dialogservices.h"
#include "app/globals.h"
#include "discovery/udpmanager.h"
#include "locate/searchdlg.h"
#include "platform/stringtable.h"
#include "platform/windowtimers.h"
#include "protocol/tarndlg.h"
#include "session/webmanager.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QScreen>
#include <QThreadPool>
#include <QTimer>

COstrelDlg::COstrelDlg(QWidget* parent) : QDialog(parent, Qt::Window | Qt::FramelessWindowHint)
{
    // The first page needs the picture decoders and the font database, both slow to load the
    // first time; another thread loads them while the frame sets up what it owns.
    QThreadPool::globalInstance()->start([] {
        QImageReader::supportedImageFormats();
        QFontDatabase::families();
    });
    G_pMainDlg = this;
    setWindowTitle(LoadString(178));
    setObjectName(QStringLiteral("COstrelDlg"));
    MakeProgramDialog(this, true);

    move(0, 0);
    setFixedSize(kWidth, kHeight);

    m_timers = new CWindowTimers(this);
    G_pUDPManager = new CUDPManager(1, this, m_timers);
    m_timers->SetTimer(kDiscoveryTimer, 300, DiscoveryTimerProc);
    G_pWEBManager = new CWEBManager(this);
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
        done(0);
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
    done(0);
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
    if (G_pWEBManager) {
        G_pWEBManager->ReleaseRoute();
        delete G_pWEBManager;
        G_pWEBManager = nullptr;
    }
    delete G_pSearchDlg;
    G_pSearchDlg = nullptr;
    delete G_pTarnDlg;
    G_pTarnDlg = nullptr;
}
