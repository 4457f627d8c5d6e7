#pragma once

#include "pages/skinnedpage.h"
#include "rules/labelareas.h"

class CCTLButton;
class CWindowTimers;
class QPushButton;

// The "Reset" step: reboot the device, or restore its factory settings and reboot it; then
// the wait, and the Locate page to find it again.
class CTarn_SaveDlg : public CSkinnedPage
{
    Q_OBJECT
public:
    explicit CTarn_SaveDlg(QWidget* parent);

    static constexpr int kReboot = 1002;
    static constexpr int kFactoryReset = 1165;
    static constexpr int kApply = 1166;

    static constexpr unsigned kRebootTimer = 1;
    static constexpr int kRebootPeriodMs = 4000;
    // The wait ends on the tick that takes the count past this.
    static constexpr int kRebootLastTick = 10;

    void OnApply();
    void OnTimer(unsigned id);
    // A mouse button went down at `pos` (page coordinates), over the page or one of its controls.
    void OnMouseActivate(QPoint pos);
    // True when the cursor at `pos` shows a hand.
    bool OnSetCursor(QPoint pos) const;

    CCTLButton* RebootRadio() const { return m_pReboot; }
    CCTLButton* FactoryResetRadio() const { return m_pFactoryReset; }
    QPushButton* ApplyButton() const { return m_pApply; }
    const LabelArea& RebootArea() const { return m_rebootArea; }
    const LabelArea& FactoryResetArea() const { return m_factoryResetArea; }
    CWindowTimers* Timers() const { return m_timers; }

    int m_nRebootTicks = 0;

protected:
    void LayoutControls() override;
    void OnPageHidden() override;

private:
    void StartRebootWait();

    CCTLButton* m_pReboot = nullptr;
    CCTLButton* m_pFactoryReset = nullptr;
    QPushButton* m_pApply = nullptr;
    LabelArea m_rebootArea;
    LabelArea m_factoryResetArea;
    CWindowTimers* m_timers = nullptr;
};
