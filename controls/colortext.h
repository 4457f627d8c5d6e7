#pragma once

#include "controls/colorref.h"
#include "controls/syscolors.h"

#include <QStringView>

// Reads a colour as markup attributes and the colour setters write it: "r,g,b" (each number cut
// to 8 bits, a missing blue is 0), "#RRGGBB" (exactly seven characters), or a colour name.
// Anything else is black: a bad colour must never stop a text from showing.
COLORREF ParseColorText(QStringView text, SysColorResolver resolver = GetSysColor);
