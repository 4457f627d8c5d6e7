#include "controls/labellayout.h"

namespace LabelLayout
{

QStringList SplitLines(QStringView text)
{
    QStringList lines;
    for (QStringView line : text.split(u"\\n"))
        lines.append(line.toString());
    return lines;
}

COLORREF ColorFor(const Colors& colors, int state, bool enabled)
{
    if (!enabled)
        return colors.state4;
    switch (state) {
    case kHover:
        return colors.hover;
    case kPressed:
        return colors.pressed;
    case kState3:
        return colors.state3;
    case kState4:
        return colors.state4;
    default:
        return colors.normal;
    }
}

bool IgnoresMouse(const Colors& colors)
{
    return colors.hover == colors.normal && colors.pressed == colors.normal &&
           colors.state3 == colors.normal && colors.state4 == colors.normal;
}

bool IsFixedState(int state)
{
    return state == kState3 || state == kState4;
}

QRect ColumnRect(int left, int right, bool last, const QRect& client)
{
    const int end = last ? client.right() + 1 : right - kColumnGap;
    return QRect(QPoint(left, client.top()), QPoint(end - 1, client.bottom()));
}

} // namespace LabelLayout
