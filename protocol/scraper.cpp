#include "protocol/scraper.h"

#include "protocol/statusvalues.h"

#include <algorithm>

namespace
{

constexpr QStringView kDiv = u"<div align=\"left\">";
constexpr QStringView kDivEnd = u"</div>";
constexpr QStringView kInputEnd = u"\">";

QString OrZeroAddress(QString value)
{
    return value.isEmpty() ? u"0.0.0.0"_qs : value;
}

// Skip-to the label, Skip-past the value's div, take the value up to `end`.
QString DivValue(CPageCursor& cursor, QStringView label, QStringView end)
{
    cursor.SkipTo(label);
    cursor.SkipPast(kDiv);
    return cursor.TakeUntil(end);
}

QString InputValue(CPageCursor& cursor, QStringView namedValue)
{
    cursor.SkipPast(namedValue);
    return cursor.TakeUntil(kInputEnd);
}

// Characters of markup from the most to the least common; anything not listed is rarer still.
constexpr QStringView kCommonFirst = u" \"<>=/etaoinsrlhdcu.m-pfgywbvk_#;&xjqz\t\r\n";

// The marker's character least likely to occur in a page, so that the vectorised search for a
// single character skips most of the page without stopping.
qsizetype AnchorIndex(QStringView marker)
{
    qsizetype best = 0;
    qsizetype bestRarity = -1;
    for (qsizetype i = 0; i < marker.size(); ++i) {
        const qsizetype common = kCommonFirst.indexOf(marker[i]);
        const qsizetype rarity = common < 0 ? kCommonFirst.size() : common;
        if (rarity > bestRarity) {
            best = i;
            bestRarity = rarity;
        }
    }
    return best;
}

} // namespace

qsizetype FindMarker(QStringView text, qsizetype from, QStringView marker)
{
    const qsizetype length = marker.size();
    if (from > text.size())
        return -1;
    if (length == 0)
        return from;
    if (length == 1)
        return text.indexOf(marker.front(), from);
    const qsizetype anchor = AnchorIndex(marker);
    const QChar anchorChar = marker[anchor];
    const qsizetype lastStart = text.size() - length;
    for (qsizetype start = from; start <= lastStart;) {
        const qsizetype hit = text.indexOf(anchorChar, start + anchor);
        if (hit < 0 || hit - anchor > lastStart)
            return -1;
        start = hit - anchor;
        if (text.sliced(start, length) == marker)
            return start;
        ++start;
    }
    return -1;
}

qsizetype CPageCursor::Find(QStringView marker) const
{
    for (int i = 0; i < m_foundCount; ++i) {
        Found& found = m_found[i];
        if (found.marker != marker)
            continue;
        if (found.at < 0 || found.at >= m_offset)
            return found.at;
        found.at = FindMarker(m_page, m_offset, marker);
        return found.at;
    }
    const qsizetype at = FindMarker(m_page, m_offset, marker);
    if (m_foundCount < int(std::size(m_found)))
        m_found[m_foundCount++] = {marker, at};
    return at;
}

void CPageCursor::SkipTo(QStringView marker)
{
    const qsizetype at = Find(marker);
    if (at >= 0)
        m_offset = at;
}

void CPageCursor::SkipPast(QStringView marker)
{
    const qsizetype at = Find(marker);
    const qsizetype next = at >= 0 ? at + marker.size() : m_offset + marker.size() - 1;
    m_offset = std::clamp<qsizetype>(next, m_offset, m_page.size());
}

QString CPageCursor::TakeUntil(QStringView marker) const
{
    const qsizetype at = Find(marker);
    if (at <= m_offset)
        return QString();
    return m_page.sliced(m_offset, at - m_offset).trimmed().toString();
}

void ParseLanPage(const QString& page)
{
    CPageCursor cursor(page);
    G_mstrLanIPAddress = OrZeroAddress(DivValue(cursor, u"IP Address:", u"<"));
    G_mstrLanSubnetMask = OrZeroAddress(DivValue(cursor, u"Subnet Mask:", u"<"));
    cursor.SkipTo(u"DHCP Server:");
    cursor.SkipPast(u"(");
    G_mstrDHCPServer = OrZeroAddress(cursor.TakeUntil(u")"));
    G_mstrLanMACAddress = DivValue(cursor, u"MAC Address:", u"<").toUpper();
}

void ParseWanPage(const QString& page)
{
    CPageCursor cursor(page);
    G_mstrPrimaryDNS = OrZeroAddress(InputValue(cursor, u"name=\"dns1\" value=\""));
    G_mstrSecondaryDNS = OrZeroAddress(InputValue(cursor, u"name=\"dns2\" value=\""));
    G_mstrGateway = OrZeroAddress(InputValue(cursor, u"name=\"gw\" value=\""));
    G_mstrWanIPAddress = OrZeroAddress(DivValue(cursor, u"dw(IPAddress)", kDivEnd));
    G_mstrWanSubnetMask = OrZeroAddress(DivValue(cursor, u"dw(SubnetMask)", kDivEnd));
    G_mstrWirelessMode = DivValue(cursor, u"Mode:", kDivEnd);
    G_mstrSSID = DivValue(cursor, u"SSID:", kDivEnd);
    // The channel is not kept, but its div must be passed before the security is looked for.
    cursor.SkipTo(u"Channel:");
    cursor.SkipPast(kDiv);
    G_mstrWirelessSecurity = DivValue(cursor, u"Security:", kDivEnd);
}

void ParseStatusPage(const QString& page)
{
    CPageCursor cursor(page);
    G_mstrFirmwareVersion = DivValue(cursor, u"Runtime Code Version:", kDivEnd);
}
