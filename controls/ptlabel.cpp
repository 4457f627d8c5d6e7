#include "controls/ptlabel.h"

#include "controls/statictextaccessible.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

using namespace LabelLayout;

CPTLabel::CPTLabel(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    InstallStaticTextAccessibility();
}

void CPTLabel::SetText(const QString& text)
{
    const bool changed = text != m_text;
    m_text = text;
    RepaintUnder();
    if (changed)
        NotifyStaticTextChanged(this);
}

QString CPTLabel::ShownText() const
{
    if (m_nColumns == 0)
        return m_text;
    QStringList columns;
    for (int i = 0; i < m_nColumns; ++i)
        columns.append(m_columns[size_t(i)].text);
    return columns.join(u' ');
}

void CPTLabel::SetFontDescription(const CFontDescription& description)
{
    m_font = description;
    RepaintUnder();
}

void CPTLabel::SetColors(COLORREF normal, COLORREF hover, COLORREF pressed, COLORREF state3,
                         COLORREF state4)
{
    m_colors = {normal, hover, pressed, state3, state4};
    RepaintUnder();
}

void CPTLabel::SetState(int state)
{
    m_nState = state;
    RepaintUnder();
}

void CPTLabel::SetHandCursor(bool hand)
{
    m_nHandCursor = hand ? 1 : 0;
    if (hand)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void CPTLabel::SetSingleLine(bool singleLine)
{
    m_nSingleLine = singleLine ? 1 : 0;
    RepaintUnder();
}

void CPTLabel::SetFocusRectangle(bool focusRectangle)
{
    m_focusRectangle = focusRectangle;
    RepaintUnder();
}

void CPTLabel::SetAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment & Qt::AlignHorizontal_Mask;
    RepaintUnder();
}

void CPTLabel::SetColumnCount(int count)
{
    m_nColumns = std::clamp(count, 0, kMaxColumns);
    RepaintUnder();
}

void CPTLabel::SetColumn(int index, const QString& text, int left, int right, COLORREF color,
                         Qt::Alignment alignment)
{
    if (index < 0 || index >= kMaxColumns)
        return;
    m_columns[size_t(index)] = {text, left, right, color, alignment & Qt::AlignHorizontal_Mask};
    RepaintUnder();
    NotifyStaticTextChanged(this);
}

// The label has no background of its own: the parent's picture must be redrawn under it.
void CPTLabel::RepaintUnder()
{
    if (QWidget* parent = parentWidget())
        parent->update(geometry());
    else
        update();
}

void CPTLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(RealiseFont(m_font, font()));
    if (m_nColumns > 0)
        PaintColumns(painter);
    else
        PaintText(painter);
}

void CPTLabel::PaintText(QPainter& painter)
{
    painter.setPen(ToQColor(ColorFor(m_colors, m_nState, isEnabled())));
    if (isEnabled() && m_nState == kHover && m_focusRectangle) {
        QPen dotted(painter.pen());
        dotted.setStyle(Qt::DotLine);
        painter.save();
        painter.setPen(dotted);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        painter.restore();
    }
    const QFontMetrics metrics = painter.fontMetrics();
    const QStringList lines = SplitLines(m_text);
    int y = 0;
    for (const QString& line : lines) {
        if (y >= height())
            break;
        int advance = metrics.height();
        if (m_nSingleLine && metrics.horizontalAdvance(line) < width()) {
            // A lone line sits in the middle of the label; several stack from the top.
            const QRect box = lines.size() == 1 ? rect() : QRect(0, y, width(), metrics.height());
            painter.drawText(box, int(m_alignment | Qt::AlignVCenter) | Qt::TextSingleLine,
                             metrics.elidedText(line, Qt::ElideRight, width()));
        } else {
            const QRect box(0, y, width(), height() - y);
            QRect used;
            painter.drawText(box, int(m_alignment | Qt::AlignTop) | Qt::TextWordWrap, line, &used);
            advance = std::max(advance, used.height());
        }
        y += advance + 1;
    }
}

void CPTLabel::PaintColumns(QPainter& painter)
{
    const QFontMetrics metrics = painter.fontMetrics();
    for (int i = 0; i < m_nColumns; ++i) {
        const Column& column = m_columns[size_t(i)];
        const QRect box = ColumnRect(column.left, column.right, i == m_nColumns - 1, rect());
        const COLORREF color = m_nState == kNormal && isEnabled()
                                   ? column.color
                                   : ColorFor(m_colors, m_nState, isEnabled());
        painter.setPen(ToQColor(color));
        painter.drawText(box, int(column.alignment | Qt::AlignVCenter) | Qt::TextSingleLine,
                         metrics.elidedText(column.text, Qt::ElideRight, std::max(0, box.width())));
    }
}

void CPTLabel::StartTracking()
{
    if (IgnoresMouse(m_colors) || m_nTracking != 0)
        return;
    m_nTracking = 1;
    if (isEnabled() && !IsFixedState(m_nState))
        ChangeState(kHover);
}

void CPTLabel::ChangeState(int state)
{
    m_nState = state;
    RepaintUnder();
}

void CPTLabel::enterEvent(QEnterEvent* event)
{
    StartTracking();
    QWidget::enterEvent(event);
}

void CPTLabel::mouseMoveEvent(QMouseEvent* event)
{
    StartTracking();
    QWidget::mouseMoveEvent(event);
}

void CPTLabel::leaveEvent(QEvent* event)
{
    if (!IgnoresMouse(m_colors)) {
        if (isEnabled() && !IsFixedState(m_nState))
            ChangeState(kNormal);
        m_nTracking = 0;
    }
    QWidget::leaveEvent(event);
}

void CPTLabel::mousePressEvent(QMouseEvent* event)
{
    const bool button = event->button() == Qt::LeftButton || event->button() == Qt::RightButton;
    if (button && !IgnoresMouse(m_colors) && isEnabled() && !IsFixedState(m_nState))
        ChangeState(kPressed);
    QWidget::mousePressEvent(event);
}

void CPTLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool button = event->button() == Qt::LeftButton || event->button() == Qt::RightButton;
    if (button && !IgnoresMouse(m_colors) && isEnabled() && !IsFixedState(m_nState))
        ChangeState(kNormal);
    QWidget::mouseReleaseEvent(event);
}
