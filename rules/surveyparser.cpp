#include "rules/surveyparser.h"

#include "platform/stringtable.h"

QStringList G_mSurveyCells;

namespace Survey
{
namespace
{

constexpr QStringView kCountMarker = u"name=\"apCount\"";
constexpr QStringView kValueMarker = u"value";
// What "value" is skipped by: the word, the equals sign and the opening quote.
constexpr qsizetype kValueSkip = 7;
constexpr QStringView kCellMarker = u"<font size=\"2\">";
constexpr QStringView kInputEnd = u"<input";
constexpr QStringView kFontEnd = u"</font>";
// Channel and SSID carry a hidden input after their text; the others end with their font.
constexpr int kCellsEndingAtInput = 2;
// Far above any real cell. A cell whose end marker is missing or far away stops at the next
// cell opening or here, so no page can make the cells hold more than the page itself.
constexpr qsizetype kMaxCellLength = 4096;

// The page is read from a front that only ever moves forward, as if the text before it had
// been cut away. Offsets are relative to the front; -1 means "not there".
class CPageReader
{
public:
    explicit CPageReader(QStringView page) : m_page(page) {}

    qsizetype Find(QStringView what) const
    {
        const qsizetype at = m_page.indexOf(what, m_front);
        return at < 0 ? -1 : at - m_front;
    }
    // Nothing for n <= 0; the whole rest when n runs past it.
    void Drop(qsizetype n)
    {
        if (n > 0)
            m_front = qMin(m_front + n, m_page.size());
    }
    QStringView Take(qsizetype n) const
    {
        return n < 0 ? QStringView() : m_page.sliced(m_front, n);
    }
    qsizetype Front() const { return m_front; }
    QStringView Page() const { return m_page; }

private:
    QStringView m_page;
    qsizetype m_front = 0;
};

// The next occurrence of one end marker at or after the front. Cell ends are looked for from
// every cell; remembering the last answer keeps a page whose marker is rare or missing from
// being searched to its end once per cell.
class CNextMarker
{
public:
    CNextMarker(const CPageReader& reader, QStringView marker) : m_reader(reader), m_marker(marker)
    {
    }

    qsizetype FindFromFront()
    {
        const qsizetype front = m_reader.Front();
        if (m_known && (m_at < 0 || m_at >= front))
            return m_at < 0 ? -1 : m_at - front;
        m_at = m_reader.Page().indexOf(m_marker, front);
        m_known = true;
        return m_at < 0 ? -1 : m_at - front;
    }

private:
    const CPageReader& m_reader;
    QStringView m_marker;
    bool m_known = false;
    qsizetype m_at = -1;
};

} // namespace

int ParseSurveyCells(QStringView page, QStringList& cells)
{
    CPageReader reader(page);
    reader.Drop(reader.Find(kCountMarker));
    reader.Drop(reader.Find(kValueMarker) + kValueSkip);
    int count = ReadLeadingInt(reader.Take(reader.Find(u"\"")));

    cells.clear();
    CNextMarker inputEnd(reader, kInputEnd);
    CNextMarker fontEnd(reader, kFontEnd);
    CNextMarker nextCell(reader, kCellMarker);
    for (int r = 0; r < count; ++r) {
        for (int k = 0; k < kCellsPerAccessPoint; ++k) {
            const qsizetype start = reader.Find(kCellMarker);
            if (start < 0) {
                count = r;
                break;
            }
            reader.Drop(start + kCellMarker.size());
            CNextMarker& end = k < kCellsEndingAtInput ? inputEnd : fontEnd;
            qsizetype length = end.FindFromFront();
            if (length >= 0) {
                const qsizetype next = nextCell.FindFromFront();
                length = qMin(length, next < 0 ? kMaxCellLength : qMin(next, kMaxCellLength));
            }
            const QStringView cell = reader.Take(length).trimmed();
            cells.append(cell.isEmpty() ? u" "_qs : cell.toString());
        }
        // The eighth cell holds the page's own selection control.
        reader.Drop(reader.Find(kCellMarker) + kCellMarker.size());
    }
    return qMax(count, 0);
}

Security ClassifySecurity(QStringView cipher, QStringView wpaMode)
{
    auto is = [](QStringView word, QStringView name) {
        return word.compare(name, Qt::CaseInsensitive) == 0;
    };
    if (is(wpaMode, u"WPAPSK"))
        return {136, u"TKIP"};
    if (is(wpaMode, u"WPA2PSK"))
        return {137, u"AES"};
    if (is(cipher, u"NONE"))
        return {134, u"NONE"};
    if (is(cipher, u"WEP"))
        return {135, u"WEP"};
    if (is(cipher, u"TKIP"))
        return {136, u"TKIP"};
    if (is(cipher, u"AES"))
        return {137, u"AES"};
    return {0, u"Unknown"};
}

QString SecurityText(const Security& security)
{
    return security.textId ? LoadString(security.textId) : u"Unknown Type"_qs;
}

} // namespace Survey
