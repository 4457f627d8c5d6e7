#pragma once

#include "controls/colorref.h"
#include "controls/syscolors.h"

#include <QStringView>
#include <optional>

// The colour names the markup's COLOR and BGCOLOR attributes understand. Some values differ from
// the web's (BlanchedAlmond, Gray, YellowGreen): texts written for this program expect these.
class CXNamedColors
{
public:
    struct Entry {
        const char16_t* name;
        // An RGB value, or kSystemColorFlag | a desktop colour index.
        COLORREF value;
    };
    static constexpr COLORREF kSystemColorFlag = 0x80000000u;

    static int Count();
    static const Entry& At(int index);

    // Case-insensitive, first match wins; desktop colours are resolved through `resolver`.
    static std::optional<COLORREF> Find(QStringView name, SysColorResolver resolver = GetSysColor);
};
