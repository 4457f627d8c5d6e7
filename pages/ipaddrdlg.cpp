#include "pages/ipaddrdlg.h"

#include <QPushButton>

CTarn_IPAddrDlg::CTarn_IPAddrDlg(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"CTarn_IPAddrDlg"_qs);
    m_pApply = new QPushButton(u"Apply"_qs, this);
    m_pApply->setObjectName(QString::number(kApply));
}

void CTarn_IPAddrDlg::OnSetupIPAddressResult()
{
    m_pApply->setEnabled(true);
}
