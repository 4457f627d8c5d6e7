#pragma once

#include "pages/skinnedpage.h"

// The reset page of the device console. This minimal form carries only what the console calls.
class CTarn_SaveDlg : public CSkinnedPage
{
    Q_OBJECT
public:
    explicit CTarn_SaveDlg(QWidget* parent);
};
