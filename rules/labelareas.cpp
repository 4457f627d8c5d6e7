#include "rules/labelareas.h"

#include "platform/stringtable.h"

#include <algorithm>

LabelArea LabelArea::FromString(int rectId)
{
    int x = 0, y = 0, w = 0, h = 0;
    if (!GetLayoutRect(rectId, x, y, w, h))
        return {};
    return FromLayout(x, y, w, h);
}

namespace LabelAreas
{

IPAddressAreas SplitIPAddressAreas(LabelArea autoIP, LabelArea staticIP, int staticRadioLeft)
{
    autoIP.right = std::min(autoIP.right, staticRadioLeft - 1);
    staticIP.left = std::max(staticIP.left, staticRadioLeft);
    return {autoIP, staticIP};
}

IPChoice IPChoiceAt(const IPAddressAreas& areas, QPoint point)
{
    if (areas.autoIP.Contains(point))
        return IPChoice::AutoIP;
    if (areas.staticIP.Contains(point))
        return IPChoice::StaticIP;
    return IPChoice::None;
}

bool RebootCheckedAfterPress(const LabelArea& reboot, const LabelArea& factoryReset, QPoint point,
                             bool rebootChecked)
{
    if (reboot.Contains(point))
        rebootChecked = !rebootChecked;
    if (factoryReset.Contains(point))
        rebootChecked = !rebootChecked;
    return rebootChecked;
}

} // namespace LabelAreas
