#pragma once

#include "pages/skinnedpage.h"

class QPushButton;

// The IP address page of the device console. This minimal form carries only what the console calls.
class CTarn_IPAddrDlg : public CSkinnedPage
{
    Q_OBJECT
public:
    explicit CTarn_IPAddrDlg(QWidget* parent);

    static constexpr int kApply = 1168;

    // The address change has been answered, whatever the answer.
    void OnSetupIPAddressResult();

private:
    QPushButton* m_pApply = nullptr;
};
