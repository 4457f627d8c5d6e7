#include "pages/summarydlg.h"

CTarn_SummaryDlg::CTarn_SummaryDlg(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"CTarn_SummaryDlg"_qs);
}

void CTarn_SummaryDlg::FillSummary() {}
