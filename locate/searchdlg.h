#pragma once

#include "controls/ptpicture.h"
#include "discovery/discoverytypes.h"
#include "pages/skin.h"

#include <QRect>
#include <QString>
#include <QWidget>
#include <array>

class CDeviceList;
class CPTButton;
class CPTLabel;
class CWindowTimers;
class QPushButton;

// The Locate page: every showing scans the network, lists the repeaters that answered, and
// Connect opens the device console for the chosen one.
class CSearchDlg : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kDeviceList = 1001;
    static constexpr int kResultLabel = 1065;
    static constexpr int kScan = 3;
    static constexpr int kConnect = 1118;
    static constexpr int kClose = 1018;
    static constexpr int kMinimize = 1185;
    static constexpr int kFirstStep = 1110;
    static constexpr unsigned kAnimationTimer = 1;
    static constexpr int kAnimationPeriodMs = 600;
    // The log line of a login is cut to this many bytes.
    static constexpr qsizetype kLoginLogLimit = 1023;

    explicit CSearchDlg(QWidget* parent);

    void OnScan();
    // Timer 1: the "Searching." animation, and the list once the scan is over.
    void OnTimer();
    void OnListClick();
    void OnConnect();
    // The six values of the selected row, line breaks removed; false when no row is selected.
    bool GetSelectedDevice(_STRU_AP_INFO& device) const;

    // The text of the result label: "Searching.", then the count of devices found.
    QString m_strResult;

    CDeviceList* DeviceList() const { return m_list; }
    CPTLabel* ResultLabel() const { return m_resultLabel; }
    QPushButton* ScanButton() const { return m_scan; }
    QPushButton* ConnectButton() const { return m_connect; }
    CPTButton* StepButton(Skin::Step step) const { return m_steps[step]; }
    CWindowTimers* Timers() const { return m_timers; }

    // "N Smart Repeaters Found !" and its singular and none forms.
    static QString ResultText(int deviceCount);
    // What a login writes to the log.
    static QByteArray LoginLogLine(const QString& user, const QString& password,
                                   const QString& ipAddress, const QString& macAddress);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void SetResult(const QString& text);
    void FillList();

    CPTPicture m_background;
    CDeviceList* m_list = nullptr;
    CPTLabel* m_resultLabel = nullptr;
    QRect m_resultRect;
    std::array<CPTButton*, Skin::kStepCount> m_steps{};
    QPushButton* m_scan = nullptr;
    QPushButton* m_connect = nullptr;
    CPTButton* m_close = nullptr;
    CPTButton* m_minimize = nullptr;
    CWindowTimers* m_timers = nullptr;
};

// The Locate page, owned by the frame; null while it does not exist.
extern CSearchDlg* G_pSearchDlg;
