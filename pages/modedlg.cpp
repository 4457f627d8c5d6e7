#include "pages/modedlg.h"

#include <QPushButton>

namespace
{
constexpr PageSkin kSkin = {136, 1147, 1028, 1180, 1190, 1191, Skin::Firmware};
}

CTarn_ModeDlg::CTarn_ModeDlg(QWidget* parent) : CSkinnedPage(parent, kSkin)
{
    setObjectName(u"CTarn_ModeDlg"_qs);
    m_pApply = new QPushButton(u"Apply"_qs, this);
    m_pApply->setObjectName(QString::number(kApply));
    OnInitDialog();
}

void CTarn_ModeDlg::OnUploadResult(const QString&)
{
    m_pApply->setEnabled(true);
}
