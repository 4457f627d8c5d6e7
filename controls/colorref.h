#pragma once

#include <QColor>
#include <cstdint>

// Colours travel as 0x00BBGGRR numbers: the label's "all colours equal" rule and the colour
// setters' return values compare and add them as plain integers.
using COLORREF = std::uint32_t;

constexpr COLORREF MakeColorRef(int red, int green, int blue)
{
    return COLORREF(red & 0xFF) | (COLORREF(green & 0xFF) << 8) | (COLORREF(blue & 0xFF) << 16);
}

constexpr int RedOf(COLORREF color)
{
    return int(color & 0xFF);
}
constexpr int GreenOf(COLORREF color)
{
    return int((color >> 8) & 0xFF);
}
constexpr int BlueOf(COLORREF color)
{
    return int((color >> 16) & 0xFF);
}

inline QColor ToQColor(COLORREF color)
{
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

inline COLORREF FromQColor(const QColor& color)
{
    return MakeColorRef(color.red(), color.green(), color.blue());
}
