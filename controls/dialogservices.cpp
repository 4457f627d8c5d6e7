#include "controls/dialogservices.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace {
constexpr char kProgramDialog[] = "keldaProgramDialog";
constexpr char kProgramFrame[] = "keldaProgramFrame";
}

void MakeProgramDialog(QWidget* dialog, bool dragBand)
{
    dialog->setProperty(kProgramDialog, true);
    if (dragBand)
        dialog->installEventFilter(new CDragBand(dialog));
}

void MakeProgramFrame(QWidget* frame)
{
    frame->setProperty(kProgramFrame, true);
    MakeProgramDialog(frame, true);
}

bool CEnterEscFilter::IgnoreEnterEsc(QObject* receiver, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Escape)
        return false;
    // Only our own dialogs: a file chooser opened by a page keeps its usual keys.
    for (auto* widget = qobject_cast<QWidget*>(receiver); widget; widget = widget->parentWidget()) {
        if (widget->property(kProgramDialog).toBool())
            return true;
        if (widget->isWindow())
            break;
    }
    return false;
}

bool CEnterEscFilter::eventFilter(QObject* watched, QEvent* event)
{
    return IgnoreEnterEsc(watched, event) || QObject::eventFilter(watched, event);
}

bool CDragBand::DragBandHitTest(const QPoint& localPos)
{
    return localPos.y() < kDragBandHeight;
}

bool CDragBand::OnPictureButton(const QWidget* dialog, const QPoint& localPos)
{
    // A press a button ignores travels on to its parent, this dialog: it is still the button's.
    for (const QWidget* child = dialog->childAt(localPos); child && child != dialog;
         child = child->parentWidget()) {
        if (child->inherits("CPTButton") || child->inherits("QAbstractButton"))
            return true;
    }
    return false;
}

bool CDragBand::eventFilter(QObject* watched, QEvent* event)
{
    // Only a dialog inside the program's frame drags it; one standing alone stays put.
    QWidget* frame = watched->isWidgetType() ? static_cast<QWidget*>(watched)->window() : nullptr;
    if (frame && !frame->property(kProgramFrame).toBool())
        frame = nullptr;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint pos = mouse->position().toPoint();
        if (mouse->button() != Qt::LeftButton || !frame || !DragBandHitTest(pos) ||
            !watched->isWidgetType() || OnPictureButton(static_cast<QWidget*>(watched), pos))
            break;
        if (QWindow* window = frame->windowHandle(); window && window->startSystemMove())
            return true;
        m_dragging = true;
        m_pressGlobal = mouse->globalPosition().toPoint();
        m_frameStart = frame->pos();
        return true;
    }
    case QEvent::MouseMove:
        if (m_dragging && frame) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            frame->move(m_frameStart + (mouse->globalPosition().toPoint() - m_pressGlobal));
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_dragging) {
            m_dragging = false;
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
