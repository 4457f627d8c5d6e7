#include "pages/savedlg.h"

CTarn_SaveDlg::CTarn_SaveDlg(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"CTarn_SaveDlg"_qs);
}
