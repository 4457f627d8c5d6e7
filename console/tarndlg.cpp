#include "console/tarndlg.h"

#include "app/ostreldlg.h"
#include "controls/dialogservices.h"
#include "pages/ipaddrdlg.h"
#include "pages/messagedlg.h"
#include "pages/modedlg.h"
#include "pages/overlaydialog.h"
#include "pages/passworddlg.h"
#include "pages/progressdlg.h"
#include "pages/savedlg.h"
#include "pages/summarydlg.h"
#include "pages/surveydlg.h"
#include "platform/codepage.h"
#include "platform/diaglog.h"
#include "platform/stringtable.h"
#include "platform/windowtimers.h"
#include "protocol/answer.h"
#include "protocol/scraper.h"
#include "session/webmanager.h"

#include <QPointer>
#include <QShowEvent>
#include <QTimer>

CTarnDlg* G_pTarnDlg = nullptr;

CTarn_IPAddrDlg* G_pIPAddrDlg = nullptr;
CTarn_ModeDlg* G_pModeDlg = nullptr;
CTarn_SummaryDlg* G_pSummaryDlg = nullptr;
CTarn_SurveyDlg* G_pSurveyDlg = nullptr;
CTarn_PasswordDlg* G_pPasswordDlg = nullptr;
CTarn_SaveDlg* G_pSaveDlg = nullptr;
CTarn_MessageDlg* G_pMessageDlg = nullptr;
CTarn_Progress* G_pProgress = nullptr;

namespace
{

constexpr int kCannotConnect = 207;

// Steps of the "Loading...." animation as the three status pages come in.
constexpr int kLanInfoFrame = 3;
constexpr int kWanInfoFrame = 7;
constexpr int kGetStatusFrame = 10;
// Lets the last frame be seen before the dialog goes.
constexpr int kLoadedPauseMs = 1000;

bool CommandQueueEmpty()
{
    return G_mWebQueue.isEmpty();
}

template <typename Page> Page* MakePage(QWidget* console, Page*& reference)
{
    auto* page = new Page(console);
    page->setGeometry(console->rect());
    page->hide();
    reference = page;
    return page;
}

template <typename Object> void Destroy(Object*& reference)
{
    delete reference;
    reference = nullptr;
}

} // namespace

struct CTarnDlg::Branch {
    QStringView keyword;
    // What results 5, 6 and 7 (no connection, time-out, connection lost) do.
    OnLostConnection lost;
    void (CTarnDlg::*handle)(const QString& response, bool ok);
};

// Every command the console hears back from. REBOOT and RESETDEFAULT are not here: the device
// goes away while answering them, so their results mean nothing.
const CTarnDlg::Branch CTarnDlg::kBranches[] = {
    {u"LANINFO", OnLostConnection::FailClosingProgress, &CTarnDlg::OnLanInfo},
    {u"WANINFO", OnLostConnection::FailClosingProgress, &CTarnDlg::OnWanInfo},
    {u"GETSTATUS", OnLostConnection::FailClosingProgress, &CTarnDlg::OnGetStatus},
    {u"REPEATER", OnLostConnection::FailKeepingProgress, &CTarnDlg::OnRepeater},
    {u"SITESURVEY", OnLostConnection::Handle, &CTarnDlg::OnSiteSurvey},
    {u"SETUPIPADDRESS", OnLostConnection::Handle, &CTarnDlg::OnSetupIPAddress},
    {u"UPLOAD", OnLostConnection::Handle, &CTarnDlg::OnUpload},
    {u"SETUPPASSWORD", OnLostConnection::Handle, &CTarnDlg::OnSetupPassword},
};

CTarnDlg::CTarnDlg(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"CTarnDlg"_qs);
    setAttribute(Qt::WA_OpaquePaintEvent);
    MakeProgramDialog(this, true);
    setGeometry(0, 0, COstrelDlg::kWidth, COstrelDlg::kHeight);
    m_timers = new CWindowTimers(this);
    static std::uint32_t lastConsoleId = 0;
    if (++lastConsoleId == 0)
        ++lastConsoleId;
    m_nConsoleId = lastConsoleId;

    MakePage(this, G_pIPAddrDlg);
    MakePage(this, G_pModeDlg);
    MakePage(this, G_pSummaryDlg);
    MakePage(this, G_pSurveyDlg);
    MakePage(this, G_pPasswordDlg);
    MakePage(this, G_pSaveDlg);
    G_pMessageDlg = new CTarn_MessageDlg(this);
    G_pProgress = new CTarn_Progress(this);

    SetCommandHost(this);
    // A new Connect: nothing the previous console left may reach this one.
    if (G_pWEBManager)
        G_pWEBManager->SetConsole(m_nConsoleId);
}

CTarnDlg::~CTarnDlg()
{
    if (CommandHost() == this)
        SetCommandHost(nullptr);
    m_timers->KillTimer(kResultTimer);
    Destroy(G_pIPAddrDlg);
    Destroy(G_pModeDlg);
    Destroy(G_pPasswordDlg);
    Destroy(G_pSaveDlg);
    Destroy(G_pSummaryDlg);
    Destroy(G_pSurveyDlg);
    Destroy(G_pMessageDlg);
    Destroy(G_pProgress);
}

void CTarnDlg::SetDevice(const QString& ipAddress, const QString& subnetMask)
{
    m_strIPAddress = ipAddress;
    m_strSubnetMask = subnetMask;
}

void CTarnDlg::ShowPage(QWidget* page)
{
    const QList<QWidget*> pages = {G_pIPAddrDlg, G_pModeDlg,     G_pSummaryDlg,
                                   G_pSurveyDlg, G_pPasswordDlg, G_pSaveDlg};
    for (QWidget* other : pages) {
        if (other && other != page)
            other->hide();
    }
    if (page)
        page->show();
}

void CTarnDlg::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Restoring the minimized program window is no new visit: the page shown stays, and with
    // it any wait under way.
    if (!event->spontaneous())
        ShowPage(G_pSummaryDlg);
}

void CTarnDlg::CommandQueued(const QString& strID)
{
    // No second connect or upload can be started before the device has answered this one.
    if (G_pSurveyDlg && (strID == u"UPLOAD" || strID == u"REPEATER"))
        G_pSurveyDlg->SetConnectEnabled(false);
    m_timers->SetTimer(kResultTimer, kResultPeriodMs, [this](unsigned) { OnResultTimer(); });
}

bool CTarnDlg::IsResponseOK(const QString& response)
{
    return ::IsResponseOK(response);
}

void CTarnDlg::OnResultTimer()
{
    if (CommandQueueEmpty())
        m_timers->KillTimer(kResultTimer);
    // A handler may run a modal dialog, inside which this timer fires again and takes later
    // results; each result leaves the finished list before it is handled, so none is handled
    // twice. A new Connect inside such a dialog deletes this console: the loop ends with it.
    const QPointer<CTarnDlg> self(this);
    while (self) {
        qint32 dwResult = 0;
        QString response;
        const QString strID =
            G_pWEBManager ? G_pWEBManager->TakeResult(m_nConsoleId, dwResult, response) : QString();
        if (strID.isEmpty())
            return;
        WriteLog(ToAnsi(u"dwResult=%1"_qs.arg(dwResult)));
        if (response.size() >= kLogLimit)
            WriteLog("Data length >32000");
        else
            WriteLog(ToAnsi(response));
        if (!HandleResult(strID, dwResult, response))
            return;
    }
}

bool CTarnDlg::HandleResult(const QString& strID, qint32 dwResult, const QString& response)
{
    for (const Branch& branch : kBranches) {
        if (QStringView(strID).compare(branch.keyword, Qt::CaseInsensitive) != 0)
            continue;
        const bool lost = dwResult == 5 || dwResult == 6 || dwResult == 7;
        if (lost && branch.lost != OnLostConnection::Handle) {
            Fail(branch.lost == OnLostConnection::FailClosingProgress);
            return false;
        }
        // Only an answer that came back whole counts: a reset or a time-out in the middle of a
        // page can carry "HTTP" and "200" without being the device's word.
        (this->*branch.handle)(response, IsAnswerAccepted(dwResult, response));
        return true;
    }
    return true;
}

void CTarnDlg::Fail(bool closeProgress)
{
    if (closeProgress && ProgressOpen())
        G_pProgress->done(0);
    const QPointer<CTarnDlg> self(this);
    ShowMessage(kCannotConnect);
    if (self && !COverlayDialog::Closing())
        ReturnToLocatePage();
}

void CTarnDlg::ReturnToLocatePage()
{
    if (G_pMainDlg)
        G_pMainDlg->ShowLocatePage();
    hide();
}

void CTarnDlg::ShowMessage(int stringId)
{
    if (!G_pMessageDlg)
        return;
    G_pMessageDlg->m_strMessage = LoadString(stringId);
    G_pMessageDlg->exec();
}

bool CTarnDlg::ProgressOpen() const
{
    // Running, not visible: a hidden window hides the dialog too, and it must still end.
    return G_pProgress && G_pProgress->IsRunning();
}

void CTarnDlg::OnLanInfo(const QString& response, bool ok)
{
    if (ProgressOpen())
        G_pProgress->SetFrame(kLanInfoFrame);
    QueueWanInfo({}, {});
    if (ok)
        ParseLanPage(response);
}

void CTarnDlg::OnWanInfo(const QString& response, bool ok)
{
    if (ProgressOpen())
        G_pProgress->SetFrame(kWanInfoFrame);
    QueueGetStatus({}, {});
    if (ok)
        ParseWanPage(response);
}

void CTarnDlg::OnGetStatus(const QString& response, bool ok)
{
    if (ProgressOpen())
        G_pProgress->SetFrame(kGetStatusFrame);
    // The last frame stays a moment before the dialog goes; the window is served meanwhile.
    QTimer::singleShot(kLoadedPauseMs, this, [this, response, ok] {
        if (CommandQueueEmpty() && ProgressOpen())
            G_pProgress->done(0);
        if (ok)
            ParseStatusPage(response);
    });
}

void CTarnDlg::OnRepeater(const QString&, bool)
{
    // Whatever the device said: it has the settings and will be rebooted.
    if (G_pSurveyDlg)
        G_pSurveyDlg->OnRepeaterResult();
}

void CTarnDlg::OnSiteSurvey(const QString& response, bool ok)
{
    if (!G_pSurveyDlg)
        return;
    if (ok)
        G_pSurveyDlg->ParseSurvey(response);
    else
        G_pSurveyDlg->OnSurveyFailed();
}

void CTarnDlg::OnSetupIPAddress(const QString& response, bool ok)
{
    if (ok)
        ParseStatusPage(response);
    if (G_pIPAddrDlg)
        G_pIPAddrDlg->OnSetupIPAddressResult();
}

void CTarnDlg::OnUpload(const QString& response, bool ok)
{
    if (G_pModeDlg)
        G_pModeDlg->OnUploadResult(response, ok);
}

void CTarnDlg::OnSetupPassword(const QString&, bool)
{
    // The next login has to use the new password.
    if (G_pPasswordDlg)
        G_pPasswordDlg->OnSetupPasswordResult();
    ReturnToLocatePage();
}
