#pragma once

#include "controls/colorref.h"
#include "controls/fontdescription.h"
#include "controls/syscolors.h"

#include <QRect>
#include <QString>
#include <QStringView>
#include <vector>

// Text measuring behind an interface, so that the layout runs (and is fuzzed) without a screen.
class IMarkupMeasure
{
public:
    virtual ~IMarkupMeasure() = default;
    virtual int Width(const CFontDescription& font, QStringView text) const = 0;
    virtual int Height(const CFontDescription& font) const = 0;
    virtual int Ascent(const CFontDescription& font) const = 0;
};

// Every character as wide as the font is high; for tests and fuzzers.
class CFixedPitchMeasure : public IMarkupMeasure
{
public:
    int Width(const CFontDescription& font, QStringView text) const override;
    int Height(const CFontDescription& font) const override;
    int Ascent(const CFontDescription& font) const override;
};

struct MarkupStart {
    CFontDescription font;
    COLORREF textColor = 0;
    COLORREF backColor = 0xFFFFFF;
    QRect client;
    SysColorResolver resolver = GetSysColor;
};

struct MarkupPiece {
    QString text;
    CFontDescription font; // the weight and styles it is drawn with
    COLORREF textColor = 0;
    COLORREF backColor = 0;
    QRect rect;
    int baseline = 0;
    int link = -1; // index into MarkupLayout::targets
};

struct MarkupRule {
    QRect rect;
    COLORREF color = 0;
};

struct MarkupLink {
    QRect rect;
    int target = 0;
};

struct MarkupLayout {
    std::vector<MarkupPiece> pieces;
    std::vector<MarkupRule> rules;
    std::vector<MarkupLink> links; // one per drawn piece of link text
    std::vector<QString> targets;  // as written in HREF, quotes included
    int lastRuleSize = 2;
};

// Lines advance by their height plus a quarter; lines that would end below the client area are
// left out, and so are their links.
MarkupLayout LayoutMarkup(QStringView windowText, const MarkupStart& start,
                          const IMarkupMeasure& measure);

// Rules thicker than this are clamped: a rule can never push the text out of sight on its own
// by more than a screen.
inline constexpr int kMaxRuleSize = 1000;
