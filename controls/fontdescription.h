#pragma once

#include <QFont>
#include <QString>

// A font as the markup and the labels change it: the height keeps the desktop convention that a
// negative value is the character height in pixels and a positive one the cell height, so that
// "bigger" means a larger magnitude whatever the sign. Zero fields mean "as the fallback font".
struct CFontDescription {
    QString face;
    int height = 0;
    int weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    bool IsEmpty() const;
    bool operator==(const CFontDescription&) const = default;
};

inline constexpr int kWeightNormal = 400;
inline constexpr int kWeightBold = 700;

// Character heights beyond this are clamped: markup can come from a device, and a huge font
// would stall the glyph cache.
inline constexpr int kMaxFontPixels = 400;

CFontDescription DescribeFont(const QFont& font);

// Empty fields take the fallback's value; an empty description is the fallback itself.
QFont RealiseFont(const CFontDescription& description, const QFont& fallback);
