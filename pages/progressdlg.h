#pragma once

#include <QDialog>
#include <QString>

class QLabel;

// The timed-wait dialog: a short text above an animation of 11 frames. It stays up until the
// code that started it ends it with done(0).
class CTarn_Progress : public QDialog
{
    Q_OBJECT
public:
    explicit CTarn_Progress(QWidget* parent);

    // Set by the caller before each run.
    QString m_strMessage;

    // Shows animation frame n (0 to 10).
    void SetFrame(int frame);
    // The bitmap resource of frame n: 172 to 181 for 0 to 9, else 171.
    static int FrameBitmap(int frame);
    // The bitmap shown now; 0 before the first SetFrame.
    int CurrentBitmap() const { return m_nBitmap; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_text = nullptr;
    QLabel* m_frame = nullptr;
    int m_nBitmap = 0;
};
