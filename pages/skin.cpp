#include "pages/skin.h"

#include "controls/ctlbutton.h"
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

void Skin::PlaceDHCPRadios(int rectId, CCTLButton* enable, CCTLButton* disable)
{
    constexpr int kSize = 15;
    constexpr int kDisableOffset = 70;
    constexpr COLORREF kBackground = MakeColorRef(255, 255, 255);
    int x = 0, y = 0, w = 0, h = 0;
    GetLayoutRect(rectId, x, y, w, h);
    const QPoint positions[] = {{x, y}, {x + kDisableOffset, y}};
    CCTLButton* const radios[] = {enable, disable};
    for (int i = 0; i < 2; ++i) {
        CCTLButton* radio = radios[i];
        radio->ClearCaption();
        radio->setGeometry(QRect(positions[i], QSize(kSize, kSize)));
        radio->raise();
        radio->setEnabled(false);
        radio->SetBackgroundColor(kBackground);
        radio->update();
    }
}
