#pragma once

#include "controls/ptpicture.h"

#include <QDialog>
#include <QString>

class CPTButton;
class CXHTMLStatic;

// The console's message box: one text over the skin's picture and an OK picture button, run
// modally, reused for every message.
class CTarn_MessageDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kOkButton = 1104;
    static constexpr int kMessageText = 1105;
    static constexpr int kWidth = 260;
    static constexpr int kHeight = 144;

    explicit CTarn_MessageDlg(QWidget* parent);

    // Set by the caller before each run.
    QString m_strMessage;

    CPTButton* OkButton() const { return m_ok; }
    CXHTMLStatic* MessageText() const { return m_text; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CPTPicture m_background;
    CPTButton* m_ok = nullptr;
    CXHTMLStatic* m_text = nullptr;
};
