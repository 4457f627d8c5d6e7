#include "pages/surveydlg.h"

#include <QLineEdit>
#include <QPushButton>

namespace
{
constexpr PageSkin kSkin = {141, 1140, 1178, 1184, 1196, 1197, Skin::Wireless};
}

CTarn_SurveyDlg::CTarn_SurveyDlg(QWidget* parent) : CSkinnedPage(parent, kSkin)
{
    setObjectName(u"CTarn_SurveyDlg"_qs);
    m_pScan = new QPushButton(u"Scan"_qs, this);
    m_pScan->setObjectName(QString::number(kScan));
    m_pConnect = new QPushButton(u"Connect"_qs, this);
    m_pConnect->setObjectName(QString::number(kConnect));
    m_pKeyEdit = new QLineEdit(this);
    m_pKeyEdit->setObjectName(QString::number(kKeyEdit));
    OnInitDialog();
}

void CTarn_SurveyDlg::SetConnectEnabled(bool enabled)
{
    m_pConnect->setEnabled(enabled);
    m_pKeyEdit->setEnabled(enabled);
}

void CTarn_SurveyDlg::OnRepeaterResult()
{
    SetConnectEnabled(true);
    m_pKeyEdit->clear();
}

void CTarn_SurveyDlg::ParseSurvey(const QString&)
{
    m_pScan->setEnabled(true);
}

void CTarn_SurveyDlg::OnSurveyFailed()
{
    m_pScan->setEnabled(true);
    m_pConnect->setEnabled(false);
}
