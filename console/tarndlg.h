#pragma once

#include "pages/consolepages.h"
#include "pages/navigation.h"
#include "protocol/commands.h"

#include <QString>
#include <QWidget>
#include <cstdint>

class CWindowTimers;

// The device console: stands in the frame while the wizard is connected to one device, hosts
// the six pages, keeps the device's address for the request builders and routes every finished
// command to whoever needs its answer. Its pages navigate through it: it passes their requests
// on to the frame and, standing alone without one, leaves the Locate page to whoever is there.
class CTarnDlg : public QWidget, public CCommandHost, public INavigation
{
    Q_OBJECT
public:
    static constexpr unsigned kResultTimer = 1;
    static constexpr int kResultPeriodMs = 200;
    // Longer responses are not written to the log, only noted.
    static constexpr qsizetype kLogLimit = 32000;

    explicit CTarnDlg(QWidget* parent, INavigation* frame = nullptr);
    ~CTarnDlg() override;

    void SetDevice(const QString& ipAddress, const QString& subnetMask);
    // Shows one of the six pages and hides the others.
    void ShowPage(QWidget* page);

    QString DeviceIPAddress() const override { return m_strIPAddress; }
    QString DeviceSubnetMask() const override { return m_strSubnetMask; }
    void CommandQueued(const QString& strID) override;

    bool OpenConsole(const QString& model, const QString& ipAddress,
                     const QString& subnetMask) override;
    // Hides this console, with or without a frame to show the Locate page.
    void ShowLocatePage() override;
    void CloseWizard() override;
    void MinimizeWizard() override;

    // One tick of the result timer: takes every finished command and handles it.
    void OnResultTimer();

    CWindowTimers* Timers() const { return m_timers; }
    // Tells this console's commands from those of the consoles before it; never 0.
    std::uint32_t ConsoleId() const { return m_nConsoleId; }

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

    INavigation* m_frame = nullptr;
    CWindowTimers* m_timers = nullptr;
    std::uint32_t m_nConsoleId = 0;
};

// The console of the connected device, owned by the frame; null while none lives.
extern CTarnDlg* G_pTarnDlg;
