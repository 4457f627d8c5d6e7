#include "pages/skin.h"

#include "platform/stringtable.h"

#include <QWidget>

bool Skin::PlaceControl(QWidget* control, int rectId)
{
    int x = 0, y = 0, w = 0, h = 0;
    if (!GetLayoutRect(rectId, x, y, w, h))
        return false;
    control->setGeometry(x, y, w, h);
    control->raise();
    return true;
}
