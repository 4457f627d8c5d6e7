#include "pages/passworddlg.h"

#include <QPushButton>

CTarn_PasswordDlg::CTarn_PasswordDlg(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"CTarn_PasswordDlg"_qs);
    m_pApply = new QPushButton(u"Apply"_qs, this);
    m_pApply->setObjectName(QString::number(kApply));
}

void CTarn_PasswordDlg::OnSetupPasswordResult()
{
    m_pApply->setEnabled(true);
}
