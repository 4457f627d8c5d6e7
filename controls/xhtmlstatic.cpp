#include "controls/xhtmlstatic.h"

#include "controls/colortext.h"
#include "controls/statictextaccessible.h"
#include "controls/syscolors.h"

#include <QFontMetrics>
#include <QHash>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace
{

// Measures with the realised fonts; one QFontMetrics per distinct font of a paint.
class CWidgetMeasure : public IMarkupMeasure
{
public:
    explicit CWidgetMeasure(const QFont& fallback) : m_fallback(fallback) {}

    int Width(const CFontDescription& font, QStringView text) const override
    {
        return Metrics(font).horizontalAdvance(text.toString());
    }
    int Height(const CFontDescription& font) const override { return Metrics(font).height(); }
    int Ascent(const CFontDescription& font) const override { return Metrics(font).ascent(); }

    QFont Font(const CFontDescription& font) const { return RealiseFont(font, m_fallback); }

private:
    const QFontMetrics& Metrics(const CFontDescription& font) const
    {
        const QString key = font.face + u'|' + QString::number(font.height) + u'|' +
                            QString::number(font.weight) + u'|' + QChar(u'0' + font.italic) +
                            QChar(u'0' + font.underline) + QChar(u'0' + font.strikeOut);
        auto it = m_metrics.find(key);
        if (it == m_metrics.end())
            it = m_metrics.insert(key, QFontMetrics(Font(font)));
        return *it;
    }

    QFont m_fallback;
    mutable QHash<QString, QFontMetrics> m_metrics;
};

} // namespace

CXHTMLStatic::CXHTMLStatic(QWidget* parent)
    : QWidget(parent), m_textColor(GetSysColor(kColorWindowText)),
      m_backColor(GetSysColor(kColorWindow))
{
    setMouseTracking(true);
    InstallStaticTextAccessibility();
}

void CXHTMLStatic::SetWindowText(const QString& text)
{
    const bool changed = text != m_text;
    m_text = text;
    update();
    if (changed)
        NotifyStaticTextChanged(this);
}

void CXHTMLStatic::RedrawNow()
{
    repaint();
}

COLORREF CXHTMLStatic::SetTextColor(COLORREF color)
{
    const COLORREF previous = m_textColor;
    m_textColor = color;
    update();
    return previous;
}

COLORREF CXHTMLStatic::SetTextColor(QStringView color)
{
    return SetTextColor(ParseColorText(color));
}

COLORREF CXHTMLStatic::SetBackgroundColor(COLORREF color)
{
    const COLORREF previous = m_backColor;
    m_backColor = color;
    update();
    return previous;
}

COLORREF CXHTMLStatic::SetBackgroundColor(QStringView color)
{
    return SetBackgroundColor(ParseColorText(color));
}

void CXHTMLStatic::SetTransparent(bool transparent)
{
    m_transparent = transparent;
    update();
}

void CXHTMLStatic::SetFontDescription(const CFontDescription& description)
{
    m_fontDescription = description;
    update();
}

void CXHTMLStatic::Reset()
{
    m_ruleWidth = 2;
    m_layout = MarkupLayout();
}

void CXHTMLStatic::AddAppCommand(QObject* window, unsigned message, quintptr wParam,
                                 const QString& name)
{
    m_commands.push_back({window, message, wParam, name});
}

void CXHTMLStatic::EnableToolTips(bool enable)
{
    m_toolTips = enable;
    if (!enable)
        QToolTip::hideText();
}

void CXHTMLStatic::Render(QPainter& painter, const QRect& client)
{
    const CWidgetMeasure measure(font());
    MarkupStart start;
    start.font = m_fontDescription.value_or(DescribeFont(font()));
    start.textColor = m_textColor;
    start.backColor = m_backColor;
    start.client = client;
    m_layout = LayoutMarkup(m_text, start, measure);
    m_ruleWidth = m_layout.lastRuleSize;

    if (!m_transparent)
        painter.fillRect(client, ToQColor(m_backColor));
    for (const MarkupPiece& piece : m_layout.pieces) {
        if (!m_transparent)
            painter.fillRect(piece.rect, ToQColor(piece.backColor));
        painter.setFont(measure.Font(piece.font));
        painter.setPen(ToQColor(piece.textColor));
        painter.drawText(QPoint(piece.rect.left(), piece.baseline), piece.text);
    }
    for (const MarkupRule& rule : m_layout.rules)
        painter.fillRect(rule.rect, ToQColor(rule.color));
}

void CXHTMLStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Render(painter, rect());
}

const MarkupLink* CXHTMLStatic::LinkAt(const QPoint& pos) const
{
    for (const MarkupLink& link : m_layout.links) {
        if (link.rect.contains(pos))
            return &link;
    }
    return nullptr;
}

bool CXHTMLStatic::OpenLinkAt(const QPoint& pos)
{
    const MarkupLink* link = LinkAt(pos);
    if (!link)
        return false;
    const QString target = m_layout.targets[size_t(link->target)];
    if (const std::optional<QString> name = AppCommandName(target))
        return SendAppCommand(m_commands, *name);
    return OpenLinkTarget(target);
}

void CXHTMLStatic::UpdateCursor(const QPoint& pos)
{
    const bool overLink = isVisible() && LinkAt(pos);
    if (overLink == m_handCursor)
        return;
    m_handCursor = overLink;
    if (overLink)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void CXHTMLStatic::mouseMoveEvent(QMouseEvent* event)
{
    UpdateCursor(event->position().toPoint());
    QWidget::mouseMoveEvent(event);
}

void CXHTMLStatic::leaveEvent(QEvent* event)
{
    UpdateCursor(QPoint(-1, -1));
    QWidget::leaveEvent(event);
}

void CXHTMLStatic::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
        OpenLinkAt(event->position().toPoint());
    }
    QWidget::mouseReleaseEvent(event);
}

bool CXHTMLStatic::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const MarkupLink* link = m_toolTips ? LinkAt(help->pos()) : nullptr;
        const QString target = link ? m_layout.targets[size_t(link->target)] : QString();
        if (link && !AppCommandName(target))
            QToolTip::showText(help->globalPos(), target, this, link->rect);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
