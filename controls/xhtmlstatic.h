#pragma once

#include "controls/colorref.h"
#include "controls/fontdescription.h"
#include "controls/linktarget.h"
#include "controls/markuplayout.h"

#include <QWidget>
#include <optional>
#include <vector>

// A static text whose window text is a small subset of HTML: emphasis, centring, fonts and
// colours, sub- and superscript, rules, breaks, entities and links.
class CXHTMLStatic : public QWidget
{
    Q_OBJECT
public:
    explicit CXHTMLStatic(QWidget* parent = nullptr);

    // The markup to show. Callers redraw at once afterwards (RedrawNow), as the pages do.
    void SetWindowText(const QString& text);
    QString GetWindowText() const { return m_text; }
    void RedrawNow();

    // Each setter returns the colour it replaced; texts are read like COLOR attributes.
    COLORREF SetTextColor(COLORREF color);
    COLORREF SetTextColor(QStringView color);
    COLORREF SetBackgroundColor(COLORREF color);
    COLORREF SetBackgroundColor(QStringView color);
    COLORREF TextColor() const { return m_textColor; }
    COLORREF BackgroundColor() const { return m_backColor; }

    // Transparent statics draw only their text over the parent; opaque ones fill with the
    // background colour first.
    void SetTransparent(bool transparent);
    bool IsTransparent() const { return m_transparent; }

    // Overrides the widget's font as the starting font.
    void SetFontDescription(const CFontDescription& description);

    // Back to rule width 2 and no links; pages call it before they set a new text.
    void Reset();
    int RuleWidth() const { return m_ruleWidth; }

    void AddAppCommand(QObject* window, unsigned message, quintptr wParam, const QString& name);
    void EnableToolTips(bool enable);

    // The layout of the last paint: link rectangles and their targets.
    const MarkupLayout& LastLayout() const { return m_layout; }
    // Opens the link under `pos`, if any; what a click does.
    bool OpenLinkAt(const QPoint& pos);

    // Draws into any painter, as a print request would; also what paintEvent does.
    void Render(QPainter& painter, const QRect& client);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    const MarkupLink* LinkAt(const QPoint& pos) const;
    void UpdateCursor(const QPoint& pos);

    QString m_text;
    COLORREF m_textColor;
    COLORREF m_backColor;
    bool m_transparent = false;
    std::optional<CFontDescription> m_fontDescription;
    int m_ruleWidth = 2;
    MarkupLayout m_layout;
    std::vector<CAppCommand> m_commands;
    bool m_toolTips = false;
    bool m_handCursor = false;
};
