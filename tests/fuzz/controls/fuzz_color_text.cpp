// Colour attributes and dotted addresses are short texts from markup and from the user; none of
// them may fail, and each has a meaning that is easy to state independently.

#include "controls/colortext.h"
#include "controls/ipaddressedit.h"
#include "fuzzcheck.h"
#include "platform/codepage.h"
#include "platform/stringtable.h"

namespace
{

bool IsHexColor(QStringView text)
{
    if (text.size() != 7 || text[0] != u'#')
        return false;
    for (QChar c : text.mid(1)) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')))
            return false;
    }
    return true;
}

void CheckColor(const QString& text)
{
    const COLORREF color = ParseColorText(text, DefaultSysColor);
    FUZZ_CHECK(color <= 0xFFFFFF);
    if (text.contains(u',')) {
        const QStringList parts = text.split(u',');
        const int blue = parts.size() > 2 ? ReadLeadingInt(parts[2]) : 0;
        FUZZ_CHECK(color == MakeColorRef(ReadLeadingInt(parts[0]), ReadLeadingInt(parts[1]), blue));
    } else if (text.contains(u'#')) {
        if (IsHexColor(text))
            FUZZ_CHECK(color == MakeColorRef(text.mid(1, 2).toInt(nullptr, 16),
                                             text.mid(3, 2).toInt(nullptr, 16),
                                             text.mid(5, 2).toInt(nullptr, 16)));
        else
            FUZZ_CHECK(color == 0);
    }
}

void CheckFields(const QString& text)
{
    const auto fields = CIPAddressEdit::ParseFields(text);
    const QStringList parts = text.split(u'.');
    for (int i = 0; i < CIPAddressEdit::kFields; ++i) {
        const auto& field = fields[size_t(i)];
        if (!field)
            continue;
        FUZZ_CHECK(*field >= 0 && *field <= 255);
        FUZZ_CHECK(i < parts.size() && !parts[i].trimmed().isEmpty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text =
        FromAnsi(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    CheckColor(text);
    CheckFields(text);
    return 0;
}
