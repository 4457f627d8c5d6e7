#include "controls/fontdescription.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <cstdlib>

bool CFontDescription::IsEmpty() const
{
    return *this == CFontDescription();
}

CFontDescription DescribeFont(const QFont& font)
{
    CFontDescription description;
    description.face = font.family();
    description.height = -QFontInfo(font).pixelSize();
    description.weight = font.weight() >= QFont::DemiBold ? kWeightBold : kWeightNormal;
    description.italic = font.italic();
    description.underline = font.underline();
    description.strikeOut = font.strikeOut();
    return description;
}

QFont RealiseFont(const CFontDescription& description, const QFont& fallback)
{
    if (description.IsEmpty())
        return fallback;
    QFont font = fallback;
    if (!description.face.isEmpty()) {
        font.setFamily(description.face);
        if (description.face.compare(u"Courier New", Qt::CaseInsensitive) == 0)
            font.setStyleHint(QFont::Monospace);
        else
            font.setStyleHint(QFont::AnyStyle);
    }
    if (description.height < 0) {
        font.setPixelSize(std::clamp(-description.height, 1, kMaxFontPixels));
    } else if (description.height > 0) {
        // A cell height: scale the character size so that ascent plus descent match it.
        QFont probe = font;
        probe.setPixelSize(100);
        const int cell = std::max(1, QFontMetrics(probe).height());
        font.setPixelSize(std::clamp(description.height * 100 / cell, 1, kMaxFontPixels));
    }
    if (description.weight > 0)
        font.setWeight(QFont::Weight(std::clamp(description.weight, 1, 1000)));
    font.setItalic(description.italic);
    font.setUnderline(description.underline);
    font.setStrikeOut(description.strikeOut);
    return font;
}
