#include "pages/savedlg.h"

namespace
{
constexpr PageSkin kSkin = {138, 1154, 1038, 1182, 1194, 1195, Skin::Reset};
}

CTarn_SaveDlg::CTarn_SaveDlg(QWidget* parent) : CSkinnedPage(parent, kSkin)
{
    setObjectName(u"CTarn_SaveDlg"_qs);
    OnInitDialog();
}
