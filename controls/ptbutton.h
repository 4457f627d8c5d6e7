#pragma once

#include "controls/ptpicture.h"

#include <QWidget>

// A picture button of the skin: normal, hover and disabled pictures; the disabled one wins.
// Clicks reach the page as clicked() and command(control id). Tab reaches it and Space presses
// it; give it an accessible name that says what it does. The focus frame shows only once the
// keyboard is in use, so the skin stays as drawn for mouse users and in the first window.
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
    bool ShowsFocus() const { return hasFocus() && m_showFocus; }

    QSize sizeHint() const override;

    // What a click does, for the keyboard and for assistive technology.
    void Click();

signals:
    void clicked();
    void command(int controlId);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

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
    bool m_spacePressed = false;
    bool m_showFocus = false;
};
