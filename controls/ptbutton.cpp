#include "controls/ptbutton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

CPTButton::CPTButton(QWidget* parent, int controlId) : QWidget(parent), m_controlId(controlId)
{
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
}

void CPTButton::SetPictures(int normalId, int hoverId, int disabledId)
{
    m_normal.LoadId(normalId);
    m_hover.LoadId(hoverId);
    m_disabled.LoadId(disabledId);
    m_nHover = 0;
    m_nTracking = 0;
    update();
}

QSize CPTButton::sizeHint() const
{
    return m_normal.IsLoaded() ? m_normal.DrawnSize(logicalDpiX(), logicalDpiY()) : QSize();
}

void CPTButton::paintEvent(QPaintEvent*)
{
    const CPTPicture& picture = !isEnabled() ? m_disabled : m_nHover == 1 ? m_hover : m_normal;
    QPainter painter(this);
    picture.Draw(painter);
}

// One hover request covers the whole stay: it ends only with the leave.
void CPTButton::StartTracking()
{
    if (m_nTracking != 0)
        return;
    m_nTracking = 1;
    OnMouseHover();
}

void CPTButton::OnMouseHover()
{
    m_nHover = 1;
    repaint();
}

void CPTButton::OnMouseLeave()
{
    m_nHover = 0;
    m_nTracking = 0;
    m_pressed = false;
    repaint();
}

void CPTButton::enterEvent(QEnterEvent* event)
{
    StartTracking();
    QWidget::enterEvent(event);
}

void CPTButton::mouseMoveEvent(QMouseEvent* event)
{
    StartTracking();
    QWidget::mouseMoveEvent(event);
}

void CPTButton::leaveEvent(QEvent* event)
{
    OnMouseLeave();
    QWidget::leaveEvent(event);
}

void CPTButton::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void CPTButton::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    QWidget::mouseReleaseEvent(event);
    if (!click)
        return;
    // A page may switch away, and destroy this button, from inside the first signal.
    const QPointer<CPTButton> self(this);
    const int id = m_controlId;
    emit clicked();
    if (self)
        emit command(id);
}

void CPTButton::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        repaint();
}
