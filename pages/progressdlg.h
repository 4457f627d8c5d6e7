#pragma once

#include "controls/ptpicture.h"
#include "pages/overlaydialog.h"

#include <QImage>
#include <QRect>
#include <QString>

class CXHTMLStatic;

// The timed-wait dialog: a short text under an animation of 11 frames, in the program window over
// the console's middle. It stays up until the code that started it ends it with done(0).
class CTarn_Progress : public COverlayDialog
{
    Q_OBJECT
public:
    static constexpr int kMessageText = 1174;
    static constexpr int kWidth = 260;
    static constexpr int kHeight = 144;
    // Where the dialog stands over the console: centred on its 700 x 500.
    static constexpr QPoint kOffset{220, 178};

    explicit CTarn_Progress(QWidget* parent);

    // Shows animation frame n (0 to 10).
    void SetFrame(int frame);
    // The bitmap resource of frame n: 172 to 181 for 0 to 9, else 171.
    static int FrameBitmap(int frame);
    // The bitmap shown now; 0 before the first SetFrame.
    int CurrentBitmap() const { return m_nBitmap; }
    QRect FrameRect() const { return m_frameRect; }
    CXHTMLStatic* MessageText() const { return m_text; }

protected:
    QPoint OffsetInAnchor() const override { return kOffset; }
    void OnRunShown() override;
    void paintEvent(QPaintEvent* event) override;

private:
    CPTPicture m_background;
    CXHTMLStatic* m_text = nullptr;
    CPTPicture m_framePicture;
    QRect m_frameRect;
    int m_nBitmap = 0;
};
