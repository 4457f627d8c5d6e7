#include "controls/colortext.h"

#include "controls/namedcolors.h"
#include "platform/stringtable.h"

namespace
{

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

COLORREF ParseTriple(QStringView text)
{
    const qsizetype first = text.indexOf(u',');
    const int red = ReadLeadingInt(text.left(first));
    QStringView rest = text.mid(first + 1);
    const qsizetype second = rest.indexOf(u',');
    const int green = ReadLeadingInt(second < 0 ? rest : rest.left(second));
    const int blue = second < 0 ? 0 : ReadLeadingInt(rest.mid(second + 1));
    return MakeColorRef(red, green, blue);
}

COLORREF ParseHex(QStringView text)
{
    if (text.size() != 7 || text[0] != u'#')
        return 0;
    int channels[3];
    for (int i = 0; i < 3; ++i) {
        const int high = HexDigit(text[1 + 2 * i]);
        const int low = HexDigit(text[2 + 2 * i]);
        if (high < 0 || low < 0)
            return 0;
        channels[i] = high * 16 + low;
    }
    return MakeColorRef(channels[0], channels[1], channels[2]);
}

} // namespace

COLORREF ParseColorText(QStringView text, SysColorResolver resolver)
{
    if (text.contains(u','))
        return ParseTriple(text);
    if (text.contains(u'#'))
        return ParseHex(text);
    return CXNamedColors::Find(text, resolver).value_or(0);
}
