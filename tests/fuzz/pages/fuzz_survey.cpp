// The site survey page lists whatever networks are on the air, names chosen by strangers.

#include "fuzzcheck.h"
#include "pages/surveyparser.h"
#include "platform/codepage.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString page =
        FromAnsi(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    QStringList cells{QStringLiteral("left over")};
    const int count = Survey::ParseSurveyCells(page, cells);
    FUZZ_CHECK(count >= 0);
    FUZZ_CHECK(qsizetype(count) * Survey::kCellsPerAccessPoint <= cells.size());
    for (const QString& cell : cells) {
        FUZZ_CHECK(!cell.isEmpty());
        FUZZ_CHECK(cell == u" " || page.contains(cell));
    }
    for (int i = 0; i < count; ++i) {
        const qsizetype at = qsizetype(i) * Survey::kCellsPerAccessPoint;
        const Survey::Security security =
            Survey::ClassifySecurity(cells[at + Survey::Cipher], cells[at + Survey::WPAMode]);
        static const QStringView keywords[] = {u"NONE", u"WEP", u"TKIP", u"AES", u"Unknown"};
        FUZZ_CHECK(std::find(std::begin(keywords), std::end(keywords), security.keyword) !=
                   std::end(keywords));
        FUZZ_CHECK(security.textId >= 0);
    }
    return 0;
}
