// Times the survey parse on pages shaped like the device's, of 1000 and 10000 networks: the
// cells alone, and the wireless page's whole parse with its list.
#include "pages/surveydlg.h"
#include "rules/surveyparser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{

QString Cell(const QString& text)
{
    return u"    <td align=\"center\"><font size=\"2\">"_qs + text + u"</font></td>\n"_qs;
}

QString SurveyPage(int networks)
{
    static const char16_t* const ciphers[][2] = {
        {u"NONE", u"OPEN"}, {u"WEP", u"OPEN"}, {u"TKIP", u"WPAPSK"}, {u"AES", u"WPA2PSK"}};
    QString page = u"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><head><title>Site "
                   u"Survey</title></head><body>\n<form method=\"post\" "
                   u"action=\"/goform/formWlSiteSurvey\" name=\"formWlSiteSurvey\">\n"
                   u"<table width=\"600\">\n  <tr class=\"tbl_head\"><td><b>SSID</b></td></tr>\n"
                   u"<input type=\"hidden\" name=\"apCount\" value=\""_qs +
                   QString::number(networks) + u"\">\n"_qs;
    for (int i = 0; i < networks; ++i) {
        const QString n = QString::number(i);
        const QString channel = QString::number(1 + i % 13);
        const QString ssid = u"Network-"_qs + n;
        const auto& security = ciphers[i % 4];
        page += u"  <tr class=\"tbl_body\">\n"_qs +
                Cell(channel + u"<input type=\"hidden\" name=\"chan"_qs + n + u"\" value=\""_qs +
                     channel + u"\">"_qs) +
                Cell(ssid + u"<input type=\"hidden\" name=\"ssid"_qs + n + u"\" value=\""_qs +
                     ssid + u"\">"_qs) +
                Cell(u"00:0e:8e:%1:%2:%3"_qs.arg(i >> 16 & 0xff, 2, 16, QChar(u'0'))
                         .arg(i >> 8 & 0xff, 2, 16, QChar(u'0'))
                         .arg(i & 0xff, 2, 16, QChar(u'0'))) +
                Cell(QString::fromUtf16(security[0])) + Cell(QString::fromUtf16(security[1])) +
                Cell(QString::number(i * 37 % 100)) + Cell(u"11b/g/n"_qs) +
                Cell(u"<input type=\"radio\" name=\"select\" value=\"sel"_qs + n +
                     u"\" onClick=\"pick("_qs + n + u")\">"_qs) +
                u"  </tr>\n"_qs;
    }
    return page + u"</table>\n</form></body></html>\n"_qs;
}

// Cell openings that one closing tag at the very end closes, announced as networks.
QString OpenCellsPage(int openings)
{
    QString page = u"HTTP/1.1 200 OK\r\n\r\n<input type=\"hidden\" name=\"apCount\" value=\""_qs +
                   QString::number(openings / 8) + u"\">\n"_qs;
    page.reserve(page.size() + openings * 15 + 8);
    for (int i = 0; i < openings; ++i)
        page += u"<font size=\"2\">"_qs;
    return page + u"</font>\n"_qs;
}

qint64 StatusKiB(const char* field)
{
    QFile file(u"/proc/self/status"_qs);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Resident memory the parse of `text` adds at its peak, in KiB: the high-water mark is reset
// first, and the previous result is freed before.
qint64 PeakKiB(const QString& text)
{
    QFile clear(u"/proc/self/clear_refs"_qs);
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        return -1;
    clear.close();
    const qint64 before = StatusKiB("VmRSS:");
    QStringList cells;
    Survey::ParseSurveyCells(text, cells);
    return StatusKiB("VmHWM:") - before;
}

// Median of `rounds` runs, in milliseconds.
double Median(int rounds, const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CTarn_SurveyDlg page(nullptr);

    std::printf("| networks | page (characters) | cells only (ms) | page with its list (ms) |\n");
    std::printf("|---:|---:|---:|---:|\n");
    double cells[2] = {}, whole[2] = {};
    const int sizes[2] = {1000, 10000};
    for (int s = 0; s < 2; ++s) {
        const QString text = SurveyPage(sizes[s]);
        QStringList parsed;
        int count = 0;
        cells[s] = Median(21, [&] { count = Survey::ParseSurveyCells(text, parsed); });
        whole[s] = Median(15, [&] { page.ParseSurvey(text); });
        if (count != sizes[s] || page.AccessPointList()->topLevelItemCount() != sizes[s]) {
            std::fprintf(stderr, "parsed %d of %d networks\n", count, sizes[s]);
            return 1;
        }
        std::printf("| %d | %lld | %.2f | %.2f |\n", sizes[s], (long long)text.size(), cells[s],
                    whole[s]);
    }
    std::printf("\nten times the page: cells %.1f times as long, page with its list %.1f times\n",
                cells[1] / cells[0], whole[1] / whole[0]);

    std::printf("\n| page | bytes | cells only (ms) | cells' characters | peak memory added "
                "(KiB) |\n|---|---:|---:|---:|---:|\n");
    const struct {
        const char* name;
        QString text;
    } pages[] = {{"8000 open cells", OpenCellsPage(8000)},
                 {"70 000 open cells", OpenCellsPage(70'000)},
                 {"1500 networks", SurveyPage(1500)}};
    for (const auto& [name, text] : pages) {
        QStringList parsed;
        const double ms = Median(11, [&] { Survey::ParseSurveyCells(text, parsed); });
        qsizetype characters = 0;
        for (const QString& cell : parsed)
            characters += cell.size();
        parsed.clear();
        std::printf("| %s | %lld | %.2f | %lld | %lld |\n", name, (long long)text.size(), ms,
                    (long long)characters, (long long)PeakKiB(text));
    }
    return 0;
}
