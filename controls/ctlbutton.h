#pragma once

#include "controls/colorref.h"

#include <QRadioButton>

// A radio button that sits on the page picture, opaque on its own background colour by default
// (the summary and IP pages use white boxes whose words are part of the picture).
// Like any QRadioButton, buttons with the same parent form one exclusive group unless a page
// puts each pair in its own QButtonGroup.
class CCTLButton : public QRadioButton
{
    Q_OBJECT
public:
    explicit CCTLButton(QWidget* parent = nullptr);
    CCTLButton(const QString& text, QWidget* parent = nullptr);

    // Empties the caption; repaints the parent under it only when there was one.
    void ClearCaption();
    void SetCaption(const QString& text);

    void SetTextColor(COLORREF color);
    void SetBackgroundColor(COLORREF color);
    COLORREF TextColor() const { return m_textColor; }
    COLORREF BackgroundColor() const { return m_backColor; }
    void SetTransparent(bool transparent);
    bool IsTransparent() const { return m_transparent; }
    void SetAutoSize(bool autoSize);

    // Room for the check mark beside the text when auto-sizing.
    static constexpr int kCheckMarkWidth = 18;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ApplyTextColor();
    void FitToText();

    COLORREF m_textColor;
    COLORREF m_backColor;
    bool m_transparent = false;
    bool m_autoSize = false;
};
