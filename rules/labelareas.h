#pragma once

#include <QPoint>

// The words beside a radio box are part of the page picture; a press on them acts on the radio
// pair, and the cursor shows a hand over them.
struct LabelArea {
    int left = 0;
    int top = 0;
    // Inclusive, like the left and top edges: an area from "x,y,w,h" reaches x + w and y + h.
    int right = -1;
    int bottom = -1;

    static LabelArea FromLayout(int x, int y, int w, int h) { return {x, y, x + w, y + h}; }
    // From a layout rectangle of the string table; an empty area when the entry is missing.
    static LabelArea FromString(int rectId);

    bool Contains(QPoint point) const
    {
        return point.x() >= left && point.x() <= right && point.y() >= top && point.y() <= bottom;
    }
    bool operator==(const LabelArea&) const = default;
};

namespace LabelAreas
{

// IP address page: the Auto IP and Static IP label areas.
struct IPAddressAreas {
    LabelArea autoIP;
    LabelArea staticIP;
};

// The table's Auto IP area runs to the window's right edge, over the Static IP box and words,
// and its Static IP area lies wholly inside it: taken as they are, the Static IP words would
// select Auto IP. Split them where the Static IP box begins, so that each covers its own box
// and words.
IPAddressAreas SplitIPAddressAreas(LabelArea autoIP, LabelArea staticIP, int staticRadioLeft);

enum class IPChoice { None, AutoIP, StaticIP };
// Auto IP is tested first.
IPChoice IPChoiceAt(const IPAddressAreas& areas, QPoint point);

// Reset page: whether Reboot is checked after a press at `point`. A press in either label
// area swaps the choice, whichever label it is.
bool RebootCheckedAfterPress(const LabelArea& reboot, const LabelArea& factoryReset, QPoint point,
                             bool rebootChecked);

} // namespace LabelAreas
