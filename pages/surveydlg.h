#pragma once

#include "pages/skinnedpage.h"

#include <QString>
#include <array>

class CWindowTimers;
class CXHTMLStatic;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The "Wireless" step: the device's current wireless and internet values, the networks its
// site survey sees, the key for the chosen one, and Connect, which makes the device a repeater
// of that network and has it rebooted.
class CTarn_SurveyDlg : public CSkinnedPage
{
    Q_OBJECT
public:
    explicit CTarn_SurveyDlg(QWidget* parent);

    static constexpr int kScan = 1161;
    static constexpr int kConnect = 1162;
    static constexpr int kAccessPointList = 1102;
    static constexpr int kKeyEdit = 1003;
    static constexpr int kDefaultKey = 1004;
    static constexpr int kFirstValue = 1172;
    static constexpr int kValueCount = 6;

    // Columns of the access point list; only SSID and Encrypt are wide enough to be seen.
    enum Column { BSSID, SSID, Channel, Encrypt, Signal, Mode, Keyword, kColumnCount };

    static constexpr unsigned kRebootTimer = 300;
    static constexpr int kRebootPeriodMs = 3500;
    // The wait ends on the tick that takes the count past this.
    static constexpr int kRebootLastTick = 10;

    // Connect button and key box together: off while a connect or an upload is under way.
    void SetConnectEnabled(bool enabled);
    // The device took the repeater settings (any answer but a lost connection).
    void OnRepeaterResult();
    // A site survey answered "HTTP" "200": its page.
    void ParseSurvey(const QString& response);
    // A site survey without a usable answer: ready for another scan.
    void OnSurveyFailed();

    void OnScan();
    void OnConnect();
    // Fits the key box and the default key choice to the selected network's security.
    void UpdateKeyEntry();
    // One tick of the reboot wait.
    void OnTimer(unsigned id);

    QPushButton* ScanButton() const { return m_pScan; }
    QPushButton* ConnectButton() const { return m_pConnect; }
    QTreeWidget* AccessPointList() const { return m_pList; }
    QLineEdit* KeyEdit() const { return m_pKeyEdit; }
    QComboBox* DefaultKeyChoice() const { return m_pDefaultKey; }
    CXHTMLStatic* Value(int controlId) const;
    CWindowTimers* Timers() const { return m_timers; }

    QString m_strSSID;
    QString m_strChannel = u"11"_qs;
    int m_nRebootTicks = 0;

protected:
    void LayoutControls() override;
    void OnPageShown() override;
    void OnPageHidden() override;

private:
    void ShowStatusValues();
    void OnListItemChanged();
    void StartRebootWait();
    void ShowMessage(int stringId);
    QString SelectedKeyword() const;

    QPushButton* m_pScan = nullptr;
    QPushButton* m_pConnect = nullptr;
    QTreeWidget* m_pList = nullptr;
    QLineEdit* m_pKeyEdit = nullptr;
    QComboBox* m_pDefaultKey = nullptr;
    std::array<CXHTMLStatic*, kValueCount> m_values{};
    CWindowTimers* m_timers = nullptr;
};
