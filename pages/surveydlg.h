#pragma once

#include "pages/skinnedpage.h"

class QLineEdit;
class QPushButton;

// The wireless page of the device console. This minimal form carries only what the console calls.
class CTarn_SurveyDlg : public CSkinnedPage
{
    Q_OBJECT
public:
    explicit CTarn_SurveyDlg(QWidget* parent);

    static constexpr int kScan = 1161;
    static constexpr int kConnect = 1162;
    static constexpr int kKeyEdit = 1003;

    // Connect button and key box together: off while a connect or an upload is under way.
    void SetConnectEnabled(bool enabled);
    // The device took the repeater settings (any answer but a lost connection).
    void OnRepeaterResult();
    // A site survey answered "HTTP" "200": its page.
    void ParseSurvey(const QString& response);
    // A site survey without a usable answer: ready for another scan.
    void OnSurveyFailed();

private:
    QPushButton* m_pScan = nullptr;
    QPushButton* m_pConnect = nullptr;
    QLineEdit* m_pKeyEdit = nullptr;
};
