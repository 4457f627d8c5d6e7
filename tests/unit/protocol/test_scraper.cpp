#include "protocol/scraper.h"
#include "protocol/statusvalues.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

namespace
{

// Shaped like the device's pages: labels in one cell, values in a left-aligned div in the next.
const QString kLanPage = uR"(HTTP/1.1 200 OK
Content-Type: text/html

<html><head><title>LAN</title></head><body>
<table>
<tr><td class="item">IP Address:</td>
    <td><div align="left"> 192.168.77.10	</div></td></tr>
<tr><td class="item">Subnet Mask:</td>
    <td><div align="left">
255.255.255.0
</div></td></tr>
<tr><td class="item">DHCP Server:</td>
    <td><div align="left">( Enable	)</div></td></tr>
<tr><td class="item">MAC Address:</td>
    <td><div align="left">00:1a:2b:3c:4d:ef</div></td></tr>
</table></body></html>
)"_qs;

const QString kWanPage = uR"(HTTP/1.1 200 OK

<form action="/goform/formWanTcpipSetup" method="POST">
<input type="text" name="dns1" value=" 10.77.0.53 ">
<input type="text" name="dns2" value="8.8.4.4">
<input type="text" name="gw" value="10.77.0.254">
<tr><td><script>dw(IPAddress)</script></td><td><div align="left">10.77.0.5
</div></td></tr>
<tr><td><script>dw(SubnetMask)</script></td><td><div align="left">255.255.0.0</div></td></tr>
<tr><td>Mode:</td><td><div align="left">	Repeater </div></td></tr>
<tr><td>SSID:</td><td><div align="left">My Home Net</div></td></tr>
<tr><td>Channel:</td><td><div align="left">6</div></td></tr>
<tr><td>Security:</td><td><div align="left">WPA2-PSK (AES)</div></td></tr>
</form>
)"_qs;

const QString kStatusPage = uR"(HTTP/1.1 200 OK

<tr><td>Uptime:</td><td><div align="left">0day:0h:5m:2s</div></td></tr>
<tr><td>Runtime Code Version:</td><td><div align="left">
  v1.2.3 (2009-04-01)
</div></td></tr>
)"_qs;

void Fill(const QString& text)
{
    for (QString* value :
         {&G_mstrLanMACAddress, &G_mstrFirmwareVersion, &G_mstrLanIPAddress, &G_mstrLanSubnetMask,
          &G_mstrDHCPServer, &G_mstrWirelessMode, &G_mstrWirelessSecurity, &G_mstrWanIPAddress,
          &G_mstrSSID, &G_mstrWanSubnetMask, &G_mstrGateway, &G_mstrPrimaryDNS,
          &G_mstrSecondaryDNS})
        *value = text;
}

} // namespace

class TestScraper : public QObject
{
    Q_OBJECT
private slots:
    void init() { Fill(u"unset"_qs); }
    void primitives();
    void findMarkerAgreesWithPlainSearch();
    void lanPage();
    void wanPage();
    void statusPage();
    void eachPageTouchesOnlyItsValues();
    void missingValuesTakeTheirDefaults();
    void emptyGatewayInput();
    void absentGatewayInputDoesNotLoseTheRest();
    void markersOnlyInOrder();
    void setupAnswerWithoutVersionMarker();
    void megabytePages();
};

void TestScraper::primitives()
{
    const QString page = u"abc<x>def<x>ghi"_qs;
    CPageCursor cursor(page);
    cursor.SkipTo(u"<x>");
    QCOMPARE(cursor.Rest(), u"<x>def<x>ghi");
    cursor.SkipTo(u"<x>"); // already there
    QCOMPARE(cursor.Rest(), u"<x>def<x>ghi");
    cursor.SkipTo(u"nowhere");
    QCOMPARE(cursor.Rest(), u"<x>def<x>ghi");
    QCOMPARE(cursor.TakeUntil(u"<x>"), QString()); // at the very front
    cursor.SkipPast(u"<x>");
    QCOMPARE(cursor.TakeUntil(u"<x>"), u"def"_qs);
    QCOMPARE(cursor.TakeUntil(u"nowhere"), QString());
    // Absent: marker length less one characters go.
    cursor.SkipPast(u"12345");
    QCOMPARE(cursor.Rest(), u"x>ghi");
    cursor.SkipPast(u"1234567890");
    QCOMPARE(cursor.Rest(), QStringView());
    cursor.SkipPast(u"<x>");
    QCOMPARE(cursor.Rest(), QStringView());
    QCOMPARE(cursor.TakeUntil(u"<"), QString());

    // An absent one-character marker does not move at all.
    const QString small = u"ab"_qs;
    CPageCursor other(small);
    other.SkipPast(u"(");
    QCOMPARE(other.Rest(), u"ab");
    QCOMPARE(CPageCursor(small).TakeUntil(u"b"), u"a"_qs);
    // White space of every kind goes from both ends, not from the inside.
    const QString spaced = u" \t\r\n a b \r\n\t<"_qs;
    QCOMPARE(CPageCursor(spaced).TakeUntil(u"<"), u"a b"_qs);
}

void TestScraper::findMarkerAgreesWithPlainSearch()
{
    // Few letters, so that partial matches around the anchor character are everywhere.
    QRandomGenerator random(6);
    const QString letters = u"ab<Md"_qs;
    const auto make = [&](int length) {
        QString text;
        for (int i = 0; i < length; ++i)
            text += letters[random.bounded(int(letters.size()))];
        return text;
    };
    for (int round = 0; round < 20000; ++round) {
        const QString text = make(random.bounded(30));
        const QString marker = make(1 + random.bounded(5));
        const qsizetype from = random.bounded(int(text.size()) + 2);
        const qsizetype expected = from > text.size() ? -1 : text.indexOf(marker, from);
        if (FindMarker(text, from, marker) != expected)
            QFAIL(qPrintable(u"'%1' in '%2' from %3"_qs.arg(marker, text).arg(from)));
    }
    QCOMPARE(FindMarker(u"abc", 1, u""), 1);
}

void TestScraper::lanPage()
{
    ParseLanPage(kLanPage);
    QCOMPARE(G_mstrLanIPAddress, u"192.168.77.10"_qs);
    QCOMPARE(G_mstrLanSubnetMask, u"255.255.255.0"_qs);
    QCOMPARE(G_mstrDHCPServer, u"Enable"_qs);
    // Upper-cased hex digits, separators kept.
    QCOMPARE(G_mstrLanMACAddress, u"00:1A:2B:3C:4D:EF"_qs);
}

void TestScraper::wanPage()
{
    ParseWanPage(kWanPage);
    QCOMPARE(G_mstrPrimaryDNS, u"10.77.0.53"_qs);
    QCOMPARE(G_mstrSecondaryDNS, u"8.8.4.4"_qs);
    QCOMPARE(G_mstrGateway, u"10.77.0.254"_qs);
    QCOMPARE(G_mstrWanIPAddress, u"10.77.0.5"_qs);
    QCOMPARE(G_mstrWanSubnetMask, u"255.255.0.0"_qs);
    QCOMPARE(G_mstrWirelessMode, u"Repeater"_qs);
    QCOMPARE(G_mstrSSID, u"My Home Net"_qs);
    QCOMPARE(G_mstrWirelessSecurity, u"WPA2-PSK (AES)"_qs);
}

void TestScraper::statusPage()
{
    ParseStatusPage(kStatusPage);
    QCOMPARE(G_mstrFirmwareVersion, u"v1.2.3 (2009-04-01)"_qs);
}

void TestScraper::eachPageTouchesOnlyItsValues()
{
    ParseLanPage(kLanPage);
    ParseStatusPage(kStatusPage);
    for (const QString* untouched :
         {&G_mstrWirelessMode, &G_mstrWirelessSecurity, &G_mstrWanIPAddress, &G_mstrSSID,
          &G_mstrWanSubnetMask, &G_mstrGateway, &G_mstrPrimaryDNS, &G_mstrSecondaryDNS})
        QCOMPARE(*untouched, u"unset"_qs);
    Fill(u"unset"_qs);
    ParseWanPage(kWanPage);
    for (const QString* untouched : {&G_mstrLanMACAddress, &G_mstrFirmwareVersion,
                                     &G_mstrLanIPAddress, &G_mstrLanSubnetMask, &G_mstrDHCPServer})
        QCOMPARE(*untouched, u"unset"_qs);
}

void TestScraper::missingValuesTakeTheirDefaults()
{
    // Addresses fall back to 0.0.0.0; texts become empty.
    ParseLanPage(u"IP Address:<div align=\"left\"> </div>Subnet Mask:<div align=\"left\"></div>"
                 u"DHCP Server:( )MAC Address:<div align=\"left\">\t</div>"_qs);
    QCOMPARE(G_mstrLanIPAddress, u"0.0.0.0"_qs);
    QCOMPARE(G_mstrLanSubnetMask, u"0.0.0.0"_qs);
    QCOMPARE(G_mstrDHCPServer, u"0.0.0.0"_qs);
    QCOMPARE(G_mstrLanMACAddress, QString());

    ParseWanPage(QString());
    for (const QString* address : {&G_mstrPrimaryDNS, &G_mstrSecondaryDNS, &G_mstrGateway,
                                   &G_mstrWanIPAddress, &G_mstrWanSubnetMask})
        QCOMPARE(*address, u"0.0.0.0"_qs);
    for (const QString* text : {&G_mstrWirelessMode, &G_mstrSSID, &G_mstrWirelessSecurity})
        QCOMPARE(*text, QString());

    ParseStatusPage(u"HTTP/1.1 200 OK\r\n\r\n<html></html>"_qs);
    QCOMPARE(G_mstrFirmwareVersion, QString());
}

void TestScraper::emptyGatewayInput()
{
    // A device without a gateway shows the input with an empty value.
    QString page = kWanPage;
    page.replace(u"name=\"gw\" value=\"10.77.0.254\""_qs, u"name=\"gw\" value=\"\""_qs);
    ParseWanPage(page);
    QCOMPARE(G_mstrGateway, u"0.0.0.0"_qs);
    QCOMPARE(G_mstrSecondaryDNS, u"8.8.4.4"_qs);
    QCOMPARE(G_mstrWanIPAddress, u"10.77.0.5"_qs);
    QCOMPARE(G_mstrWirelessSecurity, u"WPA2-PSK (AES)"_qs);
}

void TestScraper::absentGatewayInputDoesNotLoseTheRest()
{
    QString page = kWanPage;
    page.remove(u"<input type=\"text\" name=\"gw\" value=\"10.77.0.254\">\n"_qs);
    ParseWanPage(page);
    // The cursor moved only 15 characters past the second DNS value, so the later markers are
    // all still ahead of it.
    QCOMPARE(G_mstrPrimaryDNS, u"10.77.0.53"_qs);
    QCOMPARE(G_mstrSecondaryDNS, u"8.8.4.4"_qs);
    QCOMPARE(G_mstrWanIPAddress, u"10.77.0.5"_qs);
    QCOMPARE(G_mstrWanSubnetMask, u"255.255.0.0"_qs);
    QCOMPARE(G_mstrSSID, u"My Home Net"_qs);
    QCOMPARE(G_mstrWirelessSecurity, u"WPA2-PSK (AES)"_qs);
}

void TestScraper::markersOnlyInOrder()
{
    // SSID stands before Mode: after Mode the SSID label is not found again, so its value is
    // read from the next div, the channel's. The channel step then finds its label behind it
    // and passes the security's div; the security label is behind too, and the absent div
    // leaves no value.
    QString page = kWanPage;
    const QString ssidRow =
        u"<tr><td>SSID:</td><td><div align=\"left\">My Home Net</div></td></tr>\n"_qs;
    QVERIFY(page.contains(ssidRow));
    page.remove(ssidRow);
    page.insert(page.indexOf(u"<tr><td>Mode:"), ssidRow);
    ParseWanPage(page);
    QCOMPARE(G_mstrWanSubnetMask, u"255.255.0.0"_qs);
    QCOMPARE(G_mstrWirelessMode, u"Repeater"_qs);
    QCOMPARE(G_mstrSSID, u"6"_qs);
    QCOMPARE(G_mstrWirelessSecurity, QString());

    // LAN page with the MAC first: the MAC step finds no label after the DHCP state and no
    // div after it either, so the MAC is empty.
    ParseLanPage(u"MAC Address:<div align=\"left\">aa:bb</div>"
                 u"IP Address:<div align=\"left\">1.2.3.4</div>"
                 u"Subnet Mask:<div align=\"left\">255.0.0.0</div>DHCP Server:(Disable)"_qs);
    QCOMPARE(G_mstrLanIPAddress, u"1.2.3.4"_qs);
    QCOMPARE(G_mstrLanSubnetMask, u"255.0.0.0"_qs);
    QCOMPARE(G_mstrDHCPServer, u"Disable"_qs);
    QCOMPARE(G_mstrLanMACAddress, QString());
}

void TestScraper::setupAnswerWithoutVersionMarker()
{
    // The console hands the address change's answer to the status scraper too.
    ParseStatusPage(u"HTTP/1.1 200 OK\r\n\r\n<body><div align=\"center\">x</div>"
                    u"<div align=\"left\">\r\n Change setting successfully! \r\n</div>"
                    u"<div align=\"left\">later</div></body>"_qs);
    QCOMPARE(G_mstrFirmwareVersion, u"Change setting successfully!"_qs);
}

void TestScraper::megabytePages()
{
    // A megabyte of markup in front of the values, and one with no markers at all: the worst
    // case, where every search runs to the end of the page.
    QString filler;
    filler.reserve(1 << 20);
    while (filler.size() < (1 << 20))
        filler += u"<tr><td class=\"x\">Lorem ipsum dolor</td><td>sit amet &nbsp;</td></tr>\r\n";
    const QString lan = filler + kLanPage;
    const QString wan = filler + kWanPage;
    const QString status = filler + kStatusPage;

    qint64 worst = 0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        ParseLanPage(lan);
        ParseWanPage(wan);
        ParseStatusPage(status);
        ParseLanPage(filler);
        ParseWanPage(filler);
        ParseStatusPage(filler);
        const qint64 elapsed = timer.nsecsElapsed();
        worst = round == 0 ? elapsed : std::min(worst, elapsed);
    }
    qInfo("six 1 MB scrapes: %.3f ms", double(worst) / 1e6);
    QCOMPARE(G_mstrFirmwareVersion, QString()); // the last one found nothing
    ParseWanPage(wan);
    QCOMPARE(G_mstrWirelessSecurity, u"WPA2-PSK (AES)"_qs);
    // Repeatedly cutting the front of the text would take seconds here.
    QVERIFY2(worst < 50'000'000, "scraping is not linear in the page size");
}

QTEST_GUILESS_MAIN(TestScraper)
#include "test_scraper.moc"
