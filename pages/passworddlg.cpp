#include "pages/passworddlg.h"

#include "pages/configpages.h"
#include "pages/pageaccessible.h"
#include "protocol/commands.h"
#include "rules/passwordrules.h"
#include "session/sessionvalues.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace
{

constexpr PageSkin kSkin = {137, 1133, 1179, 1181, 1192, 1193, Skin::Password, false};

constexpr int kUserNameRect = 533;
constexpr int kCurrentRect = 193;
constexpr int kNewRect = 534;
constexpr int kConfirmRect = 535;
constexpr int kApplyRect = 234;
constexpr int kHandArea = 532;

QLineEdit* MakeEdit(QWidget* page, int controlId)
{
    auto* edit = new QLineEdit(page);
    edit->setObjectName(QString::number(controlId));
    return edit;
}

QLineEdit* MakePasswordEdit(QWidget* page, int controlId)
{
    QLineEdit* edit = MakeEdit(page, controlId);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

} // namespace

CTarn_PasswordDlg::CTarn_PasswordDlg(QWidget* parent) : CSkinnedPage(parent, kSkin)
{
    setObjectName(u"CTarn_PasswordDlg"_qs);
    m_pUserName = MakeEdit(this, kUserName);
    m_pUserName->setReadOnly(true);
    m_pCurrent = MakePasswordEdit(this, kCurrentPassword);
    m_pNew = MakePasswordEdit(this, kNewPassword);
    m_pConfirm = MakePasswordEdit(this, kConfirmPassword);
    m_pApply = new QPushButton(u"Apply"_qs, this);
    m_pApply->setObjectName(QString::number(kApply));
    m_pApply->setAutoDefault(false);
    connect(m_pApply, &QPushButton::clicked, this, &CTarn_PasswordDlg::OnApply);

    m_pUserName->setAccessibleName(u"User Name"_qs);
    m_pCurrent->setAccessibleName(u"Current Password"_qs);
    m_pNew->setAccessibleName(u"New Password"_qs);
    m_pConfirm->setAccessibleName(u"Confirm Password"_qs);
    PageAccessibility::DescribePage(this, PageText::kPassword);
    SetContentTabOrder({m_pUserName, m_pCurrent, m_pNew, m_pConfirm, m_pApply});

    OnInitDialog();
    new CLabelAreaWatcher(this, [this](QPoint pos) { return OnSetCursor(pos); });
}

void CTarn_PasswordDlg::LayoutControls()
{
    CSkinnedPage::LayoutControls();
    Skin::PlaceControl(m_pUserName, kUserNameRect);
    Skin::PlaceControl(m_pCurrent, kCurrentRect);
    Skin::PlaceControl(m_pNew, kNewRect);
    Skin::PlaceControl(m_pConfirm, kConfirmRect);
    Skin::PlaceControl(m_pApply, kApplyRect);
    // The device's administrator account has this one name.
    m_pUserName->setText(u"admin"_qs);
    for (QLineEdit* edit : {m_pCurrent, m_pNew, m_pConfirm})
        edit->setMaxLength(PasswordRules::kPasswordLimit);
    ClearPasswords();
    m_handArea = LabelArea::FromString(kHandArea);
}

void CTarn_PasswordDlg::OnPageShown()
{
    // What was typed stays: this page is laid out only once.
    m_pNew->setEnabled(true);
    m_pConfirm->setEnabled(true);
}

void CTarn_PasswordDlg::ClearPasswords()
{
    for (QLineEdit* edit : {m_pCurrent, m_pNew, m_pConfirm})
        edit->clear();
}

void CTarn_PasswordDlg::OnApply()
{
    const QString newPassword = m_pNew->text();
    const PasswordRules::Verdict verdict = PasswordRules::CheckPasswordChange(
        m_pCurrent->text(), G_mstrPassword, newPassword, m_pConfirm->text());
    if (!verdict.Accepted()) {
        const QPointer<CTarn_PasswordDlg> self(this);
        if (!ConfigPages::ShowMessage(verdict.messageId) || !self)
            return;
        ClearPasswords();
        if (verdict.focus == PasswordRules::Focus::CurrentPassword)
            m_pCurrent->setFocus(Qt::OtherFocusReason);
        else
            m_pNew->setFocus(Qt::OtherFocusReason);
        return;
    }
    QueueSetupPassword(G_mstrPassword, newPassword);
    // Until the device has answered.
    m_pApply->setEnabled(false);
}

void CTarn_PasswordDlg::OnSetupPasswordResult()
{
    // The console then sends the user to the Locate page to log in again.
    m_pApply->setEnabled(true);
}
