#pragma once

#include "pages/skinnedpage.h"

#include <array>

class CCTLButton;
class CXHTMLStatic;

// The "Repeater" step: a read-only overview of the connected device's settings, as last read
// from its status pages.
class CTarn_SummaryDlg : public CSkinnedPage
{
    Q_OBJECT
public:
    static constexpr int kFirstValue = 1126;
    static constexpr int kValueCount = 13;
    // The DHCP state as text; the radios show it instead.
    static constexpr int kDHCPValue = 1130;
    static constexpr int kDHCPEnable = 1002;
    static constexpr int kDHCPDisable = 1003;

    explicit CTarn_SummaryDlg(QWidget* parent);

    // Shows the status values as they were last read from the device.
    void FillSummary();

    CXHTMLStatic* Value(int controlId) const;
    CCTLButton* EnableRadio() const { return m_enable; }
    CCTLButton* DisableRadio() const { return m_disable; }

protected:
    void LayoutControls() override;
    void OnPageShown() override;

private:
    void ShowValue(int index);

    std::array<CXHTMLStatic*, kValueCount> m_values{};
    CCTLButton* m_enable = nullptr;
    CCTLButton* m_disable = nullptr;
};
