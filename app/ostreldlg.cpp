#include "app/ostreldlg.h"

#include "app/dialogservices.h"
#include "app/globals.h"
#include "discovery/udpmanager.h"
#include "platform/stringtable.h"
#include "platform/windowtimers.h"
#include "session/webmanager.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

COstrelDlg::COstrelDlg(QWidget* parent) : QDialog(parent, Qt::Window | Qt::FramelessWindowHint)
{
    const QIcon icon(QStringLiteral(":/ICON/128"));
    setWindowIcon(icon);
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

    // The Locate page is created here once it exists; showing it starts the first scan.

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(kWidth / 2, kHeight / 2));
    }
}

COstrelDlg::~COstrelDlg()
{
    OnDestroy();
}

bool COstrelDlg::OpenConsole(const QString& model, const QString&, const QString&)
{
    if (model != QStringView(kSupportedModel)) {
        done(0);
        return false;
    }
    return false;
}

void COstrelDlg::ShowLocatePage() {}

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
}
