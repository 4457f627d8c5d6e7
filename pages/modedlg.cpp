#include "pages/modedlg.h"

#include <QPushButton>

CTarn_ModeDlg::CTarn_ModeDlg(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"CTarn_ModeDlg"_qs);
    m_pApply = new QPushButton(u"Apply"_qs, this);
    m_pApply->setObjectName(QString::number(kApply));
}

void CTarn_ModeDlg::OnUploadResult(const QString&)
{
    m_pApply->setEnabled(true);
}
