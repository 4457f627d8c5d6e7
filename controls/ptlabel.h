#pragma once

#include "controls/fontdescription.h"
#include "controls/labellayout.h"

#include <QWidget>
#include <array>

// A transparent text label whose colour follows the mouse (normal, hover, pressed) or one of two
// fixed states; optionally laid out in columns.
class CPTLabel : public QWidget
{
    Q_OBJECT
public:
    explicit CPTLabel(QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const { return m_text; }
    // The words shown: the text, or the columns' texts in order while there are columns.
    QString ShownText() const;
    // An empty description draws with the widget's own font.
    void SetFontDescription(const CFontDescription& description);
    void SetColors(COLORREF normal, COLORREF hover, COLORREF pressed, COLORREF state3,
                   COLORREF state4);
    const LabelLayout::Colors& Colors() const { return m_colors; }
    void SetState(int state);
    int State() const { return m_nState; }
    void SetHandCursor(bool hand);
    void SetSingleLine(bool singleLine);
    void SetFocusRectangle(bool focusRectangle);
    // Horizontal placement of the text: Qt::AlignLeft, Qt::AlignHCenter or Qt::AlignRight.
    void SetAlignment(Qt::Alignment alignment);

    // Columns replace the plain text while the count is above 0.
    void SetColumnCount(int count);
    void SetColumn(int index, const QString& text, int left, int right, COLORREF color,
                   Qt::Alignment alignment = Qt::AlignLeft);

    bool IsTracking() const { return m_nTracking != 0; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Column {
        QString text;
        int left = 0;
        int right = 0;
        COLORREF color = 0;
        Qt::Alignment alignment = Qt::AlignLeft;
    };

    void StartTracking();
    void ChangeState(int state);
    void RepaintUnder();
    void PaintText(QPainter& painter);
    void PaintColumns(QPainter& painter);

    QString m_text;
    CFontDescription m_font;
    LabelLayout::Colors m_colors;
    int m_nState = LabelLayout::kNormal;
    int m_nTracking = 0;
    int m_nHandCursor = 0;
    int m_nSingleLine = 1;
    bool m_focusRectangle = false;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    int m_nColumns = 0;
    std::array<Column, LabelLayout::kMaxColumns> m_columns{};
};
