#pragma once

#include "pages/skinnedpage.h"
#include "rules/labelareas.h"

#include <array>

class CCTLButton;
class CIPAddressEdit;
class CWindowTimers;
class CXHTMLStatic;
class QPushButton;

// The "IPAddress" step: the device's LAN address, mask and DHCP server state as last read, and
// a new address and mask with the Auto IP / Static IP choice. Apply sends them; the device is
// then rebooted and found again from the Locate page.
class CTarn_IPAddrDlg : public CSkinnedPage
{
    Q_OBJECT
public:
    explicit CTarn_IPAddrDlg(QWidget* parent);

    static constexpr int kAutoIP = 1002;
    static constexpr int kStaticIP = 1066;
    static constexpr int kAddress = 1068;
    static constexpr int kMask = 1070;
    static constexpr int kApply = 1168;
    static constexpr int kLanAddress = 1169;
    static constexpr int kLanMask = 1170;
    static constexpr int kDHCPState = 1171;
    static constexpr int kDHCPEnable = 1003;
    static constexpr int kDHCPDisable = 1004;

    static constexpr unsigned kRebootTimer = 100;
    static constexpr int kRebootPeriodMs = 4000;
    // The wait ends on the tick that takes the count past this.
    static constexpr int kRebootLastTick = 10;

    // The address change has been answered, whatever the answer: the device is rebooted.
    void OnSetupIPAddressResult();

    void OnApply();
    // One tick of the reboot wait.
    void OnTimer(unsigned id);
    // A mouse button went down at `pos` (page coordinates), over the page or one of its controls.
    void OnMouseActivate(QPoint pos);
    // True when the cursor at `pos` shows a hand.
    bool OnSetCursor(QPoint pos);

    CCTLButton* AutoIPRadio() const { return m_pAutoIP; }
    CCTLButton* StaticIPRadio() const { return m_pStaticIP; }
    CIPAddressEdit* AddressEntry() const { return m_pAddress; }
    CIPAddressEdit* MaskEntry() const { return m_pMask; }
    QPushButton* ApplyButton() const { return m_pApply; }
    CXHTMLStatic* LanText(int controlId) const;
    CCTLButton* DHCPEnableRadio() const { return m_pDHCPEnable; }
    CCTLButton* DHCPDisableRadio() const { return m_pDHCPDisable; }
    const LabelAreas::IPAddressAreas& Areas() const { return m_areas; }
    CWindowTimers* Timers() const { return m_timers; }

    int m_nRebootTicks = 0;

protected:
    void LayoutControls() override;
    void OnPageShown() override;
    void OnPageHidden() override;

private:
    void ShowLanValues();
    void EnableEntries();
    void StartRebootWait();

    CCTLButton* m_pAutoIP = nullptr;
    CCTLButton* m_pStaticIP = nullptr;
    CIPAddressEdit* m_pAddress = nullptr;
    CIPAddressEdit* m_pMask = nullptr;
    QPushButton* m_pApply = nullptr;
    std::array<CXHTMLStatic*, 3> m_lanTexts{};
    CCTLButton* m_pDHCPEnable = nullptr;
    CCTLButton* m_pDHCPDisable = nullptr;
    LabelAreas::IPAddressAreas m_areas;
    CWindowTimers* m_timers = nullptr;
};
