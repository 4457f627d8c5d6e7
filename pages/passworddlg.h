#pragma once

#include "pages/skinnedpage.h"
#include "rules/labelareas.h"

class QLineEdit;
class QPushButton;

// The "Password" step: the administrator's new password, typed twice, with the current one.
// Once the device has answered the user logs in again from the Locate page.
class CTarn_PasswordDlg : public CSkinnedPage
{
    Q_OBJECT
public:
    explicit CTarn_PasswordDlg(QWidget* parent);

    static constexpr int kUserName = 1003;
    static constexpr int kCurrentPassword = 1096;
    static constexpr int kNewPassword = 1094;
    static constexpr int kConfirmPassword = 1095;
    static constexpr int kApply = 1167;

    // The password change has been answered, whatever the answer.
    void OnSetupPasswordResult();

    void OnApply();
    // True when the cursor at `pos` (page coordinates) shows a hand.
    bool OnSetCursor(QPoint pos) const { return m_handArea.Contains(pos); }

    QLineEdit* UserNameEdit() const { return m_pUserName; }
    QLineEdit* CurrentPasswordEdit() const { return m_pCurrent; }
    QLineEdit* NewPasswordEdit() const { return m_pNew; }
    QLineEdit* ConfirmPasswordEdit() const { return m_pConfirm; }
    QPushButton* ApplyButton() const { return m_pApply; }
    const LabelArea& HandArea() const { return m_handArea; }

protected:
    void LayoutControls() override;
    void OnPageShown() override;

private:
    void ClearPasswords();

    QLineEdit* m_pUserName = nullptr;
    QLineEdit* m_pCurrent = nullptr;
    QLineEdit* m_pNew = nullptr;
    QLineEdit* m_pConfirm = nullptr;
    QPushButton* m_pApply = nullptr;
    LabelArea m_handArea;
};
