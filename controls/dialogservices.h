#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Height of the band at the top of every dialog by which the borderless frame is dragged.
inline constexpr int kDragBandHeight = 78;

// Makes `dialog` one of the program's dialogs: Enter and Esc never reach it or its children,
// and, with `dragBand`, a left press in its top band moves the frame instead of clicking.
void MakeProgramDialog(QWidget* dialog, bool dragBand);
// Makes `frame` the program's top-level window: a program dialog with its drag band, and the
// window the drag bands of the dialogs inside it move.
void MakeProgramFrame(QWidget* frame);

// Discards Enter and Esc key presses aimed at any program dialog. Installed once on the
// application by main() (and by tests).
class CEnterEscFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The pre-filter decision alone: true when the key event must be dropped.
    static bool IgnoreEnterEsc(QObject* receiver, QEvent* event);
};

// Moves the frame while the mouse is held after a press in a dialog's top band. Uses the
// window manager's move when the platform offers one, else follows the mouse itself.
class CDragBand : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // True when a press at `localPos` of `dialog` is a grab of the frame's caption.
    static bool DragBandHitTest(const QPoint& localPos);
    // True when the press at `localPos` of `dialog` lands on a button, which keeps it.
    static bool OnPictureButton(const QWidget* dialog, const QPoint& localPos);

private:
    bool m_dragging = false;
    QPoint m_pressGlobal;
    QPoint m_frameStart;
};
