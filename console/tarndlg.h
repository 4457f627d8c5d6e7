#pragma once

#include "protocol/commands.h"

#include <QString>
#include <QWidget>
#include <cstdint>

class CTarn_IPAddrDlg;
class CTarn_MessageDlg;
class CTarn_ModeDlg;
class CTarn_PasswordDlg;
class CTarn_Progress;
class CTarn_SaveDlg;
class CTarn_SummaryDlg;
class CTarn_SurveyDlg;
class CWindowTimers;

// The console's pages and dialogs, while a console lives; null otherwise. The pages and the
// result dispatch reach each other through these.
extern CTarn_IPAddrDlg* G_pIPAddrDlg;
extern CTarn_ModeDlg* G_pModeDlg;
extern CTarn_SummaryDlg* G_pSummaryDlg;
extern CTarn_SurveyDlg* G_pSurveyDlg;
extern CTarn_PasswordDlg* G_pPasswordDlg;
extern CTarn_SaveDlg* G_pSaveDlg;
extern CTarn_MessageDlg* G_pMessageDlg;
extern CTarn_Progress* G_pProgress;

// The device console: stands in the frame while the wizard is connected to one device, hosts
// the six pages, keeps the device's address for the request builders and routes every finished
// command to whoever needs its answer.
class CTarnDlg : public QWidget, public CCommandHost
{
    Q_OBJECT
public:
    static constexpr unsigned kResultTimer = 1;
    static constexpr int kResultPeriodMs = 200;
    // Longer responses are not written to the log, only noted.
    static constexpr qsizetype kLogLimit = 32000;

    explicit CTarnDlg(QWidget* parent);
    ~CTarnDlg() override;

    void SetDevice(const QString& ipAddress, const QString& subnetMask);
    // Shows one of the six pages and hides the others.
    void ShowPage(QWidget* page);

    QString DeviceIPAddress() const override { return m_strIPAddress; }
    QString DeviceSubnetMask() const override { return m_strSubnetMask; }
    void CommandQueued(const QString& strID) override;

    // One tick of the result timer: takes every finished command and handles it.
    void OnResultTimer();

    CWindowTimers* Timers() const { return m_timers; }
    // Tells this console's commands from those of the consoles before it; never 0.
    std::uint32_t ConsoleId() const { return m_nConsoleId; }

    // A usable answer: "HTTP" and "200" anywhere in it. Judged as loosely as the device's
    // answers always have been; nothing else of the status line is looked at.
    static bool IsResponseOK(const QString& response);

    QString m_strIPAddress;
    QString m_strSubnetMask;

protected:
    void showEvent(QShowEvent* event) override;

private:
    enum class OnLostConnection { Handle, FailClosingProgress, FailKeepingProgress };
    struct Branch;
    static const Branch kBranches[];

    // Returns false when the tick must end here.
    bool HandleResult(const QString& strID, qint32 dwResult, const QString& response);
    void Fail(bool closeProgress);
    void ReturnToLocatePage();
    void ShowMessage(int stringId);
    bool ProgressOpen() const;

    void OnLanInfo(const QString& response, bool ok);
    void OnWanInfo(const QString& response, bool ok);
    void OnGetStatus(const QString& response, bool ok);
    void OnRepeater(const QString& response, bool ok);
    void OnSiteSurvey(const QString& response, bool ok);
    void OnSetupIPAddress(const QString& response, bool ok);
    void OnUpload(const QString& response, bool ok);
    void OnSetupPassword(const QString& response, bool ok);

    CWindowTimers* m_timers = nullptr;
    std::uint32_t m_nConsoleId = 0;
};

// The console of the connected device, owned by the frame; null while none lives.
extern CTarnDlg* G_pTarnDlg;
