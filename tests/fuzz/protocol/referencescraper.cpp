#include "referencescraper.h"

#include "fuzzcheck.h"
#include "platform/codepage.h"
#include "protocol/scraper.h"
#include "protocol/statusvalues.h"

namespace
{

constexpr QStringView kDiv = u"<div align=\"left\">";

QString OrZero(QString value)
{
    return value.isEmpty() ? QStringLiteral("0.0.0.0") : value;
}

QString Div(CReferencePage& page, QStringView label, QStringView end)
{
    page.SkipTo(label);
    page.SkipPast(kDiv);
    return page.TakeUntil(end);
}

QString Decode(const std::uint8_t* data, std::size_t size)
{
    return FromAnsi(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
}

// Any value must be found in the page as it stands, and be trimmed.
void CheckValue(const QString& page, const QString& value)
{
    FUZZ_CHECK(value == value.trimmed());
    FUZZ_CHECK(value == u"0.0.0.0" || value.isEmpty() || page.contains(value) ||
               page.toUpper().contains(value));
}

} // namespace

void CReferencePage::SkipTo(QStringView marker)
{
    const qsizetype at = m_text.indexOf(marker);
    if (at >= 0)
        m_text.remove(0, at);
}

void CReferencePage::SkipPast(QStringView marker)
{
    // Absent: position -1 plus the length, as the device's pages were read.
    const qsizetype count = m_text.indexOf(marker) + marker.size();
    m_text.remove(0, std::min(count, m_text.size()));
}

QString CReferencePage::TakeUntil(QStringView marker) const
{
    const qsizetype at = m_text.indexOf(marker);
    return at <= 0 ? QString() : m_text.left(at).trimmed();
}

SReferenceValues ReferenceLanPage(const QString& text)
{
    CReferencePage page(text);
    SReferenceValues v;
    v.lanIP = OrZero(Div(page, u"IP Address:", u"<"));
    v.lanMask = OrZero(Div(page, u"Subnet Mask:", u"<"));
    page.SkipTo(u"DHCP Server:");
    page.SkipPast(u"(");
    v.dhcp = OrZero(page.TakeUntil(u")"));
    v.lanMAC = Div(page, u"MAC Address:", u"<").toUpper();
    return v;
}

SReferenceValues ReferenceWanPage(const QString& text)
{
    CReferencePage page(text);
    SReferenceValues v;
    page.SkipPast(u"name=\"dns1\" value=\"");
    v.dns1 = OrZero(page.TakeUntil(u"\">"));
    page.SkipPast(u"name=\"dns2\" value=\"");
    v.dns2 = OrZero(page.TakeUntil(u"\">"));
    page.SkipPast(u"name=\"gw\" value=\"");
    v.gateway = OrZero(page.TakeUntil(u"\">"));
    v.wanIP = OrZero(Div(page, u"dw(IPAddress)", u"</div>"));
    v.wanMask = OrZero(Div(page, u"dw(SubnetMask)", u"</div>"));
    v.mode = Div(page, u"Mode:", u"</div>");
    v.ssid = Div(page, u"SSID:", u"</div>");
    page.SkipTo(u"Channel:");
    page.SkipPast(kDiv);
    v.security = Div(page, u"Security:", u"</div>");
    return v;
}

SReferenceValues ReferenceStatusPage(const QString& text)
{
    CReferencePage page(text);
    SReferenceValues v;
    v.firmware = Div(page, u"Runtime Code Version:", u"</div>");
    return v;
}

void CheckLanPage(const std::uint8_t* data, std::size_t size)
{
    const QString page = Decode(data, size);
    ParseLanPage(page);
    const SReferenceValues v = ReferenceLanPage(page);
    FUZZ_CHECK(G_mstrLanIPAddress == v.lanIP);
    FUZZ_CHECK(G_mstrLanSubnetMask == v.lanMask);
    FUZZ_CHECK(G_mstrDHCPServer == v.dhcp);
    FUZZ_CHECK(G_mstrLanMACAddress == v.lanMAC);
    for (const QString* value : {&G_mstrLanIPAddress, &G_mstrLanSubnetMask, &G_mstrDHCPServer,
                                 &G_mstrLanMACAddress})
        CheckValue(page, *value);
}

void CheckWanPage(const std::uint8_t* data, std::size_t size)
{
    const QString page = Decode(data, size);
    ParseWanPage(page);
    const SReferenceValues v = ReferenceWanPage(page);
    FUZZ_CHECK(G_mstrPrimaryDNS == v.dns1);
    FUZZ_CHECK(G_mstrSecondaryDNS == v.dns2);
    FUZZ_CHECK(G_mstrGateway == v.gateway);
    FUZZ_CHECK(G_mstrWanIPAddress == v.wanIP);
    FUZZ_CHECK(G_mstrWanSubnetMask == v.wanMask);
    FUZZ_CHECK(G_mstrWirelessMode == v.mode);
    FUZZ_CHECK(G_mstrSSID == v.ssid);
    FUZZ_CHECK(G_mstrWirelessSecurity == v.security);
    for (const QString* value : {&G_mstrPrimaryDNS, &G_mstrSecondaryDNS, &G_mstrGateway,
                                 &G_mstrWanIPAddress, &G_mstrWanSubnetMask, &G_mstrWirelessMode,
                                 &G_mstrSSID, &G_mstrWirelessSecurity})
        CheckValue(page, *value);
}

void CheckStatusPage(const std::uint8_t* data, std::size_t size)
{
    const QString page = Decode(data, size);
    ParseStatusPage(page);
    FUZZ_CHECK(G_mstrFirmwareVersion == ReferenceStatusPage(page).firmware);
    CheckValue(page, G_mstrFirmwareVersion);
}
