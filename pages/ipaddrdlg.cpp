#include "pages/ipaddrdlg.h"

#include <QPushButton>

namespace
{
constexpr PageSkin kSkin = {134, 1126, 1010, 1011, 1188, 1189, Skin::IPAddress};
}

CTarn_IPAddrDlg::CTarn_IPAddrDlg(QWidget* parent) : CSkinnedPage(parent, kSkin)
{
    setObjectName(u"CTarn_IPAddrDlg"_qs);
    m_pApply = new QPushButton(u"Apply"_qs, this);
    m_pApply->setObjectName(QString::number(kApply));
    OnInitDialog();
}

void CTarn_IPAddrDlg::OnSetupIPAddressResult()
{
    m_pApply->setEnabled(true);
}
