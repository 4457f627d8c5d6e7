// Every control is placed from a string-table rectangle; the table is a data file, so any text
// there must give some rectangle, read the way the pages expect.

#include "fuzzcheck.h"
#include "platform/stringtable.h"

#include <algorithm>
#include <QStringList>

#include <cerrno>
#include <climits>

namespace
{

// The C runtime's reading, for texts it reads the same way (plain ASCII).
int RuntimeInt(QStringView text)
{
    const QByteArray bytes = text.toLatin1();
    errno = 0;
    const long long value = std::strtoll(bytes.constData(), nullptr, 10);
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

bool IsAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() == 0 || c.unicode() > 0x7F)
            return false;
    }
    return true;
}

// The rectangle the plain way: each of the first three values is taken from the text before the
// first comma, which is then dropped with its comma; a missing comma gives 0 and drops nothing.
void ReferenceRect(QString text, int (&values)[4])
{
    for (int i = 0; i < 3; ++i) {
        const qsizetype comma = text.indexOf(u',');
        if (comma < 0) {
            values[i] = 0;
            continue;
        }
        values[i] = ReadLeadingInt(text.left(comma));
        text.remove(0, comma + 1);
    }
    values[3] = ReadLeadingInt(text);
}

void CheckRect(const QString& text)
{
    int x = -1, y = -1, w = -1, h = -1;
    ParseLayoutRect(text, x, y, w, h);
    int expected[4];
    ReferenceRect(text, expected);
    FUZZ_CHECK(x == expected[0] && y == expected[1] && w == expected[2] && h == expected[3]);
    if (IsAscii(text)) {
        for (const QString& part : text.split(u','))
            FUZZ_CHECK(ReadLeadingInt(part) == RuntimeInt(part));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The input is a whole table; each of its lines also stands as one rectangle text.
    LoadStringTableForTest(bytes);
    const QString text = QString::fromUtf8(bytes);
    for (QStringView line : QStringView(text).split(u'\n')) {
        CheckRect(line.toString());
        const qsizetype tab = line.indexOf(u'\t');
        bool ok = false;
        const int id = tab > 0 ? line.left(tab).toInt(&ok) : 0;
        if (!ok)
            continue;
        const QString entry = LoadString(id);
        int rect[4] = {7, 7, 7, 7};
        const bool found = GetLayoutRect(id, rect[0], rect[1], rect[2], rect[3]);
        FUZZ_CHECK(found == !entry.isEmpty());
        if (!found) {
            FUZZ_CHECK(rect[0] == 7 && rect[1] == 7 && rect[2] == 7 && rect[3] == 7);
            continue;
        }
        int expected[4];
        ReferenceRect(entry, expected);
        FUZZ_CHECK(std::equal(std::begin(rect), std::end(rect), std::begin(expected)));
    }
    return 0;
}
