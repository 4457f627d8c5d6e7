#include "rules/surveyparser.h"

#include <QElapsedTimer>
#include <QTest>

namespace
{

struct AccessPoint {
    QString channel, ssid, bssid, cipher, mode, signal, band;
};

QString Cell(const QString& text)
{
    return u"    <td align=\"center\"><font size=\"2\">"_qs + text + u"</font></td>\n"_qs;
}

// One access point's row as the device lays it out: channel and SSID followed by hidden inputs
// that carry them again, the eighth cell the row's radio button.
QString Row(const AccessPoint& ap, int index)
{
    const QString n = QString::number(index);
    return u"  <tr class=\"tbl_body\">\n"_qs +
           Cell(ap.channel + u"<input type=\"hidden\" name=\"chan"_qs + n + u"\" value=\""_qs +
                ap.channel + u"\">"_qs) +
           Cell(ap.ssid + u"<input type=\"hidden\" name=\"ssid"_qs + n + u"\" value=\""_qs +
                ap.ssid + u"\">"_qs) +
           Cell(ap.bssid) + Cell(ap.cipher) + Cell(ap.mode) + Cell(ap.signal) + Cell(ap.band) +
           Cell(u"<input type=\"radio\" name=\"select\" value=\"sel"_qs + n + u"\">"_qs) +
           u"  </tr>\n"_qs;
}

QString Page(const QString& count, const QList<AccessPoint>& aps)
{
    QString page = u"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>\n"
                   u"<form method=\"post\" action=\"/goform/formWlSiteSurvey\">\n<table>\n"
                   u"  <tr class=\"tbl_head\"><td><b>Channel</b></td><td><b>SSID</b></td></tr>\n"
                   u"<input type=\"hidden\" name=\"apCount\" value=\""_qs +
                   count + u"\">\n"_qs;
    for (int i = 0; i < aps.size(); ++i)
        page += Row(aps[i], i);
    return page + u"</table>\n</form></body></html>\n"_qs;
}

const AccessPoint kCafe = {u"1"_qs,    u"CafeOpen"_qs, u"00:0e:8e:10:20:01"_qs,
                           u"NONE"_qs, u"OPEN"_qs,     u"92"_qs,
                           u"11b/g"_qs};
const AccessPoint kOffice = {u"3"_qs,      u"OfficeAes"_qs, u"00:0e:8e:10:20:04"_qs,
                             u"AES"_qs,    u"WPA2PSK"_qs,   u"58"_qs,
                             u"11b/g/n"_qs};
const AccessPoint kOld = {u"6"_qs,  u"OldWep"_qs, u"00:0e:8e:10:20:02"_qs, u"WEP"_qs, u"OPEN"_qs,
                          u"71"_qs, u"11b/g"_qs};

QStringList CellsOf(const AccessPoint& ap)
{
    return {ap.channel, ap.ssid, ap.bssid, ap.cipher, ap.mode, ap.signal, ap.band};
}

} // namespace

class TestSurveyParser : public QObject
{
    Q_OBJECT
private slots:
    void rowsInPageOrder();
    void countAnnouncedButRowsMissing();
    void countText_data();
    void countText();
    void whiteSpaceAndMissingEndMarkers();
    void cellsEndAtTheirOwnMarkers();
    void classification_data();
    void classification();
    void manyCellsWithoutEndMarkers();
    void openingsWithOneEndAtTheEnd_data();
    void openingsWithOneEndAtTheEnd();
    void endlessCellIsCut();
};

void TestSurveyParser::rowsInPageOrder()
{
    // Two networks of the same name are both kept, where the page has them.
    AccessPoint twin = kCafe;
    twin.bssid = u"00:0e:8e:10:20:99"_qs;
    twin.channel = u"13"_qs;
    QStringList cells{u"stale"_qs};
    const int count = Survey::ParseSurveyCells(Page(u"4"_qs, {kCafe, kOffice, twin, kOld}), cells);
    QCOMPARE(count, 4);
    QCOMPARE(cells, CellsOf(kCafe) + CellsOf(kOffice) + CellsOf(twin) + CellsOf(kOld));

    // Fewer announced than listed: only as many as announced.
    QCOMPARE(Survey::ParseSurveyCells(Page(u"1"_qs, {kCafe, kOffice}), cells), 1);
    QCOMPARE(cells, CellsOf(kCafe));

    QCOMPARE(Survey::ParseSurveyCells(Page(u"0"_qs, {kCafe, kOffice}), cells), 0);
    QVERIFY(cells.isEmpty());
}

void TestSurveyParser::countAnnouncedButRowsMissing()
{
    // The third row breaks off after its third cell: its cells stay, it is not counted.
    QString page = Page(u"3"_qs, {kCafe, kOffice});
    page.chop(QStringView(u"</table>\n</form></body></html>\n").size());
    page += u"  <tr>\n"_qs + Cell(u"9<input name=\"chan2\">"_qs) +
            Cell(u"Half<input name=\"ssid2\">"_qs) + Cell(u"00:11:22:33:44:55"_qs) + u"</tr>"_qs;
    QStringList cells;
    QCOMPARE(Survey::ParseSurveyCells(page, cells), 2);
    QCOMPARE(cells, (CellsOf(kCafe) + CellsOf(kOffice) +
                     QStringList{u"9"_qs, u"Half"_qs, u"00:11:22:33:44:55"_qs}));

    // A count far beyond the page ends with the markers.
    QCOMPARE(Survey::ParseSurveyCells(Page(u"2147483647"_qs, {kCafe}), cells), 1);
    QCOMPARE(cells, CellsOf(kCafe));
}

void TestSurveyParser::countText_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("count");
    const QString rows = Row(kCafe, 0) + Row(kOffice, 1) + Row(kOld, 2);
    auto withCount = [&](const QString& count) {
        return u"<input name=\"apCount\" value=\""_qs + count + u"\">"_qs + rows;
    };
    QTest::newRow("plain") << withCount(u"2"_qs) << 2;
    QTest::newRow("blanks and sign") << withCount(u" \t+3"_qs) << 3;
    QTest::newRow("digits then text") << withCount(u"2 networks"_qs) << 2;
    QTest::newRow("not a number") << withCount(u"many"_qs) << 0;
    QTest::newRow("empty") << withCount(QString()) << 0;
    QTest::newRow("negative") << withCount(u"-2"_qs) << 0;
    QTest::newRow("overflows") << withCount(u"99999999999999999999"_qs) << 3;
    // Without the count's name, the first "value" of the page is taken for it: here the
    // channel of the first row, and then a word.
    QTest::newRow("no apCount") << rows << 1;
    QTest::newRow("no apCount, a word first") << u"<input name=\"x\" value=\"on\">"_qs + rows << 0;
    // Without "value" six characters are skipped and the text up to the next quote is read.
    QTest::newRow("no value") << u"<b name=\"apCount\"></b><font size=\"2\">1</font>"_qs << 0;
    QTest::newRow("nothing") << QString() << 0;
    QTest::newRow("no quote after value") << u"name=\"apCount\" value=\"3"_qs << 0;
}

void TestSurveyParser::countText()
{
    QFETCH(QString, page);
    QFETCH(int, count);
    QStringList cells;
    QCOMPARE(Survey::ParseSurveyCells(page, cells), count);
    QVERIFY(cells.size() >= count * Survey::kCellsPerAccessPoint);
}

void TestSurveyParser::whiteSpaceAndMissingEndMarkers()
{
    AccessPoint blank = kOffice;
    blank.ssid = u" \t\r\n "_qs;
    blank.signal = u"\u3000 58\u00a0"_qs;
    blank.band = QString();
    QStringList cells;
    QCOMPARE(Survey::ParseSurveyCells(Page(u"1"_qs, {blank}), cells), 1);
    QCOMPARE(cells[Survey::SSID], u" "_qs);
    QCOMPARE(cells[Survey::Signal], u"58"_qs);
    QCOMPARE(cells[Survey::Mode], u" "_qs);

    // The last cell of the page has no end marker at all: it is empty.
    const QString page = u"name=\"apCount\" value=\"1\">"_qs + Cell(u"1<input>"_qs) +
                         Cell(u"Net<input>"_qs) + Cell(u"b"_qs) + Cell(u"c"_qs) + Cell(u"m"_qs) +
                         Cell(u"s"_qs) + u"<font size=\"2\">11g"_qs;
    QCOMPARE(Survey::ParseSurveyCells(page, cells), 1);
    QCOMPARE(cells, (QStringList{u"1"_qs, u"Net"_qs, u"b"_qs, u"c"_qs, u"m"_qs, u"s"_qs, u" "_qs}));
}

void TestSurveyParser::cellsEndAtTheirOwnMarkers()
{
    // Channel and SSID end at "<input"; a "</font>" before it belongs to them. The other cells
    // end at "</font>", an "<input" inside them included.
    const QString page = u"name=\"apCount\" value=\"1\">"_qs
                         u"<font size=\"2\">6</font><input></font>"
                         u"<font size=\"2\">A</font>B<input>"
                         u"<font size=\"2\">00:11<input>22</font>"
                         u"<font size=\"2\">WEP</font><font size=\"2\">OPEN</font>"
                         u"<font size=\"2\">70</font><font size=\"2\">11b</font>"
                         u"<font size=\"2\"><input type=\"radio\"></font>"_qs;
    QStringList cells;
    QCOMPARE(Survey::ParseSurveyCells(page, cells), 1);
    QCOMPARE(cells, (QStringList{u"6</font>"_qs, u"A</font>B"_qs, u"00:11<input>22"_qs, u"WEP"_qs,
                                 u"OPEN"_qs, u"70"_qs, u"11b"_qs}));

    // An end marker missing from its own cell is found further on, but the cell stops at the
    // next cell's opening.
    const QString runOn = u"name=\"apCount\" value=\"1\">"_qs
                          u"<font size=\"2\">6</font><font size=\"2\">N<input>"
                          u"<font size=\"2\">b</font><font size=\"2\">c</font>"
                          u"<font size=\"2\">m</font><font size=\"2\">s</font>"
                          u"<font size=\"2\">x</font>"_qs;
    QCOMPARE(Survey::ParseSurveyCells(runOn, cells), 1);
    QCOMPARE(cells[0], u"6</font>"_qs);
    QCOMPARE(cells[1], u"N"_qs);
}

void TestSurveyParser::classification_data()
{
    QTest::addColumn<QString>("cipher");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("keyword");
    // The mode word is looked at before the cipher word, whatever the cipher says.
    QTest::newRow("WPAPSK") << u"AES"_qs << u"WPAPSK"_qs << u"WPAPSK-TKIP"_qs << u"TKIP"_qs;
    QTest::newRow("wpa2psk over WEP")
        << u"WEP"_qs << u"wpa2psk"_qs << u"WPA2PSK-AES"_qs << u"AES"_qs;
    QTest::newRow("none") << u"none"_qs << u"OPEN"_qs << u"None"_qs << u"NONE"_qs;
    QTest::newRow("WEP") << u"WEP"_qs << u"SHARED"_qs << u"WEP"_qs << u"WEP"_qs;
    QTest::newRow("TKIP, other mode")
        << u"TKIP"_qs << u"WPA1PSK"_qs << u"WPAPSK-TKIP"_qs << u"TKIP"_qs;
    QTest::newRow("Aes") << u"Aes"_qs << u" "_qs << u"WPA2PSK-AES"_qs << u"AES"_qs;
    QTest::newRow("WPA") << u"WPA"_qs << u"WPAPSK2"_qs << u"Unknown Type"_qs << u"Unknown"_qs;
    QTest::newRow("mixed") << u"TKIPAES"_qs << u"WPA1PSKWPA2PSK"_qs << u"Unknown Type"_qs
                           << u"Unknown"_qs;
}

void TestSurveyParser::classification()
{
    QFETCH(QString, cipher);
    QFETCH(QString, mode);
    const Survey::Security security = Survey::ClassifySecurity(cipher, mode);
    QTEST(Survey::SecurityText(security), "text");
    QTEST(security.keyword.toString(), "keyword");
}

void TestSurveyParser::manyCellsWithoutEndMarkers()
{
    // Forty thousand cells and not one end marker: looking for it anew from every cell would
    // search the rest of the page each time.
    QString page = u"name=\"apCount\" value=\"99999\">"_qs;
    for (int i = 0; i < 40'000; ++i)
        page += u"<font size=\"2\">x"_qs;
    QStringList cells;
    qint64 best = 0;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(Survey::ParseSurveyCells(page, cells), 40'000 / 8);
        best = round == 0 ? timer.nsecsElapsed() : std::min(best, timer.nsecsElapsed());
    }
    QCOMPARE(cells.value(0), u" "_qs);
    qInfo("40000 cells without end markers: %.2f ms", double(best) / 1e6);
    QVERIFY2(best < 200'000'000, "the cell ends are not looked up in linear time");
}

namespace
{

qsizetype TotalLength(const QStringList& cells)
{
    qsizetype total = 0;
    for (const QString& cell : cells)
        total += cell.size();
    return total;
}

} // namespace

void TestSurveyParser::openingsWithOneEndAtTheEnd_data()
{
    QTest::addColumn<int>("openings");
    QTest::newRow("120 KB") << 8000;
    QTest::newRow("1 MB") << 70'000;
}

void TestSurveyParser::openingsWithOneEndAtTheEnd()
{
    // Every cell finds the same far end marker: none may take the rest of the page with it.
    QFETCH(int, openings);
    QString page = u"name=\"apCount\" value=\"99999\">"_qs;
    for (int i = 0; i < openings; ++i)
        page += u"<font size=\"2\">x"_qs;
    page += u"<input></font>"_qs;
    QStringList cells;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(Survey::ParseSurveyCells(page, cells), openings / 8);
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(cells.value(0), u"x"_qs);
    QVERIFY2(
        TotalLength(cells) <= page.size(),
        qPrintable(u"cells hold %1 characters of a %2 character page"_qs.arg(TotalLength(cells))
                       .arg(page.size())));
    QVERIFY2(elapsed < 2000, "the parse is not linear in the page");
}

void TestSurveyParser::endlessCellIsCut()
{
    // A single cell with no later opening ends at the bound, not at a marker megabytes away.
    const QString filler(300'000, u'a');
    QString page = u"name=\"apCount\" value=\"1\">"_qs;
    for (int i = 0; i < 6; ++i)
        page += u"<font size=\"2\">v<input></font>"_qs;
    page += u"<font size=\"2\">"_qs + filler + u"</font>"_qs;
    QStringList cells;
    QCOMPARE(Survey::ParseSurveyCells(page, cells), 1);
    QCOMPARE(cells.size(), 7);
    QCOMPARE(cells[Survey::Mode].size(), 4096);
    QVERIFY(filler.startsWith(cells[Survey::Mode]));
}

QTEST_GUILESS_MAIN(TestSurveyParser)
#include "test_surveyparser.moc"
