#pragma once

#include "pages/skinnedpage.h"

class QPushButton;

// The firmware page of the device console. This minimal form carries only what the console calls.
class CTarn_ModeDlg : public CSkinnedPage
{
    Q_OBJECT
public:
    explicit CTarn_ModeDlg(QWidget* parent);

    static constexpr int kApply = 1164;

    // The upload has ended; `response` is whatever the device answered.
    void OnUploadResult(const QString& response);

private:
    QPushButton* m_pApply = nullptr;
};
