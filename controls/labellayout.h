#pragma once

#include "controls/colorref.h"

#include <QRect>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>

// The parts of the picture label's drawing that need no screen.
namespace LabelLayout
{

enum State : int { kNormal = 0, kHover = 1, kPressed = 2, kState3 = 3, kState4 = 4 };

struct Colors {
    COLORREF normal = 0;
    COLORREF hover = 0;
    COLORREF pressed = 0;
    COLORREF state3 = 0;
    COLORREF state4 = 0; // also the disabled colour
};

// Lines break at the two characters backslash and "n" that texts carry from the string table,
// not at a real line feed.
QStringList SplitLines(QStringView text);

COLORREF ColorFor(const Colors& colors, int state, bool enabled);

// A label whose every colour is the normal one has nothing to show for the mouse.
bool IgnoresMouse(const Colors& colors);

// Mouse events never move a label out of the fixed states 3 and 4.
bool IsFixedState(int state);

inline constexpr int kMaxColumns = 12;
inline constexpr int kColumnGap = 5;

// A column runs from its left edge to kColumnGap before its right edge; the last one to the
// client's right edge.
QRect ColumnRect(int left, int right, bool last, const QRect& client);

} // namespace LabelLayout
