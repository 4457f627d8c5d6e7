#pragma once

#include "controls/ptpicture.h"

#include <QWidget>

// A picture button of the skin: normal, hover and disabled pictures; the disabled one wins.
// Clicks reach the page as clicked() and command(control id).
class CPTButton : public QWidget
{
    Q_OBJECT
public:
    explicit CPTButton(QWidget* parent = nullptr, int controlId = 0);

    // JPEG resources by number. Also forgets any hover in progress.
    void SetPictures(int normalId, int hoverId, int disabledId);

    int ControlId() const { return m_controlId; }
    bool IsHover() const { return m_nHover != 0; }
    bool IsTracking() const { return m_nTracking != 0; }

    QSize sizeHint() const override;

signals:
    void clicked();
    void command(int controlId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void StartTracking();
    void OnMouseHover();
    void OnMouseLeave();

    int m_controlId;
    CPTPicture m_normal;
    CPTPicture m_hover;
    CPTPicture m_disabled;
    int m_nHover = 0;
    int m_nTracking = 0;
    bool m_pressed = false;
};
