#pragma once

#include "pages/skinnedpage.h"

class QPushButton;

// The password page of the device console. This minimal form carries only what the console calls.
class CTarn_PasswordDlg : public CSkinnedPage
{
    Q_OBJECT
public:
    explicit CTarn_PasswordDlg(QWidget* parent);

    static constexpr int kApply = 1167;

    // The password change has been answered, whatever the answer.
    void OnSetupPasswordResult();

private:
    QPushButton* m_pApply = nullptr;
};
