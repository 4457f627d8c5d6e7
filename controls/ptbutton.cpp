#include "controls/ptbutton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace
{

// Screen readers see a push button they can press, not an anonymous picture.
class CPTButtonAccessible : public QAccessibleWidget
{
public:
    explicit CPTButtonAccessible(CPTButton* button) : QAccessibleWidget(button, QAccessible::Button)
    {
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (widget()->isEnabled())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& actionName) override
    {
        if (actionName == pressAction() && widget()->isEnabled())
            static_cast<CPTButton*>(widget())->Click();
        else
            QAccessibleWidget::doAction(actionName);
    }
};

QAccessibleInterface* MakeAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1StringView("CPTButton") && object && object->isWidgetType())
        return new CPTButtonAccessible(static_cast<CPTButton*>(object));
    return nullptr;
}

} // namespace

CPTButton::CPTButton(QWidget* parent, int controlId) : QWidget(parent), m_controlId(controlId)
{
    static const bool registered = [] {
        QAccessible::installFactory(MakeAccessible);
        return true;
    }();
    Q_UNUSED(registered);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void CPTButton::SetPictures(int normalId, int hoverId, int disabledId)
{
    // A picture used for several states is read once and shared.
    m_normal.LoadId(normalId);
    if (hoverId == normalId)
        m_hover = m_normal;
    else
        m_hover.LoadId(hoverId);
    if (disabledId == normalId)
        m_disabled = m_normal;
    else if (disabledId == hoverId)
        m_disabled = m_hover;
    else
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
    if (ShowsFocus()) {
        // A dotted frame that inverts what lies under it: visible on the dark title band and on
        // the light step list alike, and gone without a trace when the focus leaves.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        QPen dotted(Qt::white, 0, Qt::DotLine);
        painter.setPen(dotted);
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

bool CPTButton::event(QEvent* event)
{
    // The window handed this button the focus without showing it: the first Tab shows where the
    // focus is instead of leaving for the next control unseen.
    if (event->type() == QEvent::KeyPress && hasFocus() && !m_showFocus) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            m_showFocus = true;
            update();
            return true;
        }
    }
    return QWidget::event(event);
}

void CPTButton::Click()
{
    // A page may switch away, and destroy this button, from inside the first signal.
    const QPointer<CPTButton> self(this);
    const int id = m_controlId;
    emit clicked();
    if (self)
        emit command(id);
}

void CPTButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        m_spacePressed = true;
        m_showFocus = true;
        return;
    }
    QWidget::keyPressEvent(event);
}

// Like Qt's own buttons: Space acts on release, so holding it does not repeat the click.
void CPTButton::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        const bool click = m_spacePressed;
        m_spacePressed = false;
        if (click && isEnabled())
            Click();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void CPTButton::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    // Qt marks a window once Tab has been used in it; until then the focus is the window's own
    // choice on showing, and stays unseen like that of Qt's buttons.
    m_showFocus = window()->testAttribute(Qt::WA_KeyboardFocusChange);
    update();
}

void CPTButton::focusOutEvent(QFocusEvent* event)
{
    m_spacePressed = false;
    QWidget::focusOutEvent(event);
    update();
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
    if (click)
        Click();
}

void CPTButton::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        repaint();
}
