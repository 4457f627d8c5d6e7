#include "controls/hmxstatic.h"

#include "controls/linktarget.h"
#include "controls/statictextaccessible.h"
#include "controls/syscolors.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

void RepaintParentUnder(QWidget* widget)
{
    if (QWidget* parent = widget->parentWidget())
        parent->update(widget->geometry());
    else
        widget->update();
}

CHMXStatic::CHMXStatic(QWidget* parent)
    : QWidget(parent), m_textColor(GetSysColor(kColorWindowText)),
      m_backColor(GetSysColor(kColorWindow))
{
    InstallStaticTextAccessibility();
}

void CHMXStatic::SetText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    if (m_transparent)
        RepaintParentUnder(this);
    else
        update();
    if (m_autoSize)
        FitToText();
    NotifyStaticTextChanged(this);
}

void CHMXStatic::SetTextColor(COLORREF color)
{
    m_textColor = color;
    update();
}

void CHMXStatic::SetBackgroundColor(COLORREF color)
{
    m_backColor = color;
    update();
}

void CHMXStatic::SetTransparent(bool transparent)
{
    m_transparent = transparent;
    RepaintParentUnder(this);
}

void CHMXStatic::SetAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    if (autoSize)
        FitToText();
}

void CHMXStatic::SetAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

void CHMXStatic::SetLinkTarget(const QString& target)
{
    m_linkTarget = target;
    if (target.isEmpty())
        unsetCursor();
    else
        setCursor(Qt::PointingHandCursor);
}

void CHMXStatic::FitToText()
{
    // No frame here, so the window and the client area are the same size.
    const QSize text = QFontMetrics(font()).size(0, m_text);
    if (m_transparent)
        RepaintParentUnder(this);
    resize(text);
}

void CHMXStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_transparent)
        painter.fillRect(rect(), ToQColor(m_backColor));
    painter.setPen(ToQColor(m_textColor));
    painter.drawText(rect(), int(m_alignment) | Qt::TextWordWrap, m_text);
}

void CHMXStatic::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
        if (!m_linkTarget.isEmpty())
            OpenLinkTarget(m_linkTarget);
    }
    QWidget::mouseReleaseEvent(event);
}

bool CHMXStatic::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (m_linkTarget.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), m_linkTarget, this, rect());
        return true;
    }
    return QWidget::event(event);
}
