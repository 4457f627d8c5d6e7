#pragma once

#include "controls/ptpicture.h"
#include "pages/overlaydialog.h"

class CPTButton;
class CXHTMLStatic;

// The console's message box: one text over the skin's picture and an OK picture button, run
// modally in the program window, centred over the console, reused for every message.
class CTarn_MessageDlg : public COverlayDialog
{
    Q_OBJECT
public:
    static constexpr int kOkButton = 1104;
    static constexpr int kMessageText = 1105;
    static constexpr int kWidth = 260;
    static constexpr int kHeight = 144;

    explicit CTarn_MessageDlg(QWidget* parent);

    CPTButton* OkButton() const { return m_ok; }
    CXHTMLStatic* MessageText() const { return m_text; }

protected:
    QPoint OffsetInAnchor() const override;
    void OnRunShown() override;
    void paintEvent(QPaintEvent* event) override;

private:
    CPTPicture m_background;
    CPTButton* m_ok = nullptr;
    CXHTMLStatic* m_text = nullptr;
};
