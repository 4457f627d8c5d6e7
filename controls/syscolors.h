#pragma once

#include "controls/colorref.h"

// Indices of the desktop colours the markup and the statics ask for by number.
enum SysColorIndex : int {
    kColorScrollBar = 0,
    kColorBackground = 1,
    kColorActiveCaption = 2,
    kColorInactiveCaption = 3,
    kColorMenu = 4,
    kColorWindow = 5,
    kColorWindowFrame = 6,
    kColorMenuText = 7,
    kColorWindowText = 8,
    kColorCaptionText = 9,
    kColorActiveBorder = 10,
    kColorInactiveBorder = 11,
    kColorAppWorkspace = 12,
    kColorHighlight = 13,
    kColorHighlightText = 14,
    kColorBtnFace = 15,
    kColorBtnShadow = 16,
    kColorGrayText = 17,
    kColorBtnText = 18,
    kColorInactiveCaptionText = 19,
    kColorBtnHighlight = 20,
    kColor3DDarkShadow = 21,
    kColor3DLight = 22,
    kColorInfoText = 23,
    kColorInfoBk = 24,
    kColorHotLight = 26,
    kColorGradientActiveCaption = 27,
    kColorGradientInactiveCaption = 28,
    kColorMenuHilight = 29,
    kColorMenuBar = 30,
};

// The current colour of a desktop colour index, taken from the application palette; without a
// GUI application (fuzzers, pure tests) the classic desktop defaults stand in. Unknown indices
// give black.
COLORREF GetSysColor(int index);

// Same, always from the fixed defaults: what a caller gets when no palette is at hand.
COLORREF DefaultSysColor(int index);

using SysColorResolver = COLORREF (*)(int index);
