#include "controls/ctlbutton.h"

#include "controls/hmxstatic.h"
#include "controls/syscolors.h"

#include <QFontMetrics>
#include <QPainter>

CCTLButton::CCTLButton(QWidget* parent) : CCTLButton(QString(), parent) {}

CCTLButton::CCTLButton(const QString& text, QWidget* parent)
    : QRadioButton(text, parent), m_textColor(GetSysColor(kColorWindowText)),
      m_backColor(GetSysColor(kColorWindow))
{
    setCursor(Qt::PointingHandCursor);
    ApplyTextColor();
}

void CCTLButton::SetCaption(const QString& text)
{
    if (text == this->text())
        return;
    setText(text);
    if (m_transparent)
        RepaintParentUnder(this);
    if (m_autoSize)
        FitToText();
}

void CCTLButton::ClearCaption()
{
    SetCaption(QString());
}

void CCTLButton::SetTextColor(COLORREF color)
{
    m_textColor = color;
    ApplyTextColor();
}

void CCTLButton::SetBackgroundColor(COLORREF color)
{
    m_backColor = color;
    update();
}

void CCTLButton::SetTransparent(bool transparent)
{
    m_transparent = transparent;
    RepaintParentUnder(this);
}

void CCTLButton::SetAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    if (autoSize)
        FitToText();
}

void CCTLButton::ApplyTextColor()
{
    QPalette colors = palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText})
        colors.setColor(QPalette::Active, role, ToQColor(m_textColor));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText})
        colors.setColor(QPalette::Inactive, role, ToQColor(m_textColor));
    setPalette(colors);
}

void CCTLButton::FitToText()
{
    const QSize text = QFontMetrics(font()).size(0, this->text());
    if (m_transparent)
        RepaintParentUnder(this);
    resize(text.width() + kCheckMarkWidth, text.height());
}

void CCTLButton::paintEvent(QPaintEvent* event)
{
    if (!m_transparent) {
        QPainter painter(this);
        painter.fillRect(rect(), ToQColor(m_backColor));
    }
    QRadioButton::paintEvent(event);
}
