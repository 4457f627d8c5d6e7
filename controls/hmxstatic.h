#pragma once

#include "controls/colorref.h"

#include <QWidget>

// A static text over the page picture: transparent (the default) or on its own background.
class CHMXStatic : public QWidget
{
    Q_OBJECT
public:
    explicit CHMXStatic(QWidget* parent = nullptr);

    // Only a real change repaints: pages call this on every layout pass.
    void SetText(const QString& text);
    QString Text() const { return m_text; }

    void SetTextColor(COLORREF color);
    void SetBackgroundColor(COLORREF color);
    COLORREF TextColor() const { return m_textColor; }
    COLORREF BackgroundColor() const { return m_backColor; }
    void SetTransparent(bool transparent);
    bool IsTransparent() const { return m_transparent; }
    void SetAutoSize(bool autoSize);
    void SetAlignment(Qt::Alignment alignment);

    // A web address opened on click, shown as the tool tip; none by default.
    void SetLinkTarget(const QString& target);

    void RedrawNow() { repaint(); }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void FitToText();

    QString m_text;
    COLORREF m_textColor;
    COLORREF m_backColor;
    bool m_transparent = true;
    bool m_autoSize = false;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignTop;
    QString m_linkTarget;
};

// Repaints the part of `widget`'s parent that lies under it, so a see-through control shows
// the page picture behind its new content.
void RepaintParentUnder(QWidget* widget);
