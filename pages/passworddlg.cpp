#include "pages/passworddlg.h"

#include <QPushButton>

namespace
{
constexpr PageSkin kSkin = {137, 1133, 1179, 1181, 1192, 1193, Skin::Password, false};
}

CTarn_PasswordDlg::CTarn_PasswordDlg(QWidget* parent) : CSkinnedPage(parent, kSkin)
{
    setObjectName(u"CTarn_PasswordDlg"_qs);
    m_pApply = new QPushButton(u"Apply"_qs, this);
    m_pApply->setObjectName(QString::number(kApply));
    OnInitDialog();
}

void CTarn_PasswordDlg::OnSetupPasswordResult()
{
    m_pApply->setEnabled(true);
}
