#include "controls/syscolors.h"

#include <QGuiApplication>
#include <QPalette>
#include <array>
#include <optional>

namespace
{

struct PaletteSlot {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

std::optional<PaletteSlot> SlotOf(int index)
{
    using P = QPalette;
    switch (index) {
    case kColorScrollBar:
        return PaletteSlot{P::Active, P::Button};
    case kColorBackground:
        return PaletteSlot{P::Active, P::Dark};
    case kColorActiveCaption:
        return PaletteSlot{P::Active, P::Highlight};
    case kColorInactiveCaption:
        return PaletteSlot{P::Active, P::Mid};
    case kColorMenu:
        return PaletteSlot{P::Active, P::Window};
    case kColorWindow:
        return PaletteSlot{P::Active, P::Base};
    case kColorWindowFrame:
        return PaletteSlot{P::Active, P::Shadow};
    case kColorMenuText:
        return PaletteSlot{P::Active, P::WindowText};
    case kColorWindowText:
        return PaletteSlot{P::Active, P::Text};
    case kColorCaptionText:
        return PaletteSlot{P::Active, P::HighlightedText};
    case kColorActiveBorder:
        return PaletteSlot{P::Active, P::Button};
    case kColorInactiveBorder:
        return PaletteSlot{P::Active, P::Button};
    case kColorAppWorkspace:
        return PaletteSlot{P::Active, P::Dark};
    case kColorHighlight:
        return PaletteSlot{P::Active, P::Highlight};
    case kColorHighlightText:
        return PaletteSlot{P::Active, P::HighlightedText};
    case kColorBtnFace:
        return PaletteSlot{P::Active, P::Button};
    case kColorBtnShadow:
        return PaletteSlot{P::Active, P::Dark};
    case kColorGrayText:
        return PaletteSlot{P::Disabled, P::Text};
    case kColorBtnText:
        return PaletteSlot{P::Active, P::ButtonText};
    case kColorInactiveCaptionText:
        return PaletteSlot{P::Disabled, P::WindowText};
    case kColorBtnHighlight:
        return PaletteSlot{P::Active, P::Light};
    case kColor3DDarkShadow:
        return PaletteSlot{P::Active, P::Shadow};
    case kColor3DLight:
        return PaletteSlot{P::Active, P::Midlight};
    case kColorInfoText:
        return PaletteSlot{P::Active, P::ToolTipText};
    case kColorInfoBk:
        return PaletteSlot{P::Active, P::ToolTipBase};
    case kColorHotLight:
        return PaletteSlot{P::Active, P::Link};
    case kColorGradientActiveCaption:
        return PaletteSlot{P::Active, P::Highlight};
    case kColorGradientInactiveCaption:
        return PaletteSlot{P::Active, P::Midlight};
    case kColorMenuHilight:
        return PaletteSlot{P::Active, P::Highlight};
    case kColorMenuBar:
        return PaletteSlot{P::Active, P::Window};
    default:
        return std::nullopt;
    }
}

} // namespace

COLORREF DefaultSysColor(int index)
{
    // The classic desktop scheme, indexed like the palette slots above.
    static constexpr std::array<COLORREF, 31> kDefaults = {
        MakeColorRef(200, 200, 200), MakeColorRef(0, 0, 0),       MakeColorRef(153, 180, 209),
        MakeColorRef(191, 205, 219), MakeColorRef(240, 240, 240), MakeColorRef(255, 255, 255),
        MakeColorRef(100, 100, 100), MakeColorRef(0, 0, 0),       MakeColorRef(0, 0, 0),
        MakeColorRef(0, 0, 0),       MakeColorRef(180, 180, 180), MakeColorRef(244, 247, 252),
        MakeColorRef(171, 171, 171), MakeColorRef(0, 120, 215),   MakeColorRef(255, 255, 255),
        MakeColorRef(240, 240, 240), MakeColorRef(160, 160, 160), MakeColorRef(109, 109, 109),
        MakeColorRef(0, 0, 0),       MakeColorRef(0, 0, 0),       MakeColorRef(255, 255, 255),
        MakeColorRef(105, 105, 105), MakeColorRef(227, 227, 227), MakeColorRef(0, 0, 0),
        MakeColorRef(255, 255, 225), MakeColorRef(0, 0, 0),       MakeColorRef(0, 102, 204),
        MakeColorRef(185, 209, 234), MakeColorRef(215, 228, 242), MakeColorRef(0, 120, 215),
        MakeColorRef(240, 240, 240),
    };
    if (index < 0 || index >= int(kDefaults.size()) || !SlotOf(index))
        return 0;
    return kDefaults[size_t(index)];
}

COLORREF GetSysColor(int index)
{
    const std::optional<PaletteSlot> slot = SlotOf(index);
    if (!slot)
        return 0;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return DefaultSysColor(index);
    return FromQColor(QGuiApplication::palette().color(slot->group, slot->role));
}
