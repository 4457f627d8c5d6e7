// The site survey page lists whatever networks are on the air, names chosen by strangers.

#include "fuzzcheck.h"
#include "platform/codepage.h"
#include "rules/surveyparser.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString page =
        FromAnsi(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    QStringList cells{QStringLiteral("left over")};
    const int count = Survey::ParseSurveyCells(page, cells);
    FUZZ_CHECK(count >= 0);
    FUZZ_CHECK(qsizetype(count) * Survey::kCellsPerAccessPoint <= cells.size());
    // Cells never overlap, and an empty one (kept as one space) costs a whole cell opening, so
    // together they hold no more than the page: a parse that copies the rest of the page into
    // each cell grows with the square of the page instead.
    qsizetype total = 0;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const QString& cell = cells[i];
        FUZZ_CHECK(!cell.isEmpty());
        // Searching the whole page for every cell of a 1 MiB input would take the run's time.
        FUZZ_CHECK(i >= 256 || cell == u" " || page.contains(cell));
        total += cell.size();
    }
    FUZZ_CHECK(total <= page.size());
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
